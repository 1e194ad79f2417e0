#include "discovery/DeviceAddress.h"

#include <memory>

#include "discovery/DeviceLocation.h"

namespace norvik {

DeviceAddress FindDeviceAddress(DiscoveryPorts& ports, const std::wstring& devicePath)
{
    DeviceAddress address;
    if (devicePath.empty())
        return address;
    if (ports.deviceSetup.PlatformAddress(devicePath, &address))
        return address;
    address = DeviceAddress{};  // nothing half-answered is kept
    std::unique_ptr<DeviceInfoSet> set = ports.deviceSetup.CreateDeviceInfoList();
    if (!set)
        return address;
    DeviceInfoData info;
    if (!set->OpenDeviceInterface(devicePath) || !set->GetInterfaceDetail(&info))
        return address;
    DevInst portNode = 0;
    if (!ClimbToPortLocation(ports, info.devInst, &address.location, &portNode))
        return address;
    std::wstring serial;
    if (ports.deviceSetup.SerialNumber(portNode, &serial))
        address.serial = std::move(serial);
    return address;
}

}  // namespace norvik
