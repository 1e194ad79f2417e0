// The device and unit picker: list building, item data, opening and closing.
#include <cstdio>

#include "console/Codecs.h"
#include "console/GuidText.h"
#include "console/NorvikDlg.h"
#include "discovery/DiscoveryRun.h"
#include "runtime/Diagnostics.h"

namespace norvik {

namespace {

constexpr std::uint32_t kMaxItemPosition = 255;  // 8 bits each in the item data

std::wstring PickerItemText(const std::wstring& friendlyName, const Guid& guid)
{
    return friendlyName + L", " + FormatGuidWide(guid);
}

std::uint32_t DevicePosition(std::uint32_t itemData) { return (itemData >> 8) & 0xFF; }
std::uint32_t UnitPosition(std::uint32_t itemData) { return itemData & 0xFF; }

}  // namespace

void CNorvikDlg::RefreshPicker()
{
    picker.ResetContent();
    RefreshDeviceTable(discoveryPorts_, ProcessDeviceList(), deviceTable);
    int n = 0;
    for (std::uint32_t i = 0; i < deviceTable.deviceCount; ++i) {
        const DeviceTableEntry& device = *deviceTable.Device(i);
        if (device.hasMatchedUnit == 0 || device.unitCount == 0)
            continue;
        // Item data holds 8 bits per position: anything beyond could only
        // lead to another entry, so it is left out of the list.
        if (i > kMaxItemPosition) {
            DiagPrint(runtime(), "picker: device %u is beyond position 255 and is not listed\n", i);
            continue;
        }
        for (std::uint32_t k = 0; k < device.unitCount; ++k) {
            if (k > kMaxItemPosition) {
                DiagPrint(runtime(),
                          "picker: units of device %u beyond position 255 are not listed\n", i);
                break;
            }
            picker.InsertItem(n, PickerItemText(std::wstring(device.FriendlyName()),
                                                deviceTable.Unit(i, k)->guid));
            picker.SetItemData(n, i * 256 + k);
            ++n;
        }
    }
}

bool CNorvikDlg::HasItemEntry(std::uint32_t itemData) const
{
    const std::uint32_t i = DevicePosition(itemData);
    return deviceTable.Unit(i, UnitPosition(itemData)) != nullptr;
}

int CNorvikDlg::IsManualEntry()
{
    const int selected = picker.GetCurSel();
    if (selected < 0)
        return 1;
    return picker.GetWindowText() != picker.GetItemText(selected) ? 1 : 0;
}

void CNorvikDlg::ShowUnitInfo(std::uint32_t itemData)
{
    if (!HasItemEntry(itemData))
        return;
    const DeviceTableEntry& device = *deviceTable.Device(DevicePosition(itemData));
    const ExtensionUnitInfo& unit = *deviceTable.Unit(DevicePosition(itemData), UnitPosition(itemData));
    wchar_t text[160];
    std::swprintf(text, 160, L"idVendor=%04X, idProduct=%04X, XU描述符里bUnitID=%d, KSP_NOD/NodeId=%d",
                  unsigned(device.vendorId), unsigned(device.productId), int(unit.unitId),
                  int(unit.nodeId));
    infoEdit.SetWindowText(text);
}

void CNorvikDlg::OnPickerCloseUp()
{
    const int selected = picker.GetCurSel();
    if (selected >= 0)
        ShowUnitInfo(picker.GetItemData(selected));
}

void CNorvikDlg::OnPickerEditChange()
{
    if (picker.GetWindowText().size() < 40) {
        CloseUnit();
        infoEdit.SetWindowText(L"");
    }
}

void CNorvikDlg::CloseUnit()
{
    if (channel)
        CloseChannel(channel);
    statusEdit.SetWindowText(L"未打开");
    if (csLength != 0) {
        csLength = 0;
        csLengthEdit.SetWindowText(L"");
    }
}

void CNorvikDlg::OpenUnit()
{
    CloseUnit();
    inputMode = IsManualEntry();
    if (inputMode != 0) {
        OpenByTypedGuid();
        return;
    }
    const int selected = picker.GetCurSel();
    if (selected < 0)
        return;
    const std::uint32_t itemData = picker.GetItemData(selected);
    if (!HasItemEntry(itemData)) {
        statusEdit.SetWindowText(L"打开失败");
        return;
    }
    const DeviceTableEntry& device = *deviceTable.Device(DevicePosition(itemData));
    const ExtensionUnitInfo& unit = *deviceTable.Unit(DevicePosition(itemData), UnitPosition(itemData));
    const std::string displayName = EncodeAnsiText(runtime(), device.DisplayName());
    channel = OpenChannelOnDevice(channelPorts_, displayName.c_str(), &unit.guid,
                                  std::uint8_t(unit.nodeId & 0xFF));
    statusEdit.SetWindowText(channel ? L"打开成功" : L"打开失败");
}

void CNorvikDlg::OpenByTypedGuid()
{
    const std::wstring text = picker.GetWindowText();
    const auto guid = ParseXuGuidText(text);
    if (!guid) {
        ShowMessage(L"输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式");
        return;
    }
    CloseUnit();
    channel = OpenChannelByGuid(channelPorts_, &*guid);
    if (!channel) {
        statusEdit.SetWindowText(L"打开失败");
        return;
    }
    statusEdit.SetWindowText(L"打开成功");
    inputGuid = text;
    const auto& info = channel->deviceInfo;
    if (info.friendlyName[0] != 0) {
        const std::wstring name = DecodeAnsiText(runtime(), info.friendlyName, sizeof info.friendlyName);
        wchar_t line[400];
        std::swprintf(line, 400, L"idVendor=%04X, idProduct=%04X, KSP_NODE/NodeId=%d, %ls",
                      unsigned(info.vendorId), unsigned(info.productId), int(channel->nodeId),
                      name.c_str());
        infoEdit.SetWindowText(line);
    }
}

}  // namespace norvik
