#pragma once
// The operations an operator performs on the cameras, once for every front
// end: discovery and the list of units a picker offers, opening a unit by
// its list position or by a typed XU GUID, closing it, checking a control
// selector and probing its length, SET and GET with the six cells of their
// log row, and the transfer log's CSV. The session holds what outlives one
// command: the device table, at most one open channel, the selector and
// length cache and the transfer buffer.
//
// Every operation reports a result value: success, the platform's result
// code where one applies, and the operator's text (the failure message, or
// the message of a finished save). A conversion the code page refuses is
// such a failure, with the system's text; no exception leaves the session
// except std::bad_alloc.
//
// Not thread-safe: one thread at a time, the thread that owns the channel's
// requests (the dialog's user-interface thread).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "channel/ChannelPorts.h"
#include "channel/XuChannel.h"
#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryPorts.h"
#include "runtime/Guid.h"
#include "runtime/ResultCodes.h"
#include "session/ControlInfo.h"

namespace norvik {

enum class SessionFailure {
    None,
    Conversion,    // the code page refused a conversion; text: the system's text
    NoSuchDevice,  // a list position beyond the table
    NoSuchUnit,
    NotListed,    // a position the picker does not list
    BadGuidText,  // a typed text that is no braced GUID
    OpenFailed,   // the unit could not be opened
    NoChannel,    // no unit is open
    EmptySelector,
    ZeroSelector,
    LengthProbe,  // the driver reported no length; result: its code
    EmptyData,
    Request,  // the SET or GET failed; result: its code
    EmptyLog,
    FileNotCreated,
    FileNotWritten,
    UnitInfo,  // the unit-information property failed or ended early; result: its code
};

struct SessionResult {
    bool ok = true;
    SessionFailure failure = SessionFailure::None;
    HResult result = 0;  // the platform's result code, where the operation made a request
    std::wstring text;   // the operator's text: empty on success except after a save

    explicit operator bool() const { return ok; }
};

// One unit as the picker lists it.
struct ListedUnit {
    std::uint32_t device = 0;
    std::uint32_t unit = 0;
    std::uint32_t itemData = 0;  // device * 256 + unit
    std::wstring text;           // friendly name, ", ", braced GUID
};

// What a transfer's "Device" and "XU guid" cells describe: a typed text (the
// device is the one the channel found) or a listed unit.
struct RowSource {
    bool typed = false;
    std::wstring typedText;
    std::uint32_t device = 0;
    std::uint32_t unit = 0;
};

// One SET or GET: its outcome and the six cells of its log row.
struct TransferRecord {
    bool isSet = false;
    bool ok = false;
    unsigned lineNumber = 0;
    std::uint8_t selector = 0;
    HResult result = 0;               // the channel's result afterwards
    std::vector<std::uint8_t> bytes;  // the control's bytes as sent or read

    std::wstring line;
    std::wstring direct;
    std::wstring dataHex;  // the bytes, or the failure text
    std::wstring dataString;
    std::wstring device;
    std::wstring xuGuid;

    std::vector<std::wstring> Cells() const { return {line, direct, dataHex, dataString, device, xuGuid}; }
};

// One item of a control's description: the bytes its request answered, or
// "not available" with the code the platform answered and its system text.
struct QueryItem {
    bool available = false;
    std::vector<std::uint8_t> bytes;  // the control's length (INFO: one byte; LEN: the two-byte length)
    HResult result = 0;
    std::wstring failureText;  // "0x%08x: <system text>", without a line end; empty when available
};

// Every request of the video class on one control. An item that failed does
// not stop the others; the value items need the length, so they share its
// failure when the length probe fails.
struct ControlDescription {
    std::uint8_t selector = 0;
    std::uint16_t length = 0;  // 0 when the length is not available
    QueryItem len, info, cur, min, max, res, def;

    const QueryItem& Item(ControlItem item) const;
    QueryItem& Item(ControlItem item);
    // How many items are not available.
    unsigned Failures() const;
};

class UnitSession {
public:
    static constexpr std::size_t kTransferBufferSize = 65536;
    // The picker's item data has 8 bits for each position.
    static constexpr std::uint32_t kMaxItemPosition = 255;

