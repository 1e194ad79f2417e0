#pragma once
// Reading the USB descriptors that sysfs keeps for every USB device (its
// `descriptors` file: the 18-byte device descriptor, then each
// configuration's descriptors, all wTotalLength bytes, as the device sent
// them), and the UVC VideoControl entities of one video function.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "runtime/Guid.h"

namespace norvik::uvc {

// Standard descriptor types.
constexpr std::uint8_t kDeviceType = 0x01;
constexpr std::uint8_t kConfigurationType = 0x02;
constexpr std::uint8_t kInterfaceType = 0x04;
constexpr std::uint8_t kEndpointType = 0x05;
constexpr std::uint8_t kClassSpecificInterfaceType = 0x24;  // CS_INTERFACE

constexpr std::uint8_t kVideoClass = 0x0E;
constexpr std::uint8_t kVideoControlSubclass = 0x01;
constexpr std::uint8_t kHubClass = 0x09;

// VideoControl interface descriptor subtypes.
constexpr std::uint8_t kVcHeader = 0x01;
constexpr std::uint8_t kVcInputTerminal = 0x02;
constexpr std::uint8_t kVcOutputTerminal = 0x03;
constexpr std::uint8_t kVcSelectorUnit = 0x04;
constexpr std::uint8_t kVcProcessingUnit = 0x05;
constexpr std::uint8_t kVcExtensionUnit = 0x06;
constexpr std::uint8_t kVcEncodingUnit = 0x07;  // from UVC 1.5 on

// Terminal types that get a node type of their own.
constexpr std::uint16_t kTerminalStreaming = 0x0101;          // TT_STREAMING
constexpr std::uint16_t kTerminalCamera = 0x0201;             // ITT_CAMERA
constexpr std::uint16_t kTerminalMediaTransportIn = 0x0202;   // ITT_MEDIA_TRANSPORT_INPUT
constexpr std::uint16_t kTerminalMediaTransportOut = 0x0302;  // OTT_MEDIA_TRANSPORT_OUTPUT

// The kernel-streaming node types of Windows (ksmedia.h) that a UVC entity
// stands for in a capture filter's topology.
namespace nodetypes {
extern const Guid kVideoStreaming;
extern const Guid kVideoInputTerminal;
extern const Guid kVideoOutputTerminal;
extern const Guid kVideoSelector;
extern const Guid kVideoProcessing;
extern const Guid kVideoCameraTerminal;
extern const Guid kVideoInputMtt;
extern const Guid kVideoOutputMtt;
}  // namespace nodetypes

// The sysfs `descriptors` file taken apart. Missing or malformed parts are
// left empty; a configuration that claims more bytes than the file holds is
// kept with the bytes there are.
struct DescriptorSet {
    std::vector<std::uint8_t> device;                       // 18 bytes or empty
    std::vector<std::vector<std::uint8_t>> configurations;  // in index order
};
DescriptorSet SplitDescriptors(std::span<const std::uint8_t> bytes);

// Calls visit(descriptor) for each descriptor of a configuration, in order,
// stopping at a descriptor whose bLength is below 2 or runs past the end.
template <typename Visit>
void ForEachDescriptor(std::span<const std::uint8_t> bytes, Visit&& visit)
{
    std::size_t at = 0;
    while (at + 2 <= bytes.size()) {
        const std::size_t length = bytes[at];
        if (length < 2 || length > bytes.size() - at)
            return;
        visit(bytes.subspan(at, length));
        at += length;
    }
}

// One terminal or unit of a VideoControl interface.
struct VideoControlEntity {
    std::uint8_t subtype = 0;              // kVcInputTerminal ... kVcEncodingUnit
    std::uint8_t id = 0;                   // bTerminalID or bUnitID
    std::uint16_t terminalType = 0;        // wTerminalType of a terminal, else 0
    Guid extensionCode;                    // guidExtensionCode of an extension unit
    std::vector<std::uint8_t> descriptor;  // the whole descriptor

    bool IsExtensionUnit() const { return subtype == kVcExtensionUnit; }
    // The kernel-streaming node type: KSNODETYPE_DEV_SPECIFIC for an
    // extension unit, the matching video node type for the others.
    Guid NodeType() const;
};

struct VideoControlInterface {
    std::uint8_t interfaceNumber = 0;
    std::uint16_t bcdUvc = 0;  // from the class-specific header, 0 if none
    // Terminals and units in the order their descriptors stand.
    std::vector<VideoControlEntity> entities;
};

// The VideoControl interface with the given bInterfaceNumber (alternate
// setting 0) of a configuration, with its entities; nullopt when the
// configuration has no such interface.
std::optional<VideoControlInterface> FindVideoControlInterface(std::span<const std::uint8_t> configuration,
                                                               std::uint8_t interfaceNumber);

// The endpoint descriptors (7 bytes each) of alternate setting 0 of every
// interface: the pipes a configured device has open.
std::vector<std::vector<std::uint8_t>> DefaultEndpoints(std::span<const std::uint8_t> configuration);

inline std::uint16_t ReadLe16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

}  // namespace norvik::uvc
