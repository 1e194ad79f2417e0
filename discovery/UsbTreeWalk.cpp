#include "discovery/UsbTreeWalk.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "discovery/UsbNames.h"
#include "discovery/UsbStructures.h"
#include "runtime/Diagnostics.h"

namespace norvik {

void WalkUsbTree(DiscoveryPorts& ports, const PortVisitor& visitor, DeviceList& devices)
{
    for (int n = 0; n < kHostControllerCount; ++n) {
        wchar_t wideName[16];
        std::swprintf(wideName, sizeof wideName / sizeof wideName[0], L"\\\\.\\HCD%d", n);
        const std::optional<std::string> name = ToAnsiString(ports.runtime, wideName);
        if (!name)
            continue;
        std::unique_ptr<UsbDeviceHandle> controller = ports.usbHost.Open(*name);
        if (!controller)
            continue;

        // The driver key is not used; a controller that does not give it ends
        // the walk, as does one without a root hub name.
        if (!QueryControllerDriverKey(ports.runtime, *controller))
            return;
        const std::optional<std::string> rootHub = QueryRootHub(ports.runtime, *controller);
        if (!rootHub)
            return;
        OpenAndWalkHub(ports, *rootHub, visitor, devices);
    }
}

void OpenAndWalkHub(DiscoveryPorts& ports, const std::string& hubName, const PortVisitor& visitor,
                    DeviceList& devices)
{
    std::unique_ptr<UsbDeviceHandle> hub = ports.usbHost.Open("\\\\.\\" + hubName);
    if (!hub)
        return;
    usb::NodeInformation info{};
    std::uint32_t returned = 0;
    if (hub->DeviceIoControl(usb::kIoctlGetNodeInformation, &info, sizeof info, &info, sizeof info,
                             &returned))
        WalkHubPorts(ports, *hub, info.HubDescriptor_.bNumberOfPorts, visitor, devices);
}

void WalkHubPorts(DiscoveryPorts& ports, UsbDeviceHandle& hub, std::uint32_t portCount,
                  const PortVisitor& visitor, DeviceList& devices)
{
    // One buffer serves every port of the hub.
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[usb::kConnectionInfoBufferSize]());
    if (!buffer)
        return;

    for (std::uint32_t port = 1; port <= portCount; ++port) {
        usb::NodeConnectionInformation info;
        std::memcpy(&info, buffer.get(), sizeof info);
        info.ConnectionIndex = port;
        std::memcpy(buffer.get(), &info, sizeof info);
        std::uint32_t returned = 0;
        if (!hub.DeviceIoControl(usb::kIoctlGetNodeConnectionInformation, buffer.get(),
                                 usb::kConnectionInfoBufferSize, buffer.get(), usb::kConnectionInfoBufferSize,
                                 &returned))
            return;  // the rest of this hub's ports are not visited
        std::memcpy(&info, buffer.get(), sizeof info);
        if (info.ConnectionStatus != usb::kDeviceConnected)
            continue;

        if (const auto driverKey = QueryPortDriverKey(ports.runtime, hub, port))
            DiagPrint(ports.runtime, "pszDriverKey = %s\r\n", driverKey->c_str());

        const UsbPortContext context{info.DeviceDescriptor_, hub, port, devices};
        visitor(context);

        if (info.DeviceIsHub) {
            if (const auto childHub = QueryChildHub(ports.runtime, hub, port))
                OpenAndWalkHub(ports, *childHub, visitor, devices);
        }
    }
}

}  // namespace norvik
