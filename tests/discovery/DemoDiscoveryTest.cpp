// A whole discovery run of the built-in demo machine: every line in order,
// and the table the picker receives.

#include "tests/discovery/DiscoveryTestSupport.h"

namespace norvik::test {
namespace {

// Written from the rules, not captured: the Kestrel (root port 3), a virtual
// camera, then the Osprey behind the external hub on root port 1, whose
// descriptor declares {E2A94D70-...}, a unit no node answers. That unit is
// tried on the Osprey's two nodes still unmatched at that point (2 and 4),
// each refusing three times with 200 ms waits: 1200 ms.
const char kDemoTranscript[] =
    "dispaly name = @device:pnp:\\\\?\\usb#vid_2e7a&pid_0c41&mi_00#7&1f4a2b9c&0&0000#"
    "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global\n"
    "DevicePath = \\\\?\\usb#vid_2e7a&pid_0c41&mi_00#7&1f4a2b9c&0&0000#"
    "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global\n"
    "Class = Camera\n"
    "ClassDescription = Cameras\n"
    "DeviceDesc = USB Video Device\n"
    "Service = usbvideo\n"
    "LocationPath = PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USBMI(0)\n"
    "FriendlyName = Kestrel UVC Camera\n"
    "Location = Port_#0003.Hub_#0001\r\n"
    "\n"
    "node num = 5\n"
    "found one xu, node = 2\n"
    "found one xu, node = 3\n"
    "dispaly name = @device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\"
    "{7E4B2C19-A3D5-4F80-9C61-2B8E0D47F153}\n"
    "dispaly name = @device:pnp:\\\\?\\usb#vid_2e7a&pid_0d02&mi_00#8&3a60c7e2&0&0000#"
    "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global\n"
    "DevicePath = \\\\?\\usb#vid_2e7a&pid_0d02&mi_00#8&3a60c7e2&0&0000#"
    "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global\n"
    "Class = Camera\n"
    "ClassDescription = Cameras\n"
    "DeviceDesc = USB Video Device\n"
    "Service = usbvideo\n"
    "LocationPath = PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2)#USBMI(0)\n"
    "FriendlyName = Osprey Inspection Camera\n"
    "Location = Port_#0002.Hub_#0003\r\n"
    "\n"
    "node num = 5\n"
    "found one xu, node = 1\n"
    "found one xu, node = 2\n"
    "found one xu, node = 4\n"
    "Find 2 video device.\n"
    "\n"
    "pszDriverKey = {36fc9e60-c465-11cf-8056-444553540000}\\0011\r\n"
    "pszDriverKey = {36fc9e60-c465-11cf-8056-444553540000}\\0014\r\n"
    "match error, unitId = 0, nodeId = 2, guid = {E2A94D70-3B18-4C6F-9D52-71F0A8C3B6E1}\r\n"
    "match error, unitId = 0, nodeId = 4, guid = {E2A94D70-3B18-4C6F-9D52-71F0A8C3B6E1}\r\n"
    "Osprey Inspection Camera\n"
    "vid = 2E7A, pid = 0D02\r\n"
    "(1) unitId = 3, nodeId = 1, ports = 2, guid = {0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}\r\n"
    "(2) unitId = 6, nodeId = 2, ports = 2, guid = {5A7C0D13-88E4-4F19-B6A2-D94E3170C85F}\r\n"
    "------vid=2E7A, pid=0D02, nodeId=4, Can't find xu\r\n"
    "\r\n"
    "\n"
    "Use Time  = 1200 ms\n"
    "pszDriverKey = {36fc9e60-c465-11cf-8056-444553540000}\\0012\r\n"
    "Kestrel UVC Camera\n"
    "vid = 2E7A, pid = 0C41\r\n"
    "(1) unitId = 4, nodeId = 2, ports = 3, guid = {6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}\r\n"
    "(2) unitId = 5, nodeId = 3, ports = 3, guid = {B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}\r\n"
    "\n"
    "Use Time  = 0 ms\n"
    "pszDriverKey = {36fc9e60-c465-11cf-8056-444553540000}\\0013\r\n"
    "pszDriverKey = {36fc9e60-c465-11cf-8056-444553540000}\\0021\r\n";

std::shared_ptr<const Scenario> Demo()
{
    ScenarioLoad load = LoadDemoScenario();
    EXPECT_TRUE(load) << load.error;
    return load.scenario;
}

TEST(DemoDiscovery, PrintsEveryLineInOrder)
{
    SimRun run(Demo());
    run.runtime.SetTickCount(5000);
    EXPECT_EQ(run.Discover(), kDemoTranscript);
}

TEST(DemoDiscovery, TableHoldsBothUsbCamerasWithTheirUnits)
{
    SimRun run(Demo());
    DeviceTable table;
    RefreshDeviceTable(run.ports, run.devices, table);

    ASSERT_EQ(table.deviceCount, 2u);
    const DeviceTableEntry& kestrel = *table.Device(0);
    EXPECT_EQ(kestrel.FriendlyName(), L"Kestrel UVC Camera");
    EXPECT_EQ(kestrel.DisplayName(), run.platform->GetScenario().cameras[0].displayName);
    EXPECT_EQ(kestrel.vendorId, 0x2E7Au);
    EXPECT_EQ(kestrel.productId, 0x0C41u);
    EXPECT_EQ(kestrel.hasMatchedUnit, 1u);
    ASSERT_EQ(kestrel.unitCount, 2u);
    const ExtensionUnitInfo& k0 = *table.Unit(0, 0);
    const ExtensionUnitInfo& k1 = *table.Unit(0, 1);
    EXPECT_EQ(k0.guid, G("{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}"));
    EXPECT_EQ(k0.unitId, 4u);
    EXPECT_EQ(k0.nodeId, 2u);
    EXPECT_EQ(k0.matched, 1u);
    EXPECT_EQ(k1.guid, G("{B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}"));
    EXPECT_EQ(k1.unitId, 5u);
    EXPECT_EQ(k1.nodeId, 3u);

    const DeviceTableEntry& osprey = *table.Device(1);
    EXPECT_EQ(osprey.FriendlyName(), L"Osprey Inspection Camera");
    EXPECT_EQ(osprey.productId, 0x0D02u);
    EXPECT_EQ(osprey.hasMatchedUnit, 1u);
    ASSERT_EQ(osprey.unitCount, 3u);
    EXPECT_EQ(table.Unit(1, 0)->guid, G("{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}"));
    EXPECT_EQ(table.Unit(1, 0)->unitId, 3u);
    EXPECT_EQ(table.Unit(1, 1)->guid, G("{5A7C0D13-88E4-4F19-B6A2-D94E3170C85F}"));
    EXPECT_EQ(table.Unit(1, 1)->unitId, 6u);
    // The device-specific node no descriptor names stays unmatched and zero.
    const ExtensionUnitInfo& orphan = *table.Unit(1, 2);
    EXPECT_EQ(orphan.nodeId, 4u);
    EXPECT_EQ(orphan.matched, 0u);
    EXPECT_EQ(orphan.unitId, 0u);
    EXPECT_TRUE(orphan.guid.IsZero());

    // One block: the device entries, then the five unit entries in order.
    EXPECT_EQ(table.Unit(1, 0), table.Unit(0, 1) + 1);
    EXPECT_EQ(table.BlockSize(), 2 * sizeof(DeviceTableEntry) + 5 * sizeof(ExtensionUnitInfo));
    EXPECT_EQ(table.Device(2), nullptr);
    EXPECT_EQ(table.Unit(0, 2), nullptr);

    // Matching handed back both control references.
    for (const CaptureDevice& device : run.devices)
        EXPECT_EQ(device.control, nullptr);
}

TEST(DemoDiscovery, ASecondRunPrintsTheSameAndReplacesTheTable)
{
    SimRun run(Demo());
    DeviceTable table;
    RefreshDeviceTable(run.ports, run.devices, table);
    const std::string first = run.runtime.Transcript();
    RefreshDeviceTable(run.ports, run.devices, table);
    EXPECT_EQ(run.runtime.Transcript(), first + first);
    ASSERT_EQ(table.deviceCount, 2u);
    EXPECT_EQ(run.devices.Size(), 2u);
    EXPECT_EQ(table.Unit(0, 0)->unitId, 4u);
}

}  // namespace
}  // namespace norvik::test
