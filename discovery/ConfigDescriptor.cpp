#include "discovery/ConfigDescriptor.h"

#include <cstring>
#include <new>

#include "discovery/UsbStructures.h"
#include "runtime/Diagnostics.h"

namespace norvik {

namespace {

constexpr std::uint16_t kConfigDescriptorIndex0 = 0x0200;  // type 2 high, index 0 low

void PrepareRequest(std::uint8_t* buffer, std::uint32_t port, std::uint16_t length)
{
    usb::DescriptorRequest request{};
    request.ConnectionIndex = port;
    request.SetupPacket_.wValue = kConfigDescriptorIndex0;
    request.SetupPacket_.wLength = length;
    std::memcpy(buffer, &request, sizeof request);
}

std::uint16_t TotalLengthAt(const std::uint8_t* descriptor)
{
    return std::uint16_t(descriptor[2] | descriptor[3] << 8);
}

}  // namespace

std::optional<ConfigDescriptorBuffer> GetConfigDescriptor(Runtime& runtime, UsbHost& host,
                                                          UsbDeviceHandle& hub, std::uint32_t port)
{
    constexpr std::uint32_t kHeader = sizeof(usb::DescriptorRequest);
    static_assert(kHeader == ConfigDescriptorBuffer::kHeaderSize);
    constexpr std::uint32_t kFirstSize = kHeader + sizeof(usb::ConfigurationDescriptor);  // 21

    // First request: only the 9-byte configuration descriptor, for its length.
    std::uint8_t first[kFirstSize] = {};
    PrepareRequest(first, port, sizeof(usb::ConfigurationDescriptor));
    std::uint32_t returned = 0;
    if (!hub.DeviceIoControl(usb::kIoctlGetDescriptorFromNodeConnection, first, kFirstSize, first, kFirstSize,
                             &returned)) {
        DiagPrint(runtime, "GetConfigDescriptor error, return value = %x, LastError=0x%08x\n", 0u,
                  unsigned(host.LastError()));
        return std::nullopt;
    }
    if (returned != kFirstSize) {
        DiagPrint(runtime, "GetConfigDescriptor error, nBytesReturned != nBytes, LastError=0x%08x\n",
                  unsigned(host.LastError()));
        return std::nullopt;
    }
    const std::uint16_t totalLength = TotalLengthAt(first + kHeader);
    if (totalLength < sizeof(usb::ConfigurationDescriptor)) {
        DiagPrint(runtime,
                  "GetConfigDescriptor error, wTotalLength=%d,  wTotalLength < "
                  "sizeof(USB_CONFIGURATION_DESCRIPTOR)\n",
                  int(totalLength));
        return std::nullopt;
    }

    // Second request: the whole descriptor.
    const std::uint32_t size = std::uint32_t(totalLength) + kHeader;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]());
    if (!buffer) {
        DiagPrint(runtime, "GetConfigDescriptor error, Can't calloc memory \n");
        return std::nullopt;
    }
    PrepareRequest(buffer.get(), port, totalLength);
    returned = 0;
    if (!hub.DeviceIoControl(usb::kIoctlGetDescriptorFromNodeConnection, buffer.get(), size, buffer.get(),
                             size, &returned)) {
        buffer.reset();
        DiagPrint(runtime, "GetConfigDescriptor error2, return value = %x, LastError=0x%08x\n", 0u,
                  unsigned(host.LastError()));
        return std::nullopt;
    }
    if (returned != size) {
        buffer.reset();
        DiagPrint(runtime, "GetConfigDescriptor error2, nBytesReturned != nBytes, LastError=0x%08x\n",
                  unsigned(host.LastError()));
        return std::nullopt;
    }
    const std::uint16_t secondLength = TotalLengthAt(buffer.get() + kHeader);
    if (secondLength != totalLength) {
        DiagPrint(runtime,
                  "GetConfigDescriptor error2, wTotalLength=%d,  wTotalLength < "
                  "sizeof(USB_CONFIGURATION_DESCRIPTOR)\n",
                  int(secondLength));
        return std::nullopt;
    }
    return ConfigDescriptorBuffer(std::move(buffer), size);
}

}  // namespace norvik
