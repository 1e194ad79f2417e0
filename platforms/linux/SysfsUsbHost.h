#pragma once
// The USB host port on Linux, answered from sysfs (bus/usb/devices) without
// root privileges and without any request to a device:
//   "\\.\HCDn"   the USB buses, root hubs in bus number order, n from 0;
//   hub names    "USB#ROOT_HUB#usb1#{hub interface class}" for a root hub,
//                "USB#VID_05E3&PID_0608#1-4#{hub interface class}" for others;
//   driver keys  "{36fc9e60-c465-11cf-8056-444553540000}\" followed by the
//                sysfs name of the device (of the controller for a bus);
// and the hub I/O control requests with the Windows byte layouts: node
// information (bNumberOfPorts = maxchild), connection information (the
// 18-byte device descriptor, hub flag, address, open pipes) and descriptors
// (device, and configuration index n from the `descriptors` file).

#include <atomic>
#include <memory>

#include "discovery/UsbHost.h"
#include "platforms/linux/SysfsTree.h"

namespace norvik {

class SysfsUsbHost final : public UsbHost {
public:
    explicit SysfsUsbHost(std::filesystem::path sysfsRoot);
    ~SysfsUsbHost() override;

    std::unique_ptr<UsbDeviceHandle> Open(const std::string& name) override;
    std::uint32_t LastError() override;

    // The names this host answers with, for the device of a sysfs name.
    static std::string HubName(const sysfs::UsbTree& tree, const std::string& hub);
    static std::string DriverKey(const std::string& sysfsName);

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace norvik
