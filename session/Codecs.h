#pragma once
// Conversions between what the operator types (wide text) and what devices
// and narrow platform calls exchange (bytes): hexadecimal pairs, a printable
// rendering, text in the ANSI code page, and the text of a formatted message.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/Runtime.h"

namespace norvik {

// A conversion to or from the ANSI code page that the runtime refused. The
// running command is abandoned with no partial result; the dialog framework
// catches this at its dispatch entry and reports it with Text(), the system's
// text for the error the conversion functions give for a code page they
// cannot use (ERROR_INVALID_PARAMETER).
class ConversionError : public std::runtime_error {
public:
    ConversionError(Runtime& runtime, const char* what);
    const std::wstring& Text() const { return text_; }

private:
    std::wstring text_;
};

// "%02X " for every byte but the last, "%02X" for the last: 3n - 1
// characters, empty for n = 0.
std::wstring FormatHexBytes(const std::uint8_t* bytes, std::size_t count);

// Reads adjacent pairs of hex digits from text into out, at most limit bytes,
// and returns how many were written. Works on a lower-cased copy from which
// every "0x" has been removed; any character other than an ASCII hex digit is
// a separator, and a lone digit between separators is dropped. Bytes of out
// past the count are left alone.
std::size_t ParseHexBytes(std::wstring_view text, std::uint8_t* out, std::size_t limit);

// One character per byte: 0x21..0x7E as themselves, everything else '.'.
std::wstring RenderPrintable(const std::uint8_t* bytes, std::size_t count);

// The text in the ANSI code page, without a terminating zero and cut at the
// first zero byte the conversion produced. Throws ConversionError when the
// runtime refuses the conversion.
std::string EncodeAnsiText(Runtime& runtime, std::wstring_view text);

// The bytes up to the first zero byte (never past maxBytes), converted from the
// ANSI code page. Throws ConversionError when the runtime refuses the
// conversion.
std::wstring DecodeAnsiText(Runtime& runtime, const char* bytes, std::size_t maxBytes);

// The text without its trailing run of white space (iswspace).
std::wstring TrimTrailingWhiteSpace(std::wstring text);

// Formats like swprintf (write %ls for a wide string argument) into a buffer
// of 2,048 units and keeps at most the first 2,046 characters: the text of
// the program's formatted message box.
std::wstring FormatMessageText(const wchar_t* format, ...);
std::wstring FormatMessageTextV(const wchar_t* format, va_list args);

}  // namespace norvik
