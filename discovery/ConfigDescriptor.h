#pragma once
// Reading the configuration descriptor of the device on a hub port.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "discovery/UsbHost.h"
#include "runtime/Runtime.h"

namespace norvik {

// One allocation: the 12-byte descriptor request header, then the whole
// configuration descriptor (wTotalLength bytes).
class ConfigDescriptorBuffer {
public:
    static constexpr std::size_t kHeaderSize = 12;

    ConfigDescriptorBuffer(std::unique_ptr<std::uint8_t[]> bytes, std::size_t size)
        : bytes_(std::move(bytes)), size_(size)
    {
    }

    // The configuration descriptor that follows the header.
    std::span<const std::uint8_t> Descriptor() const
    {
        return {bytes_.get() + kHeaderSize, size_ - kHeaderSize};
    }
    std::span<const std::uint8_t> Whole() const { return {bytes_.get(), size_}; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_;
};

// Configuration descriptor index 0 of the device on that port, all of it, or
// nothing (after printing why).
std::optional<ConfigDescriptorBuffer> GetConfigDescriptor(Runtime& runtime, UsbHost& host,
                                                          UsbDeviceHandle& hub, std::uint32_t port);

}  // namespace norvik
