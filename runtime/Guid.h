#pragma once
// A GUID held in the 16-byte in-memory layout of the Windows GUID structure:
// a 32-bit, then two 16-bit little-endian fields, then 8 bytes. This is also
// the byte order of a UVC descriptor's guidExtensionCode, so descriptor bytes
// are copied in and out unchanged.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvik {

struct Guid {
    std::array<std::uint8_t, 16> bytes{};

    std::uint32_t Data1() const;
    std::uint16_t Data2() const;
    std::uint16_t Data3() const;
    std::uint8_t Data4(int i) const { return bytes[8 + i]; }

    bool IsZero() const;
    friend bool operator==(const Guid&, const Guid&) = default;

    static Guid FromBytes(const std::uint8_t* sixteen);
};

// "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", upper-case digits.
std::string FormatGuid(const Guid& guid);
std::wstring FormatGuidWide(const Guid& guid);

// Reads the strict registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// (either case). Used for constants and scenario files, not for operator
// input, which has its own, looser rule.
std::optional<Guid> ParseRegistryGuid(std::string_view text);

// A GUID from its registry-form fields, usable in constant expressions.
constexpr Guid MakeGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::array<std::uint8_t, 8> d4)
{
    Guid g;
    g.bytes = {std::uint8_t(d1),
               std::uint8_t(d1 >> 8),
               std::uint8_t(d1 >> 16),
               std::uint8_t(d1 >> 24),
               std::uint8_t(d2),
               std::uint8_t(d2 >> 8),
               std::uint8_t(d3),
               std::uint8_t(d3 >> 8),
               d4[0],
               d4[1],
               d4[2],
               d4[3],
               d4[4],
               d4[5],
               d4[6],
               d4[7]};
    return g;
}

// Well-known identifiers of the capture stack. Constant-initialised, so other
// globals may copy them whatever the order of start-up.
namespace guids {
inline constexpr Guid kSystemDeviceEnum =
    MakeGuid(0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86});
inline constexpr Guid kCreateDevEnum =
    MakeGuid(0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86});
inline constexpr Guid kVideoInputDeviceCategory =
    MakeGuid(0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86});
inline constexpr Guid kPropertyBag =
    MakeGuid(0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51});
inline constexpr Guid kBaseFilter =
    MakeGuid(0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70});
inline constexpr Guid kKsTopologyInfo =
    MakeGuid(0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00});
inline constexpr Guid kKsControl =
    MakeGuid(0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96});
inline constexpr Guid kNodeTypeDevSpecific =
    MakeGuid(0x941C7AC0, 0xC559, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1});
}  // namespace guids

}  // namespace norvik
