#include "platforms/linux/UvcDescriptors.h"

namespace norvik::uvc {

namespace nodetypes {
namespace {
Guid VideoNodeType(std::uint8_t first)
{
    // {DFF229Ex-F70F-11D0-B917-00A0C9223196}, x = 1 to 8.
    return Guid{
        {first, 0x29, 0xF2, 0xDF, 0x0F, 0xF7, 0xD0, 0x11, 0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
}
}  // namespace
const Guid kVideoStreaming = VideoNodeType(0xE1);
const Guid kVideoInputTerminal = VideoNodeType(0xE2);
const Guid kVideoOutputTerminal = VideoNodeType(0xE3);
const Guid kVideoSelector = VideoNodeType(0xE4);
const Guid kVideoProcessing = VideoNodeType(0xE5);
const Guid kVideoCameraTerminal = VideoNodeType(0xE6);
const Guid kVideoInputMtt = VideoNodeType(0xE7);
const Guid kVideoOutputMtt = VideoNodeType(0xE8);
}  // namespace nodetypes

DescriptorSet SplitDescriptors(std::span<const std::uint8_t> bytes)
{
    DescriptorSet set;
    if (bytes.size() < 18 || bytes[0] != 18 || bytes[1] != kDeviceType)
        return set;
    set.device.assign(bytes.begin(), bytes.begin() + 18);
    std::size_t at = 18;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] < 9 || bytes[at + 1] != kConfigurationType)
            break;
        std::size_t total = ReadLe16(&bytes[at + 2]);
        if (total < 9)
            break;
        const std::size_t available = bytes.size() - at;
        const std::size_t taken = total < available ? total : available;
        set.configurations.emplace_back(bytes.begin() + at, bytes.begin() + at + taken);
        at += taken;
    }
    return set;
}

Guid VideoControlEntity::NodeType() const
{
    switch (subtype) {
    case kVcInputTerminal:
        if (terminalType == kTerminalCamera)
            return nodetypes::kVideoCameraTerminal;
        if (terminalType == kTerminalMediaTransportIn)
            return nodetypes::kVideoInputMtt;
        return nodetypes::kVideoInputTerminal;
    case kVcOutputTerminal:
        if (terminalType == kTerminalStreaming)
            return nodetypes::kVideoStreaming;
        if (terminalType == kTerminalMediaTransportOut)
            return nodetypes::kVideoOutputMtt;
        return nodetypes::kVideoOutputTerminal;
    case kVcSelectorUnit:
        return nodetypes::kVideoSelector;
    case kVcExtensionUnit:
        return guids::kNodeTypeDevSpecific;
    default:
        // The processing unit, and the encoding unit of UVC 1.5, which
        // Windows has no node type of its own for: both process the video
        // and neither is ever an extension unit.
        return nodetypes::kVideoProcessing;
    }
}

namespace {

// The entity a class-specific VideoControl descriptor declares, if it is a
// well-formed terminal or unit.
std::optional<VideoControlEntity> ReadEntity(std::span<const std::uint8_t> d)
{
    if (d.size() < 4)
        return std::nullopt;
    VideoControlEntity entity;
    entity.subtype = d[2];
    entity.id = d[3];
    switch (entity.subtype) {
    case kVcInputTerminal:
    case kVcOutputTerminal:
        if (d.size() < 8)
            return std::nullopt;
        entity.terminalType = ReadLe16(&d[4]);
        break;
    case kVcSelectorUnit:
    case kVcProcessingUnit:
    case kVcEncodingUnit:
        break;
    case kVcExtensionUnit: {
        // bUnitID, guidExtensionCode, bNumControls, bNrInPins, baSourceID[p],
        // bControlSize, bmControls[n], iExtension: 24 + p + n bytes.
        if (d.size() < 24)
            return std::nullopt;
        const std::size_t pins = d[21];
        if (d.size() < 24 + pins || d.size() < 24 + pins + d[22 + pins])
            return std::nullopt;
        entity.extensionCode = Guid::FromBytes(&d[4]);
        break;
    }
    default:
        return std::nullopt;
    }
    if (entity.id == 0)
        return std::nullopt;  // ID 0 is reserved, no entity has it
    entity.descriptor.assign(d.begin(), d.end());
    return entity;
}

}  // namespace

std::optional<VideoControlInterface> FindVideoControlInterface(std::span<const std::uint8_t> configuration,
                                                               std::uint8_t interfaceNumber)
{
    std::optional<VideoControlInterface> found;
    bool inside = false;
    bool done = false;
    ForEachDescriptor(configuration, [&](std::span<const std::uint8_t> d) {
        if (done)
            return;
        if (d[1] == kInterfaceType) {
            if (inside) {
                done = true;  // the interface's descriptors end here
                return;
            }
            if (d.size() >= 9 && d[2] == interfaceNumber && d[3] == 0 && d[5] == kVideoClass &&
                d[6] == kVideoControlSubclass) {
                inside = true;
                found.emplace();
                found->interfaceNumber = interfaceNumber;
            }
            return;
        }
        if (!inside || d[1] != kClassSpecificInterfaceType || d.size() < 3)
            return;
        if (d[2] == kVcHeader) {
            if (d.size() >= 5)
                found->bcdUvc = ReadLe16(&d[3]);
            return;
        }
        if (auto entity = ReadEntity(d))
            found->entities.push_back(std::move(*entity));
    });
    return found;
}

std::vector<std::vector<std::uint8_t>> DefaultEndpoints(std::span<const std::uint8_t> configuration)
{
    std::vector<std::vector<std::uint8_t>> endpoints;
    bool defaultSetting = false;
    ForEachDescriptor(configuration, [&](std::span<const std::uint8_t> d) {
        if (d[1] == kInterfaceType)
            defaultSetting = d.size() >= 4 && d[3] == 0;
        else if (d[1] == kEndpointType && defaultSetting && d.size() >= 7)
            endpoints.emplace_back(d.begin(), d.begin() + 7);
    });
    return endpoints;
}

}  // namespace norvik::uvc
