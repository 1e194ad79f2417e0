#pragma once
// The steps of a SET or GET that do not depend on the dialog: reading the
// selector text, probing a control's length, turning the data entry into
// exactly the control's bytes, and the texts of a transfer log row and of
// its CSV line. The session builds its operations from them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Runtime.h"
#include "session/Codecs.h"

namespace norvik {

struct ChannelPorts;
struct XuChannel;

// The selector entry read as strtoul reads it (white space, a sign, digits
// up to the first other character; too large saturates), then cut to its
// low 8 bits: "256" gives 0, "257" gives 1, "-1" gives 255.
std::uint8_t ReduceSelectorText(std::wstring_view text);

// A direct zero-length GET: the control's length when the driver answers
// ERROR_MORE_DATA (low byte 0xEA) with it in the byte count, else 0.
std::uint16_t ProbeControlLength(ChannelPorts& ports, XuChannel& channel, std::uint8_t selector);

// Fills buffer[0, length) from the operator's data text: hex pairs, or the
// text in the ANSI code page, padded with zeros or cut to length. The
// buffer must be zeroed by the caller. Returns the "Data(String)" text, or
// the refusal of a text the code page cannot convert (the buffer may then
// hold part of it).
Converted<std::wstring> BuildSendData(Runtime& runtime, const std::wstring& text, bool hexMode,
                                      std::uint8_t* buffer, std::uint16_t length);

// "SET CS=%d" or "GET CS=%d".
std::wstring DirectionText(bool isSet, std::uint8_t selector);

// The failure cell: the failure text, then " 错误码" and the system's error
// text for lastResult when there is one, without trailing white space; a
// refusal when the system's text cannot be converted.
Converted<std::wstring> FailureCellText(Runtime& runtime, const std::wstring& failureText, bool haveChannel,
                                        std::int32_t lastResult);

// One CSV line: every cell in the ANSI code page followed by ", ", then CR LF;
// a refusal when a cell cannot be converted.
Converted<std::string> CsvLine(Runtime& runtime, const std::vector<std::wstring>& cells);

// "%d%02d%02d-%02d%02d%02d-%d.csv" from a local time.
std::wstring CsvFileName(const LocalTime& time);

// The six column titles of the transfer log, in column order.
const std::vector<std::wstring>& LogColumnTitles();

}  // namespace norvik
