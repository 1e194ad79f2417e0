#include "runtime/Utf8.h"

#include <cstdint>

namespace norvik {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void AppendUtf8(std::string& out, char32_t c)
{
    if (!IsScalarValue(c))
        c = kReplacement;
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

void AppendWide(std::wstring& out, char32_t c)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(wchar_t(0xD800 + (c >> 10)));
            out.push_back(wchar_t(0xDC00 + (c & 0x3FF)));
            return;
        }
    }
    out.push_back(wchar_t(c));
}

}  // namespace

std::string WideToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = char32_t(std::uint32_t(text[i]) & (sizeof(wchar_t) == 2 ? 0xFFFFu : 0xFFFFFFFFu));
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                char32_t low = char32_t(std::uint16_t(text[i + 1]));
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::wstring Utf8ToWide(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const std::uint8_t b = std::uint8_t(bytes[i]);
        if (b < 0x80) {
            out.push_back(wchar_t(b));
            ++i;
            continue;
        }
        int length = 0;
        char32_t c = 0;
        // The allowed range of the second byte narrows for E0, ED, F0 and F4,
        // which is what rules out overlong forms, surrogates and values past
        // U+10FFFF.
        std::uint8_t low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            c = b & 0x0F;
            if (b == 0xE0)
                low = 0xA0;
            if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            c = b & 0x07;
            if (b == 0xF0)
                low = 0x90;
            if (b == 0xF4)
                high = 0x8F;
        } else {
            AppendWide(out, kReplacement);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool complete = true;
        for (int k = 1; k < length; ++k, ++j) {
            if (j >= n) {
                complete = false;
                break;
            }
            const std::uint8_t t = std::uint8_t(bytes[j]);
            const std::uint8_t lo = (k == 1) ? low : 0x80;
            const std::uint8_t hi = (k == 1) ? high : 0xBF;
            if (t < lo || t > hi) {
                complete = false;
                break;
            }
            c = (c << 6) | (t & 0x3F);
        }
        if (!complete) {
            AppendWide(out, kReplacement);
            i = j;  // resume at the byte that broke the sequence
            continue;
        }
        AppendWide(out, c);
        i = j;
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t b = std::uint8_t(bytes[i]);
        int length = 1;
        std::uint8_t low = 0x80, high = 0xBF;
        if (b < 0x80)
            length = 1;
        else if (b >= 0xC2 && b <= 0xDF)
            length = 2;
        else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0)
                low = 0xA0;
            if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0)
                low = 0x90;
            if (b == 0xF4)
                high = 0x8F;
        } else
            return false;
        if (bytes.size() - i < std::size_t(length))
            return false;
        for (int k = 1; k < length; ++k) {
            const std::uint8_t t = std::uint8_t(bytes[i + std::size_t(k)]);
            if (t < (k == 1 ? low : 0x80) || t > (k == 1 ? high : 0xBF))
                return false;
        }
        i += std::size_t(length);
    }
    return true;
}

}  // namespace norvik