    explicit UnitSession(const DiscoveryPorts& ports);
    // Closes the channel.
    ~UnitSession();
    UnitSession(const UnitSession&) = delete;
    UnitSession& operator=(const UnitSession&) = delete;

    // --- Discovery and the picker's list.

    // A full discovery run that replaces the device table. The open channel
    // stays open.
    void Discover();
    const DeviceTable& Table() const { return table_; }
    // The units the picker lists, in item order: every unit of every device
    // with a matched unit, up to position 255 of each.
    std::vector<ListedUnit> ListedUnits() const;
    static std::uint32_t DeviceOfItem(std::uint32_t itemData) { return (itemData >> 8) & 0xFF; }
    static std::uint32_t UnitOfItem(std::uint32_t itemData) { return itemData & 0xFF; }
    // Whether the positions name a unit the picker lists.
    SessionResult CheckListed(std::uint32_t device, std::uint32_t unit) const;
    // The information line of a listed unit; none when no such entry.
    std::optional<std::wstring> ListedUnitInfo(std::uint32_t device, std::uint32_t unit) const;

    // Empties the process-wide device list and the table (the dialog's close).
    void ReleaseDevices();

    // --- Opening and closing.

    bool HasChannel() const { return channel_ != nullptr; }
    const XuChannel* Channel() const { return channel_.get(); }
    // Closes the channel and forgets the control length; true when a length
    // was held.
    bool Close();
    // How long each request of a channel opened from now on may take before
    // it is abandoned (kWorkerTimeLimitMs unless set), in milliseconds.
    void SetRequestTimeLimit(std::uint32_t milliseconds) { requestTimeLimitMs_ = milliseconds; }
    // Opens a listed unit by its device's display name (the channel must be
    // closed first). Failures: NoSuchDevice, NoSuchUnit, NotListed,
    // OpenFailed, Conversion.
    SessionResult OpenListed(std::uint32_t device, std::uint32_t unit);
    // The typed text's braced GUID; BadGuidText when there is none.
    static SessionResult ParseTypedGuid(const std::wstring& text, Guid& guid);
    // Opens the first device with a node that answers the GUID (the channel
    // must be closed first); typedText is what the rows will name.
    // Failure: OpenFailed.
    SessionResult OpenTyped(const Guid& guid, const std::wstring& typedText);
    // The same search on the one device at that table position, whatever
    // the picker lists. Failures: NoSuchDevice, OpenFailed, Conversion.
    SessionResult OpenTypedOn(std::uint32_t device, const Guid& guid, const std::wstring& typedText);
    // Parse, close, open: a typed text as the picker's Open handles it.
    SessionResult OpenByTypedText(const std::wstring& text);
    // After a typed open: the information line naming the device the channel
    // found; an empty text when the channel knows no name.
    SessionResult TypedUnitInfo(std::wstring& line) const;
    // How the open unit was opened, for its rows.
    const RowSource& OpenedAs() const { return openedAs_; }

    // --- Control selector and length.

    // The selector text as the CS entry reads it: EmptySelector, or
    // ZeroSelector when its low 8 bits are 0.
    static SessionResult CheckSelectorText(const std::wstring& text, std::uint8_t& selector);
    // Makes the selector and length valid for the text: the cached length
    // when the text is unchanged, else a length probe. probed tells whether a
    // new length was read. Failures: NoChannel, EmptySelector, ZeroSelector
    // (the length is forgotten), LengthProbe (with the probe's result code).
    SessionResult Prepare(const std::wstring& csText, bool* probed = nullptr);
    std::uint8_t Selector() const { return csSelector_; }
    std::uint16_t Length() const { return csLength_; }

    // --- Transfers, step by step (the dialog's order) ...

    // EmptyData for an empty text (white space counts as text).
    static SessionResult CheckSendText(const std::wstring& text);
    // The "Device" and "XU guid" cells for a source.
    SessionResult DescribeSource(const RowSource& source, std::wstring& device, std::wstring& xuGuid) const;
    // A new record: line, direction with the current selector, device, GUID.
    SessionResult BeginRecord(bool isSet, unsigned line, const RowSource& source,
                              TransferRecord& record) const;
    // Zero-fills the buffer and puts the text's bytes at its start, exactly
    // the control's length; dataString gets their text.
    SessionResult BuildSendData(const std::wstring& text, bool hexMode, std::wstring& dataString);
    // Zero-fills the bytes of the buffer a request with the current length
    // uses.
    void ClearBuffer();
    // One SET or GET of the buffer with the current selector and length.
    // Failure: Request, with the channel's result code.
    SessionResult Request(bool isSet);
    // The length's bytes of the buffer as hex; empty when no length is held.
    std::wstring HexCellText() const;
    // The failure text with the system's text of the last result appended.
    SessionResult FailureCellText(const wchar_t* failureText, std::wstring& cell) const;
    // The buffer's bytes up to the first zero, as text.
    SessionResult ReceivedText(std::wstring& text) const;

