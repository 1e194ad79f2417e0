#include "discovery/TopologyScan.h"

#include "runtime/Diagnostics.h"

namespace norvik {

void ScanTopology(DiscoveryPorts& ports, DeviceMoniker& moniker, CaptureDevice& device)
{
    std::shared_ptr<CaptureFilter> filter;
    moniker.BindToObject(&filter);
    if (!filter)
        return;

    std::shared_ptr<KsTopologyInfo> topology;
    const HResult result = filter->QueryTopologyInfo(&topology);
    if (Failed(result) || !topology) {
        DiagPrint(ports.runtime, "Unable to obtain IKsTopologyInfo %x\n", unsigned(result));
        return;
    }

    std::shared_ptr<KsControl> control;
    if (Succeeded(filter->QueryKsControl(&control)) && control) {
        device.control = std::move(control);
        CollectXuNodeRecords(ports.runtime, *topology, device);
    }
    // The topology and the filter are dropped here; the control reference
    // keeps the filter alive until matching releases it.
}

void CollectXuNodeRecords(Runtime& runtime, KsTopologyInfo& topology, CaptureDevice& device)
{
    device.unitCount = 0;
    std::uint32_t count = 0;
    if (Failed(topology.GetNumNodes(&count)) || count == 0)
        return;
    // Set again before the node lines, as at the start of the run (see
    // DiscoverDevices).
    runtime.SetChineseLocale();
    DiagPrint(runtime, "node num = %d\n", int(count));
    for (std::uint32_t i = 0; i < count; ++i) {
        Guid type;
        if (Failed(topology.GetNodeType(i, &type)) || type != guids::kNodeTypeDevSpecific)
            continue;
        DiagPrintWide(runtime, L"found one xu, node = %d\n", int(i));
        ExtensionUnitInfo unit;
        unit.nodeId = i;
        device.units.push_back(unit);
        ++device.unitCount;
    }
}

}  // namespace norvik
