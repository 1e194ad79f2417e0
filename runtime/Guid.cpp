#include "runtime/Guid.h"
#include "runtime/HexDigit.h"

#include <cstdio>
#include <cstring>

namespace norvik {

std::uint32_t Guid::Data1() const
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

std::uint16_t Guid::Data2() const { return std::uint16_t(bytes[4] | bytes[5] << 8); }
std::uint16_t Guid::Data3() const { return std::uint16_t(bytes[6] | bytes[7] << 8); }

bool Guid::IsZero() const
{
    for (auto b : bytes)
        if (b != 0)
            return false;
    return true;
}

Guid Guid::FromBytes(const std::uint8_t* sixteen)
{
    Guid g;
    std::memcpy(g.bytes.data(), sixteen, 16);
    return g;
}

std::string FormatGuid(const Guid& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(g.Data1()), unsigned(g.Data2()), unsigned(g.Data3()), g.Data4(0), g.Data4(1),
                  g.Data4(2), g.Data4(3), g.Data4(4), g.Data4(5), g.Data4(6), g.Data4(7));
    return text;
}

std::wstring FormatGuidWide(const Guid& g)
{
    std::string narrow = FormatGuid(g);
    return std::wstring(narrow.begin(), narrow.end());
}

std::optional<Guid> ParseRegistryGuid(std::string_view t)
{
    if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' || t[19] != '-' ||
        t[24] != '-')
        return std::nullopt;
    // Hex digit pairs in text order, then reordered into the in-memory layout.
    std::uint8_t text[16];
    int n = 0;
    for (std::size_t i = 1; i < 37;) {
        if (t[i] == '-') {
            if (i != 9 && i != 14 && i != 19 && i != 24)
                return std::nullopt;
            ++i;
            continue;
        }
        int hi = HexDigitValue(t[i]), lo = HexDigitValue(t[i + 1]);
        if (hi < 0 || lo < 0 || n >= 16)
            return std::nullopt;
        text[n++] = std::uint8_t(hi << 4 | lo);
        i += 2;
    }
    if (n != 16)
        return std::nullopt;
    Guid g;
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i)
        g.bytes[i] = text[order[i]];
    return g;
}

}  // namespace norvik
