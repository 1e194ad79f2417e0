#include "session/Codecs.h"
#include "runtime/HexDigit.h"

#include "runtime/ResultCodes.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace norvik {

namespace {

constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";

constexpr std::size_t kMessageBufferUnits = 2048;
constexpr std::size_t kMessageMaxChars = 2046;

}  // namespace

std::wstring FormatHexBytes(const std::uint8_t* bytes, std::size_t count)
{
    std::wstring text;
    if (count == 0)
        return text;
    text.reserve(count * 3 - 1);
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0)
            text.push_back(L' ');
        text.push_back(kHexDigits[bytes[i] >> 4]);
        text.push_back(kHexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::size_t ParseHexBytes(std::wstring_view text, std::uint8_t* out, std::size_t limit)
{
    if (limit == 0)
        return 0;
    // Lower-case first, so that "0X" is removed as well. Only ASCII letters
    // matter: nothing outside ASCII is or becomes a hex digit or an 'x'.
    std::wstring lowered(text);
    for (wchar_t& c : lowered)
        if (c >= L'A' && c <= L'Z')
            c = wchar_t(c - L'A' + L'a');

    // Remove every "0x", scanning once from the start without overlap, before
    // any pairing: "10x5" becomes "15".
    std::wstring digits;
    digits.reserve(lowered.size());
    for (std::size_t i = 0; i < lowered.size(); ++i) {
        if (lowered[i] == L'0' && i + 1 < lowered.size() && lowered[i + 1] == L'x') {
            ++i;
            continue;
        }
        digits.push_back(lowered[i]);
    }

    std::size_t count = 0;
    int pending = -1;
    for (wchar_t c : digits) {
        const int value = HexDigitValue(c);
        if (value < 0) {
            pending = -1;  // a lone digit is dropped, never read as 0x0n
            continue;
        }
        if (pending < 0) {
            pending = value;
            continue;
        }
        out[count++] = std::uint8_t(pending * 16 + value);
        pending = -1;
        if (count == limit)
            break;
    }
    return count;
}

std::wstring RenderPrintable(const std::uint8_t* bytes, std::size_t count)
{
    std::wstring text(count, L'.');
    for (std::size_t i = 0; i < count; ++i)
        if (bytes[i] >= 0x21 && bytes[i] <= 0x7E)
            text[i] = wchar_t(bytes[i]);
    return text;
}

std::wstring RefusedConversionText(Runtime& runtime, const char* reason)
{
    // The system text is wide on the platforms that can refuse, so it never
    // needs the conversion that was just refused.
    const std::optional<std::wstring> text = runtime.SystemErrorTextWide(win32::kInvalidParameter);
    return text ? TrimTrailingWhiteSpace(*text) : std::wstring(reason, reason + std::strlen(reason));
}

Converted<std::string> EncodeAnsiText(Runtime& runtime, std::wstring_view text)
{
    std::optional<std::string> bytes = runtime.WideToAnsi(text);
    if (!bytes)
        return RefusedConversion<std::string>(runtime, "the text cannot be converted to the ANSI code page");
    const std::size_t zero = bytes->find('\0');
    if (zero != std::string::npos)
        bytes->resize(zero);
    return ConvertedValue(std::move(*bytes));
}

Converted<std::wstring> DecodeAnsiText(Runtime& runtime, const char* bytes, std::size_t maxBytes)
{
    if (bytes == nullptr || maxBytes == 0)
        return Converted<std::wstring>{};
    const void* zero = std::memchr(bytes, 0, maxBytes);
    const std::size_t length =
        zero != nullptr ? std::size_t(static_cast<const char*>(zero) - bytes) : maxBytes;
    std::optional<std::wstring> text = runtime.AnsiToWide(std::string_view(bytes, length));
    if (!text)
        return RefusedConversion<std::wstring>(runtime,
                                               "the text cannot be converted from the ANSI code page");
    const std::size_t wideZero = text->find(L'\0');
    if (wideZero != std::wstring::npos)
        text->resize(wideZero);
    return ConvertedValue(std::move(*text));
}

std::wstring TrimTrailingWhiteSpace(std::wstring text)
{
    std::size_t n = text.size();
    while (n > 0 && std::iswspace(std::wint_t(text[n - 1])))
        --n;
    text.resize(n);
    return text;
}

std::wstring FormatMessageTextV(const wchar_t* format, va_list args)
{
    // A buffer of its own per call rather than one shared by the process: the
    // result is the same and the function can be entered again safely.
    wchar_t buffer[kMessageBufferUnits];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vswprintf(buffer, kMessageBufferUnits, format, args);
    std::wstring text;
    if (n >= 0) {
        text.assign(buffer, std::size_t(n) < kMessageMaxChars ? std::size_t(n) : kMessageMaxChars);
    } else {
        // vswprintf only reports failure when the output does not fit, so
        // format the long message in full and cut it.
        std::vector<wchar_t> big(kMessageBufferUnits * 4);
        for (;;) {
            va_list again;
            va_copy(again, copy);
            const int m = std::vswprintf(big.data(), big.size(), format, again);
            va_end(again);
            if (m >= 0) {
                text.assign(big.data(),
                            std::size_t(m) < kMessageMaxChars ? std::size_t(m) : kMessageMaxChars);
                break;
            }
            if (big.size() >= (std::size_t(1) << 22))
                break;  // a format the C library refuses: show nothing of it
            big.resize(big.size() * 4);
        }
    }
    va_end(copy);
    return text;
}

std::wstring FormatMessageText(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatMessageTextV(format, args);
    va_end(args);
    return text;
}

}  // namespace norvik
