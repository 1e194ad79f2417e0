#pragma once
// Conversions between what the operator types (wide text) and what devices
// and narrow platform calls exchange (bytes): hexadecimal pairs, a printable
// rendering, text in the ANSI code page, and the text of a formatted message.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/Runtime.h"

namespace norvik {

// The outcome of a conversion to or from the ANSI code page: the converted
// value, or the runtime's refusal. A refused conversion abandons the running
// operation with no partial result; its text is the system's text for the
// error the conversion functions give for a code page they cannot use
// (ERROR_INVALID_PARAMETER), and reason says in English which way the
// conversion went.
template <class Value>
struct Converted {
    bool ok = true;
    Value value{};
    std::wstring failureText;  // when refused: the system's text, without its line end
    const char* reason = "";   // when refused: "the text cannot be converted to ..."

    explicit operator bool() const { return ok; }

    // The same refusal, for a conversion that carries another value.
    template <class Other>
    Converted<Other> Refusal() const
    {
        return Converted<Other>{false, Other{}, failureText, reason};
    }
};

// A conversion that succeeded with this value.
template <class Value>
Converted<Value> ConvertedValue(Value value)
{
    Converted<Value> converted;
    converted.value = std::move(value);
    return converted;
}

// The text of a refused conversion: the system's text for
// ERROR_INVALID_PARAMETER, or the reason itself when the runtime has none.
std::wstring RefusedConversionText(Runtime& runtime, const char* reason);

// A refusal of the conversion, with that text and the reason.
template <class Value>
Converted<Value> RefusedConversion(Runtime& runtime, const char* reason)
{
    return Converted<Value>{false, Value{}, RefusedConversionText(runtime, reason), reason};
}

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
// first zero byte the conversion produced; a refusal when the runtime refuses
// the conversion.
Converted<std::string> EncodeAnsiText(Runtime& runtime, std::wstring_view text);

// The bytes up to the first zero byte (never past maxBytes), converted from the
// ANSI code page; a refusal when the runtime refuses the conversion. No
// bytes (a null pointer or maxBytes 0) give an empty text.
Converted<std::wstring> DecodeAnsiText(Runtime& runtime, const char* bytes, std::size_t maxBytes);

// The text without its trailing run of white space (iswspace).
std::wstring TrimTrailingWhiteSpace(std::wstring text);

// Formats like swprintf (write %ls for a wide string argument) into a buffer
// of 2,048 units and keeps at most the first 2,046 characters: the text of
// the program's formatted message box.
std::wstring FormatMessageText(const wchar_t* format, ...);
std::wstring FormatMessageTextV(const wchar_t* format, va_list args);

}  // namespace norvik
