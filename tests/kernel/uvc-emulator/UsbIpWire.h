#pragma once
// The USB/IP messages between vhci-hcd (the host side in the kernel) and a
// device served from user space: 48-byte headers with big-endian fields,
// followed by the OUT data of a submitted URB or the IN data of its answer.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace norvik::bench {

constexpr std::uint32_t kUsbIpCmdSubmit = 0x00000001;
constexpr std::uint32_t kUsbIpCmdUnlink = 0x00000002;
constexpr std::uint32_t kUsbIpRetSubmit = 0x00000003;
constexpr std::uint32_t kUsbIpRetUnlink = 0x00000004;

constexpr std::uint32_t kUsbIpDirOut = 0;
constexpr std::uint32_t kUsbIpDirIn = 1;

constexpr std::size_t kUsbIpHeaderSize = 48;
// An isochronous packet descriptor that follows the data of an isochronous URB.
constexpr std::size_t kUsbIpIsoDescriptorSize = 16;
// The most OUT data a command to this camera carries: a control transfer's
// data stage is at most wLength (a 16-bit count) bytes, and the camera has
// no OUT endpoint besides endpoint 0.
constexpr std::size_t kUsbIpMaxOutData = 0xFFFF;
// The most packets of one isochronous URB that USB/IP carries (the kernel's
// USBIP_MAX_ISO_PACKETS).
constexpr std::int32_t kUsbIpMaxIsoPackets = 1024;

using UsbIpHeaderBytes = std::array<std::uint8_t, kUsbIpHeaderSize>;

// A command from vhci-hcd: USBIP_CMD_SUBMIT or USBIP_CMD_UNLINK.
struct UsbIpCommand {
    std::uint32_t command = 0;
    std::uint32_t seqnum = 0;
    std::uint32_t devid = 0;
    std::uint32_t direction = 0;
    std::uint32_t ep = 0;
    // CMD_SUBMIT
    std::uint32_t transferFlags = 0;
    std::int32_t transferBufferLength = 0;
    std::int32_t startFrame = 0;
    std::int32_t numberOfPackets = 0;
    std::int32_t interval = 0;
    std::array<std::uint8_t, 8> setup{};
    // CMD_UNLINK
    std::uint32_t unlinkSeqnum = 0;

    // Bytes that follow the header on the wire: the OUT data, then the
    // isochronous packet descriptors of an isochronous URB. nullopt for a
    // length no stream to this camera carries (more OUT data or packets than
    // the limits above): the header is garbage, and nothing may be read or
    // allocated for it.
    std::optional<std::size_t> FollowingBytes(bool isochronous) const;
    // The OUT data of the command among the bytes that followed it: at most
    // transferBufferLength of them, none for an IN command or a length of
    // 0 or below.
    std::vector<std::uint8_t> OutData(const std::vector<std::uint8_t>& following) const;
};

UsbIpCommand DecodeCommand(const UsbIpHeaderBytes& header);

// USBIP_RET_SUBMIT: status is 0 or a negative Linux errno (-EPIPE for a
// stall); actualLength counts the IN data that follows the header.
UsbIpHeaderBytes EncodeRetSubmit(std::uint32_t seqnum, std::int32_t status, std::int32_t actualLength);
// USBIP_RET_UNLINK: -ECONNRESET when the URB was still pending and is now
// dropped, 0 when it had already been answered.
UsbIpHeaderBytes EncodeRetUnlink(std::uint32_t seqnum, std::int32_t status);

}  // namespace norvik::bench
