// The device list, its clearing, and the one-block table built from it.

#include "tests/discovery/DiscoveryTestSupport.h"

namespace norvik::test {
namespace {

class CountingControl : public KsControl {
public:
    HResult KsProperty(const void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override
    {
        return hr::kOk;
    }
};

CaptureDevice Record(const wchar_t* name, std::vector<std::uint32_t> nodes, std::uint32_t matchedMask = 0)
{
    CaptureDevice device;
    device.friendlyName = name;
    device.displayName = std::wstring(L"@device:pnp:usb#vid_0001&pid_0002#") + name;
    device.vendorId = 1;
    device.productId = 2;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        ExtensionUnitInfo unit;
        unit.nodeId = nodes[i];
        if (matchedMask & (1u << i)) {
            unit.matched = 1;
            unit.unitId = 10 + std::uint32_t(i);
            unit.guid.bytes[0] = std::uint8_t(0xA0 + i);
            device.hasMatchedUnit = 1;
        }
        device.units.push_back(unit);
    }
    device.unitCount = std::uint32_t(nodes.size());
    return device;
}

TEST(DeviceList, AppendingHandsTheControlReferenceOver)
{
    auto control = std::make_shared<CountingControl>();
    DeviceList list;
    CaptureDevice device = Record(L"Cam", {1});
    device.control = control;
    list.Append(std::move(device));
    EXPECT_EQ(control.use_count(), 2);  // ours and the list's, none left behind
    EXPECT_EQ(list.At(0)->control, control);
    EXPECT_EQ(list.At(1), nullptr);

    // Growing the list moves records without new references.
    for (int i = 0; i < 20; ++i)
        list.Append(Record(L"More", {}));
    EXPECT_EQ(control.use_count(), 2);

    // Clearing releases a reference no matching released.
    ClearDeviceList(list);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(control.use_count(), 1);
}

TEST(DeviceTable, FillsOneBlockWithEveryDeviceAndUnit)
{
    DeviceList list;
    list.Append(Record(L"First", {3, 5}, 0b10));
    list.Append(Record(L"NoUnits", {}));
    list.Append(Record(std::wstring(70, L'L').c_str(), {0}));
    list.At(2)->displayName = std::wstring(300, L'D');

    DeviceTable table;
    ASSERT_TRUE(table.Fill(list));
    ASSERT_EQ(table.deviceCount, 3u);
    EXPECT_EQ(table.BlockSize(), 3 * sizeof(DeviceTableEntry) + 3 * sizeof(ExtensionUnitInfo));

    const DeviceTableEntry& first = *table.Device(0);
    EXPECT_EQ(first.FriendlyName(), L"First");
    EXPECT_EQ(first.hasMatchedUnit, 1u);
    EXPECT_EQ(first.unitCount, 2u);
    EXPECT_EQ(first.units[0].nodeId, 3u);
    EXPECT_EQ(first.units[0].matched, 0u);
    EXPECT_TRUE(first.units[0].guid.IsZero());
    EXPECT_EQ(first.units[1].nodeId, 5u);
    EXPECT_EQ(first.units[1].unitId, 11u);
    EXPECT_EQ(first.units[1].guid.bytes[0], 0xA1);
    // Units follow the device entries; a device without units refers to where
    // its units would have started, which is where the next device's start.
    EXPECT_EQ(static_cast<const void*>(first.units), static_cast<const void*>(table.Device(0) + 3));
    EXPECT_EQ(table.Device(1)->unitCount, 0u);
    EXPECT_EQ(table.Device(1)->units, first.units + 2);
    EXPECT_EQ(table.Device(2)->units, first.units + 2);
    EXPECT_EQ(table.Unit(2, 0)->nodeId, 0u);
    EXPECT_EQ(table.Unit(1, 0), nullptr);
    // Names are cut to their fields.
    EXPECT_EQ(table.Device(2)->FriendlyName(), std::wstring(63, L'L'));
    EXPECT_EQ(table.Device(2)->DisplayName(), std::wstring(259, L'D'));

    // The table is a copy: the list can go.
    ClearDeviceList(list);
    EXPECT_EQ(table.Unit(0, 1)->unitId, 11u);

    DeviceTable moved = std::move(table);
    EXPECT_EQ(table.deviceCount, 0u);
    EXPECT_EQ(table.Device(0), nullptr);
    EXPECT_EQ(moved.Device(0)->FriendlyName(), L"First");
    moved.Release();
    EXPECT_EQ(moved.deviceCount, 0u);
    EXPECT_EQ(moved.Device(0), nullptr);
    EXPECT_EQ(moved.BlockSize(), 0u);
}

TEST(DeviceTable, ARefreshReplacesEverythingAndFindingNothingLeavesItEmpty)
{
    DeviceList list;
    list.Append(Record(L"Stale", {1, 2}, 0b11));
    DeviceTable table;
    table.Fill(list);

    // A machine without cameras: the count line still shows, the walk still
    // runs (its driver key line), and the table ends empty.
    SimRun run(Machine(Json::array(), Json::array({Device("2e7a", "0c41")})));
    RefreshDeviceTable(run.ports, list, table);
    EXPECT_EQ(run.runtime.Transcript(),
              "Sorry, you have no video capture hardware.\r\n\r\nVideo capture will not function properly."
              "Find 0 video device.\n\npszDriverKey = dk-2e7a-0c41\r\n");
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(table.deviceCount, 0u);
    EXPECT_EQ(table.Device(0), nullptr);

    // A device without extension-unit nodes is still in the table.
    SimRun plain(Machine(Json::array({Camera("2e7a", "0c41", "Plain")}), Json::array()));
    RefreshDeviceTable(plain.ports, list, table);
    ASSERT_EQ(table.deviceCount, 1u);
    EXPECT_EQ(table.Device(0)->FriendlyName(), L"Plain");
    EXPECT_EQ(table.Device(0)->unitCount, 0u);
    EXPECT_EQ(table.Device(0)->hasMatchedUnit, 0u);
}

}  // namespace
}  // namespace norvik::test