    // --- ... and whole (front ends without a log list of their own).

    // Prepare, then the SET or GET; the record is filled as far as the
    // transfer got and added to the session's log when it was made.
    SessionResult Set(const std::wstring& csText, const std::wstring& data, bool hexMode, unsigned line,
                      const RowSource& source, TransferRecord& record);
    SessionResult Get(const std::wstring& csText, unsigned line, const RowSource& source,
                      TransferRecord& record);
    const std::vector<TransferRecord>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    // Whether Set and Get add their records to the log (they do at first); a
    // front end that keeps its own log of many transfers turns it off.
    void KeepLog(bool keep) { keepLog_ = keep; }

    // --- The class's query requests and the unit's inventory (they leave
    // the selector, length and transfer buffer above untouched).

    // One query of the open unit's selector: INFO one byte, the others the
    // control's length (probed first). Failures: NoChannel, Request (the
    // item's failure text and code, also in item), Conversion.
    SessionResult Query(std::uint8_t selector, ControlQuery kind, QueryItem& item);
    // LEN, INFO, CUR, MIN, MAX, RES and DEF of the selector, each answered
    // or not available. Failures: NoChannel, Conversion; a refused item is
    // no failure of the whole.
    SessionResult Describe(std::uint8_t selector, ControlDescription& description);
    // The selectors the open unit declares in its unit-information property
    // (id 0), lowest first. Failures: NoChannel, UnitInfo (the property's
    // code, or none when its bytes end early), Conversion.
    SessionResult DeclaredSelectors(std::vector<std::uint8_t>& selectors);

    // --- The CSV file.

    // The header line and one line per row, as the file holds them.
    SessionResult CsvBytes(const std::vector<std::wstring>& titles,
                           const std::vector<std::vector<std::wstring>>& rows, std::string& bytes) const;
    // Writes a CSV file named after the local time into the current
    // directory; the text is the message to show, success or failure. A
    // file that cannot be written completely is removed. Failures:
    // FileNotCreated, FileNotWritten, Conversion.
    SessionResult SaveCsv(const std::vector<std::wstring>& titles,
                          const std::vector<std::vector<std::wstring>>& rows,
                          std::wstring* fileName = nullptr);
    // The same into the file of that name.
    SessionResult SaveCsvAs(const std::wstring& name, const std::vector<std::wstring>& titles,
                            const std::vector<std::vector<std::wstring>>& rows);
    // The session's own log saved the same way, into the file of that name
    // when one is given; EmptyLog when it is empty.
    SessionResult SaveLog(std::wstring* fileName = nullptr, const std::wstring& name = std::wstring());

    Runtime& GetRuntime() const { return discovery_.runtime; }

private:
    // After a typed GUID was opened: the failure text when no channel came
    // of it, else the rows name the unit as typed.
    SessionResult TypedOpenResult(const std::wstring& typedText);
    void ApplyTimeLimit();
    SessionResult Finish(bool isSet, TransferRecord& record);
    // Marks item not available with the channel's last result.
    SessionResult FailItem(QueryItem& item) const;
    SessionResult QueryItemOf(std::uint8_t selector, ControlQuery kind, std::uint16_t length,
                              QueryItem& item);

    DiscoveryPorts discovery_;
    mutable ChannelPorts channelPorts_;
    DeviceTable table_;
    std::unique_ptr<XuChannel> channel_;
    std::wstring lastCsText_;
    std::uint16_t csLength_ = 0;
    std::uint8_t csSelector_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;
    RowSource openedAs_;
    std::vector<TransferRecord> log_;
    bool keepLog_ = true;
    std::uint32_t requestTimeLimitMs_;
};

}  // namespace norvik
