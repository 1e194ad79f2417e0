#include "discovery/DiscoveryRun.h"

#include "discovery/UnitMatching.h"
#include "discovery/UsbTreeWalk.h"
#include "discovery/VideoEnumeration.h"
#include "runtime/Diagnostics.h"

namespace norvik {

void DiscoverDevices(DiscoveryPorts& ports, DeviceList& devices)
{
    // The Windows build switches the C runtime's locale to "chs" here so that
    // its wide printf can print Chinese names. Off Windows there is no such
    // locale and nothing to switch: wide diagnostic lines are converted by the
    // runtime's own sink.
    ClearDeviceList(devices);
    EnumerateVideoDevices(ports, devices);
    DiagPrint(ports.runtime, "Find %d video device.\n\n", int(devices.Size()));
    WalkUsbTree(
        ports, [&ports](const UsbPortContext& context) { MatchUnitsOnPort(ports, context); },
        devices);
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
