#include "discovery/DiscoveryRun.h"

#include "discovery/UnitMatching.h"
#include "discovery/UsbTreeWalk.h"
#include "discovery/VideoEnumeration.h"
#include "runtime/Diagnostics.h"

namespace norvik {

void DiscoverDevices(DiscoveryPorts& ports, DeviceList& devices)
{
    // Chinese device names are printed under the Chinese locale. The runtime
    // decides what that takes: the Windows runtime switches the C library's
    // locale, the POSIX runtime converts wide lines itself and keeps its own.
    ports.runtime.SetChineseLocale();
    ClearDeviceList(devices);
    EnumerateVideoDevices(ports, devices);
    DiagPrint(ports.runtime, "Find %d video device.\n\n", int(devices.Size()));
    WalkUsbTree(
        ports, [&ports](const UsbPortContext& context) { MatchUnitsOnPort(ports, context); }, devices);
}

void RefreshDeviceTable(DiscoveryPorts& ports, DeviceList& devices, DeviceTable& table)
{
    ClearDeviceList(devices);
    table.Release();
    DiscoverDevices(ports, devices);
    if (devices.Empty())
        return;
    table.Fill(devices);
}

}  // namespace norvik
