#pragma once
// The device-setup port on Windows: SetupAPI for the device interface, its
// class and registry properties, and the configuration manager for the
// location information of a device node and its parents. Where
// SetupDiOpenDeviceInterfaceW is not implemented (it fails without an error
// code, as under Wine 8), a device interface is found among the present
// interfaces of its class instead. A USB device's serial number is read
// from its device instance ID.

#include "discovery/DeviceSetup.h"

namespace norvik {

class Win32DeviceSetup final : public DeviceSetup {
public:
    std::unique_ptr<DeviceInfoSet> CreateDeviceInfoList() override;
    std::uint32_t LocationInformation(DevInst node, std::wstring* text, std::size_t bufferBytes) override;
    std::uint32_t Parent(DevInst node, DevInst* parent) override;
    bool SerialNumber(DevInst node, std::wstring* serial) override;
};

// The first string of a property buffer of `bytes` bytes: up to its first
// zero character, never past the buffer.
std::wstring FirstStringOf(const wchar_t* buffer, std::size_t bytes);

}  // namespace norvik
