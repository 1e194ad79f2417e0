#pragma once
// The USB host port on Windows: host controllers and hubs opened with
// CreateFileA and asked with DeviceIoControl, synchronously.

#include <atomic>
#include <memory>

#include "discovery/UsbHost.h"

namespace norvik {

class Win32UsbHost final : public UsbHost {
public:
    Win32UsbHost();
    std::unique_ptr<UsbDeviceHandle> Open(const std::string& name) override;
    std::uint32_t LastError() override;

private:
    // Shared with the handles, which may outlive a discovery run's host.
    std::shared_ptr<std::atomic<std::uint32_t>> lastError_;
};

}  // namespace norvik
