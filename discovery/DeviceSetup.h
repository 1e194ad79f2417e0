#pragma once
// The device-setup port: the SetupAPI and configuration-manager calls of the
// location dump, and what tells a device apart from an identical one (its
// address). The dialog's behaviour depends on neither: the dump is
// diagnostics, the address serves the command-line tool.

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/Guid.h"

namespace norvik {

using DevInst = std::uint32_t;

constexpr std::uint32_t kCrSuccess = 0;  // CR_SUCCESS

// SPDRP_* registry properties read by the dump.
namespace spdrp {
constexpr std::uint32_t kDeviceDesc = 0;
constexpr std::uint32_t kService = 4;
constexpr std::uint32_t kFriendlyName = 12;
constexpr std::uint32_t kLocationPaths = 35;
}  // namespace spdrp

struct DeviceInfoData {
    Guid classGuid;
    DevInst devInst = 0;
};

// One device information set (HDEVINFO); destruction destroys the list.
class DeviceInfoSet {
public:
    virtual ~DeviceInfoSet() = default;
    // SetupDiOpenDeviceInterfaceW on a device interface path.
    virtual bool OpenDeviceInterface(const std::wstring& devicePath) = 0;
    // SetupDiGetDeviceInterfaceDetailW of the opened interface.
    virtual bool GetInterfaceDetail(DeviceInfoData* info) = 0;
    // SetupDiClassNameFromGuidW and SetupDiGetClassDescriptionW, each into a
    // buffer of the given number of characters.
    virtual bool ClassNameFromGuid(const Guid& classGuid, std::wstring* name, std::size_t bufferChars) = 0;
    virtual bool ClassDescription(const Guid& classGuid, std::wstring* text, std::size_t bufferChars) = 0;
    // SetupDiGetDeviceRegistryPropertyW into a buffer of bufferBytes bytes.
    // A multi-string gives its first string.
    virtual bool RegistryProperty(const DeviceInfoData& info, std::uint32_t property, std::wstring* value,
                                  std::size_t bufferBytes) = 0;
};

// What identifies a capture device beyond discovery order; an empty text
// stands for "none". location: the text the location dump finds (Windows and
// the simulated platform, e.g. "Port_#0002.Hub_#0001") or the USB port path
// (Linux, e.g. "1-1.2"); videoNode: the V4L2 node (Linux, "/dev/video0");
// serial: the USB device's serial number string.
struct DeviceAddress {
    std::wstring location;
    std::wstring videoNode;
    std::wstring serial;
};

class DeviceSetup {
public:
    virtual ~DeviceSetup() = default;
    // SetupDiCreateDeviceInfoList; nullptr stands for INVALID_HANDLE_VALUE.
    virtual std::unique_ptr<DeviceInfoSet> CreateDeviceInfoList() = 0;
    // CM_Get_DevNode_Registry_PropertyW(CM_DRP_LOCATION_INFORMATION); a CR_* code.
    virtual std::uint32_t LocationInformation(DevInst node, std::wstring* text, std::size_t bufferBytes) = 0;
    // CM_Get_Parent; a CR_* code.
    virtual std::uint32_t Parent(DevInst node, DevInst* parent) = 0;
    // The serial number string of the USB device at that node (the node
    // whose location names its port); false when it has none or the node is
    // not a USB device's.
    virtual bool SerialNumber(DevInst node, std::wstring* serial)
    {
        (void)node;
        (void)serial;
        return false;
    }
    // A platform whose devices have names of their own beside the
    // configuration manager's (Linux: the USB port path, the video node and
    // the serial of sysfs) answers the whole address of the device behind an
    // interface path here. False: the address is found as the location dump
    // finds the location, with SerialNumber at the node it stops at.
    virtual bool PlatformAddress(const std::wstring& devicePath, DeviceAddress* address)
    {
        (void)devicePath;
        (void)address;
        return false;
    }
};

}  // namespace norvik
