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

// Well-known identifiers of the capture stack.
namespace guids {
extern const Guid kSystemDeviceEnum;
extern const Guid kCreateDevEnum;
extern const Guid kVideoInputDeviceCategory;
extern const Guid kPropertyBag;
extern const Guid kBaseFilter;
extern const Guid kKsTopologyInfo;
extern const Guid kKsControl;
extern const Guid kNodeTypeDevSpecific;
}  // namespace guids

}  // namespace norvik
