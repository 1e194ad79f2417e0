#pragma once
// The device-setup port on Linux, answered from sysfs: a device path names a
// uvcvideo VideoControl interface; its device node chain is the sysfs device
// chain (interface, USB device, hubs, host controller, ...).
//   class "Camera" ("Cameras"); DeviceDesc: the interface string, else the
//   product string; Service: the bound driver; LocationPaths: the sysfs path
//   in the Windows form ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)#USBMI(0)");
//   FriendlyName: the V4L2 card name, else the product string.
// Location information: "Port_#%04d.Hub_#%04d" for a USB device (the hub
// number counts the hubs in walk order from 1), the interface name for an
// interface, "PCI bus %d, device %d, function %d" for a PCI device.
// A device's address: its USB port path ("1-1.2"), the capture node of its
// interface under the device-node directory ("/dev/video0") and the USB
// device's serial attribute.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/DeviceSetup.h"
#include "platforms/linux/SysfsTree.h"

namespace norvik {

// CR_* results of the configuration manager beside CR_SUCCESS.
constexpr std::uint32_t kCrNoSuchDevnode = 0x0D;  // CR_NO_SUCH_DEVNODE
constexpr std::uint32_t kCrBufferSmall = 0x1A;    // CR_BUFFER_SMALL
constexpr std::uint32_t kCrNoSuchValue = 0x25;    // CR_NO_SUCH_VALUE

// GUID_DEVCLASS_CAMERA, {CA3E7AB9-B4C3-4AE6-8251-579EF933890F}.
extern const Guid kCameraSetupClass;

class SysfsDeviceSetup final : public DeviceSetup {
public:
    explicit SysfsDeviceSetup(std::filesystem::path sysfsRoot, std::filesystem::path deviceDir = "/dev");
    ~SysfsDeviceSetup() override;

    std::unique_ptr<DeviceInfoSet> CreateDeviceInfoList() override;
    std::uint32_t LocationInformation(DevInst node, std::wstring* text, std::size_t bufferBytes) override;
    std::uint32_t Parent(DevInst node, DevInst* parent) override;
    bool PlatformAddress(const std::wstring& devicePath, DeviceAddress* address) override;

    struct Nodes;

private:
    std::shared_ptr<Nodes> nodes_;
    std::filesystem::path deviceDir_;
};

}  // namespace norvik
