#include "discovery/UnitMatching.h"

#include <algorithm>

#include "discovery/KsNode.h"
#include "discovery/ConfigDescriptor.h"
#include "runtime/Diagnostics.h"

// "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}" and its arguments: a GUID in registry
// form, upper case.
#define NORVIK_GUID_FORMAT "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}"
#define NORVIK_GUID_ARGS(g)                                                                          \
    unsigned((g).Data1()), unsigned((g).Data2()), unsigned((g).Data3()), (g).Data4(0), (g).Data4(1), \
        (g).Data4(2), (g).Data4(3), (g).Data4(4), (g).Data4(5), (g).Data4(6), (g).Data4(7)

namespace norvik {

namespace {

constexpr std::uint8_t kCsInterface = 0x24;
constexpr std::uint8_t kVcExtensionUnit = 0x06;
constexpr std::uint8_t kExtensionUnitFixedLength = 25;  // 24 + one source ID
constexpr std::size_t kControlSizeOffset = 23;
constexpr std::uint32_t kProbeDataSize = 32;

CaptureDevice* FindCaptureDevice(DeviceList& devices, const usb::DeviceDescriptor& descriptor)
{
    for (CaptureDevice& device : devices) {
        if (device.vendorId == descriptor.idVendor && device.productId == descriptor.idProduct)
            return &device;
    }
    return nullptr;
}

}  // namespace

bool IsExtensionUnitDescriptor(const std::uint8_t* d)
{
    return d[1] == kCsInterface && d[0] > kExtensionUnitFixedLength && d[2] == kVcExtensionUnit &&
           d[0] == kExtensionUnitFixedLength + d[kControlSizeOffset];
}

void WalkExtensionUnitDescriptors(std::span<const std::uint8_t> configuration,
                                  const std::function<void(const ExtensionUnitDescriptor&)>& onUnit)
{
    if (configuration.size() < 4)
        return;
    const std::size_t totalLength = std::size_t(configuration[2] | configuration[3] << 8);
    const std::size_t end = std::min(totalLength, configuration.size());
    const std::uint8_t* const base = configuration.data();

    std::size_t at = 0;
    while (at < end) {
        if (end - at < 2)
            break;
        const std::size_t length = base[at];
        if (length == 0 || length > end - at)
            break;
        const std::uint8_t* d = base + at;
        // bLength over 25 keeps every byte the test reads inside the descriptor.
        if (length > kExtensionUnitFixedLength && IsExtensionUnitDescriptor(d)) {
            onUnit(ExtensionUnitDescriptor{Guid::FromBytes(d + 4), d[3], at});
        }
        at += length;
    }
}

bool TryUnitOnNode(Runtime& runtime, KsControl* control, std::uint32_t nodeId, const Guid& guid)
{
    if (!control)
        return false;
    const KsNodeProperty property = MakeKsNodeProperty(guid, 0, false, nodeId);
    std::uint8_t data[kProbeDataSize] = {};
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        std::uint32_t returned = 0;
        if (Succeeded(control->KsProperty(&property, sizeof property, data, sizeof data, &returned)))
            return true;
        runtime.Sleep(kProbeRetryWaitMs);
    }
    return false;
}

void MatchUnitsOnPort(DiscoveryPorts& ports, const UsbPortContext& context)
{
    CaptureDevice* device = FindCaptureDevice(context.devices, context.deviceDescriptor);
    if (!device)
        return;

    const std::optional<ConfigDescriptorBuffer> config =
        GetConfigDescriptor(ports.runtime, ports.usbHost, context.hub, context.port);
    if (!config) {
        DiagPrint(ports.runtime, "GetConfigDescriptor error\n");
        return;
    }
    MatchUnitsInConfiguration(ports.runtime, context, *device, config->Descriptor());
}

void MatchUnitsInConfiguration(Runtime& runtime, const UsbPortContext& context, CaptureDevice& device,
                               std::span<const std::uint8_t> configuration)
{
    const std::uint32_t start = runtime.TickCount();

    WalkExtensionUnitDescriptors(configuration, [&](const ExtensionUnitDescriptor& descriptor) {
        const std::size_t count = std::min<std::size_t>(device.unitCount, device.units.size());
        for (std::size_t i = 0; i < count; ++i) {
            ExtensionUnitInfo& unit = device.units[i];
            if (unit.matched)
                continue;
            if (TryUnitOnNode(runtime, device.control.get(), unit.nodeId, descriptor.guid)) {
                unit.matched = 1;
                unit.guid = descriptor.guid;
                unit.unitId = descriptor.unitId;
                device.hasMatchedUnit = 1;
                break;
            }
            DiagPrint(runtime, "match error, unitId = %d, nodeId = %d, guid = " NORVIK_GUID_FORMAT "\r\n",
                      int(unit.unitId), int(unit.nodeId), NORVIK_GUID_ARGS(descriptor.guid));
        }
    });

    DiagPrintWide(runtime, L"%ls\n", device.friendlyName.c_str());
    DiagPrint(runtime, "vid = %04X, pid = %04X\r\n", unsigned(device.vendorId), unsigned(device.productId));
    const std::size_t count = std::min<std::size_t>(device.unitCount, device.units.size());
    for (std::size_t i = 0; i < count; ++i) {
        const ExtensionUnitInfo& unit = device.units[i];
        if (unit.matched) {
            DiagPrint(runtime, "(%d) unitId = %d, nodeId = %d, ports = %d, guid = " NORVIK_GUID_FORMAT "\r\n",
                      int(i + 1), int(unit.unitId), int(unit.nodeId), int(context.port),
                      NORVIK_GUID_ARGS(unit.guid));
        } else {
            DiagPrint(runtime, "------vid=%04X, pid=%04X, nodeId=%d, Can't find xu\r\n\r\n",
                      unsigned(context.deviceDescriptor.idVendor),
                      unsigned(context.deviceDescriptor.idProduct), int(unit.nodeId));
        }
    }
    DiagPrint(runtime, "\n");
    DiagPrint(runtime, "Use Time  = %d ms\n", int(runtime.TickCount() - start));

    device.control.reset();
}

}  // namespace norvik
