#include <cstring>

#include "discovery/KsNode.h"
#include "channel/NodeRequests.h"
#include "runtime/Diagnostics.h"

namespace norvik {

namespace {

// Size of the buffer the unit-info GET is answered into; its contents are
// not looked at, only whether the node answers.
constexpr std::uint32_t kUnitInfoBytes = 64;
constexpr std::uint32_t kUnitInfoPropertyId = 0;

}  // namespace

int CollectXuNodes(Runtime& runtime, KsTopologyInfo* topology, std::uint8_t* nodes)
{
    if (!topology || !nodes)
        return 0;
    std::uint32_t count = 0;
    if (Failed(topology->GetNumNodes(&count)) || count == 0)
        return 0;
    int stored = 0;
    for (std::uint32_t index = 0; index < count; ++index) {
        Guid type;
        if (Failed(topology->GetNodeType(index, &type)))
            continue;
        if (type != guids::kNodeTypeDevSpecific)
            continue;
        DiagPrint(runtime, "found one xu, node = %d\n", int(index));
        nodes[stored++] = std::uint8_t(index);
        if (stored == kMaxXuNodes)
            break;
    }
    return stored;
}

bool ProbeDeviceForXu(ChannelPorts& ports, DeviceMoniker* moniker, XuChannel* channel)
{
    if (!moniker || !channel)
        return false;

    std::shared_ptr<CaptureFilter> filter;
    if (Failed(moniker->BindToObject(&filter)) || !filter)
        return false;

    std::shared_ptr<KsTopologyInfo> topology;
    const HResult topologyResult = filter->QueryTopologyInfo(&topology);
    if (Failed(topologyResult)) {
        filter.reset();
        DiagPrint(ports.runtime, "Unable to obtain IKsTopologyInfo %x\n", unsigned(topologyResult));
        return false;
    }
    std::uint8_t candidates[kMaxXuNodes] = {};
    const int candidateCount = CollectXuNodes(ports.runtime, topology.get(), candidates);
    topology.reset();

    std::shared_ptr<KsControl> control;
    const HResult controlResult = filter->QueryKsControl(&control);
    filter.reset();
    if (Failed(controlResult) || !control)
        return false;

    for (int i = 0; i < candidateCount; ++i) {
        channel->nodeId = candidates[i];
        channel->control = control;
        KsNodeProperty property =
            MakeKsNodeProperty(channel->xuGuid, kUnitInfoPropertyId, false, channel->nodeId);
        std::uint8_t info[kUnitInfoBytes] = {};
        std::uint32_t bytes = 0;
        const HResult result =
            channel->control->KsProperty(&property, sizeof property, info, sizeof info, &bytes);
        channel->lastResult = result;
        channel->bytesReturned = bytes;
        if (Succeeded(result)) {
            ReadDeviceInfo(ports.runtime, *moniker, channel->deviceInfo);
            return true;
        }
        DiagPrint(ports.runtime, "KsProperty error, hr = %x\n", unsigned(result));
        channel->control.reset();
    }
    return false;
}

void SearchDevicesForXu(ChannelPorts& ports, XuChannel* channel)
{
    if (!channel)
        return;
    std::shared_ptr<DeviceEnumerator> deviceEnumerator;
    if (ports.captureStack.CreateDeviceEnumerator(&deviceEnumerator) != hr::kOk || !deviceEnumerator) {
        DiagPrint(ports.runtime, "Error Creating Device Enumerator");
        return;
    }
    std::shared_ptr<MonikerEnumerator> monikers;
    if (deviceEnumerator->CreateClassEnumerator(guids::kVideoInputDeviceCategory, 0, &monikers) != hr::kOk ||
        !monikers) {
        DiagPrint(ports.runtime, "Can't find video capture hardware.\r\n");
        return;
    }
    monikers->Reset();
    std::shared_ptr<DeviceMoniker> moniker;
    while (monikers->Next(&moniker) == hr::kOk) {
        const bool found = ProbeDeviceForXu(ports, moniker.get(), channel);
        moniker.reset();
        if (found)
            break;
    }
}

}  // namespace norvik
