#include "discovery/UsbStructures.h"

namespace norvik::usb {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;
constexpr wchar_t kReplacement = wchar_t(0xFFFD);

void PutUnit(std::uint16_t unit, std::uint8_t* out, std::size_t capacity, std::size_t& at)
{
    if (at + 2 > capacity)
        return;
    out[at] = std::uint8_t(unit & 0xFF);
    out[at + 1] = std::uint8_t(unit >> 8);
    at += 2;
}

}  // namespace

std::wstring ReadUtf16Le(const std::uint8_t* bytes, std::size_t byteCount)
{
    std::wstring text;
    const std::size_t units = byteCount / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint16_t unit = std::uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (unit == 0)
            break;
        if (kWideIsUtf16) {
            text.push_back(wchar_t(unit));
            continue;
        }
        // wchar_t holds whole code points here: join surrogate pairs.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const std::uint16_t low = std::uint16_t(bytes[2 * i + 2] | bytes[2 * i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                text.push_back(wchar_t(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
                ++i;
                continue;
            }
        }
        text.push_back(unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : wchar_t(unit));
    }
    return text;
}

std::size_t Utf16LeSize(const std::wstring& text)
{
    std::size_t units = 1;  // the terminator
    for (wchar_t c : text)
        units += (!kWideIsUtf16 && std::uint32_t(c) > 0xFFFF) ? 2 : 1;
    return units * 2;
}

void WriteUtf16Le(const std::wstring& text, std::uint8_t* out, std::size_t capacity)
{
    std::size_t at = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = std::uint32_t(text[i]);
        if constexpr (kWideIsUtf16) {
            // A surrogate pair is written whole or not at all.
            const bool pair = code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() &&
                              std::uint32_t(text[i + 1]) >= 0xDC00 && std::uint32_t(text[i + 1]) <= 0xDFFF;
            if (pair) {
                if (at + 4 > capacity)
                    break;
                PutUnit(std::uint16_t(code), out, capacity, at);
                PutUnit(std::uint16_t(text[++i]), out, capacity, at);
                continue;
            }
        } else {
            if (code > 0x10FFFF)
                code = 0xFFFD;
            if (code > 0xFFFF) {
                if (at + 4 > capacity)
                    break;  // never half a pair
                const std::uint32_t v = code - 0x10000;
                PutUnit(std::uint16_t(0xD800 + (v >> 10)), out, capacity, at);
                PutUnit(std::uint16_t(0xDC00 + (v & 0x3FF)), out, capacity, at);
                continue;
            }
        }
        if (at + 2 > capacity)
            break;
        PutUnit(std::uint16_t(code), out, capacity, at);
    }
    PutUnit(0, out, capacity, at);
}

}  // namespace norvik::usb
