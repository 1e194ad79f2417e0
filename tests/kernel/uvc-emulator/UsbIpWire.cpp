#include "UsbIpWire.h"

#include <algorithm>
#include <cstring>

namespace norvik::bench {

namespace {

std::uint32_t ReadBe32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

void WriteBe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

UsbIpHeaderBytes BasicHeader(std::uint32_t command, std::uint32_t seqnum)
{
    UsbIpHeaderBytes header{};
    WriteBe32(&header[0], command);
    WriteBe32(&header[4], seqnum);
    // devid, direction and ep stay 0 in answers; vhci-hcd finds the URB by
    // its sequence number.
    return header;
}

}  // namespace

std::optional<std::size_t> UsbIpCommand::FollowingBytes(bool isochronous) const
{
    if (command != kUsbIpCmdSubmit)
        return 0;
    std::size_t bytes = 0;
    if (direction == kUsbIpDirOut && transferBufferLength > 0) {
        if (std::size_t(transferBufferLength) > kUsbIpMaxOutData)
            return std::nullopt;
        bytes += std::size_t(transferBufferLength);
    }
    // Non-isochronous URBs may carry 0 or -1 here; only isochronous ones
    // have packet descriptors.
    if (isochronous && numberOfPackets > 0) {
        if (numberOfPackets > kUsbIpMaxIsoPackets)
            return std::nullopt;
        bytes += std::size_t(numberOfPackets) * kUsbIpIsoDescriptorSize;
    }
    return bytes;
}

std::vector<std::uint8_t> UsbIpCommand::OutData(const std::vector<std::uint8_t>& following) const
{
    if (command != kUsbIpCmdSubmit || direction != kUsbIpDirOut || transferBufferLength <= 0)
        return {};
    const std::size_t size = std::min(following.size(), std::size_t(transferBufferLength));
    return std::vector<std::uint8_t>(following.begin(), following.begin() + std::ptrdiff_t(size));
}

UsbIpCommand DecodeCommand(const UsbIpHeaderBytes& h)
{
    UsbIpCommand c;
    c.command = ReadBe32(&h[0]);
    c.seqnum = ReadBe32(&h[4]);
    c.devid = ReadBe32(&h[8]);
    c.direction = ReadBe32(&h[12]);
    c.ep = ReadBe32(&h[16]);
    if (c.command == kUsbIpCmdSubmit) {
        c.transferFlags = ReadBe32(&h[20]);
        c.transferBufferLength = std::int32_t(ReadBe32(&h[24]));
        c.startFrame = std::int32_t(ReadBe32(&h[28]));
        c.numberOfPackets = std::int32_t(ReadBe32(&h[32]));
        c.interval = std::int32_t(ReadBe32(&h[36]));
        std::memcpy(c.setup.data(), &h[40], 8);
    } else if (c.command == kUsbIpCmdUnlink) {
        c.unlinkSeqnum = ReadBe32(&h[20]);
    }
    return c;
}

UsbIpHeaderBytes EncodeRetSubmit(std::uint32_t seqnum, std::int32_t status, std::int32_t actualLength)
{
    UsbIpHeaderBytes header = BasicHeader(kUsbIpRetSubmit, seqnum);
    WriteBe32(&header[20], std::uint32_t(status));
    WriteBe32(&header[24], std::uint32_t(actualLength));
    // start_frame, number_of_packets and error_count: 0 for control transfers.
    return header;
}

UsbIpHeaderBytes EncodeRetUnlink(std::uint32_t seqnum, std::int32_t status)
{
    UsbIpHeaderBytes header = BasicHeader(kUsbIpRetUnlink, seqnum);
    WriteBe32(&header[20], std::uint32_t(status));
    return header;
}

}  // namespace norvik::bench
