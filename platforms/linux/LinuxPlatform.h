#pragma once
// The ports of a real Linux system in one bundle: the V4L2 capture stack,
// the sysfs USB tree and the sysfs device details. The sysfs root and the
// device-node directory are parameters, and every call on a video node goes
// through one UvcIoctl, so that the same code runs on fixture trees.

#include <filesystem>
#include <memory>

#include "platforms/linux/SysfsDeviceSetup.h"
#include "platforms/linux/SysfsUsbHost.h"
#include "platforms/linux/SysfsVideoFunctions.h"
#include "platforms/linux/V4l2CaptureStack.h"
#include "platforms/linux/V4l2UvcIoctl.h"
#include "runtime/Runtime.h"

namespace norvik {

struct LinuxPlatformOptions {
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path deviceDir = "/dev";
    // The calls on video nodes; none means the system's open() and ioctl().
    std::shared_ptr<UvcIoctl> ioctl;
};

class LinuxPlatform {
public:
    // The runtime receives the platform's diagnostic lines and must outlive
    // the platform and everything its ports hand out.
    explicit LinuxPlatform(Runtime& runtime, LinuxPlatformOptions options = {});

    CaptureStack& Capture() { return *capture_; }
    UsbHost& Usb() { return *usb_; }
    DeviceSetup& Setup() { return *setup_; }

    std::shared_ptr<CaptureStack> SharedCapture() const { return capture_; }
    std::shared_ptr<UsbHost> SharedUsb() const { return usb_; }
    std::shared_ptr<DeviceSetup> SharedSetup() const { return setup_; }

private:
    std::shared_ptr<V4l2CaptureStack> capture_;
    std::shared_ptr<SysfsUsbHost> usb_;
    std::shared_ptr<SysfsDeviceSetup> setup_;
};

}  // namespace norvik
