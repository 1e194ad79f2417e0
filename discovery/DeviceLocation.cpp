#include "discovery/DeviceLocation.h"

#include "runtime/Diagnostics.h"

namespace norvik {

namespace {
constexpr std::size_t kPropertyBufferBytes = kPropertyBufferChars * 2;  // UTF-16 units
constexpr int kMaxClimb = 1024;
}  // namespace

void PrintDeviceDetails(DiscoveryPorts& ports, DeviceMoniker& moniker)
{
    std::shared_ptr<PropertyBag> bag;
    if (Failed(moniker.BindToStorage(&bag)) || !bag)
        return;
    std::wstring devicePath;
    if (Succeeded(bag->Read(L"DevicePath", &devicePath))) {
        DiagPrintWide(ports.runtime, L"DevicePath = %ls\n", devicePath.c_str());
        PrintSetupProperties(ports, devicePath);
    }
}

void PrintSetupProperties(DiscoveryPorts& ports, const std::wstring& devicePath)
{
    Runtime& runtime = ports.runtime;
    std::unique_ptr<DeviceInfoSet> set = ports.deviceSetup.CreateDeviceInfoList();
    if (!set)
        return;
    DeviceInfoData info;
    if (!set->OpenDeviceInterface(devicePath) || !set->GetInterfaceDetail(&info))
        return;  // destroying the set destroys the list

    std::wstring text;
    if (set->ClassNameFromGuid(info.classGuid, &text, kPropertyBufferChars))
        DiagPrintWide(runtime, L"Class = %ls\n", text.c_str());
    if (set->ClassDescription(info.classGuid, &text, kPropertyBufferChars))
        DiagPrintWide(runtime, L"ClassDescription = %ls\n", text.c_str());

    struct Line {
        std::uint32_t property;
        const wchar_t* format;
    };
    static constexpr Line kLines[] = {
        {spdrp::kDeviceDesc, L"DeviceDesc = %ls\n"},
        {spdrp::kService, L"Service = %ls\n"},
        {spdrp::kLocationPaths, L"LocationPath = %ls\n"},
        {spdrp::kFriendlyName, L"FriendlyName = %ls\n"},
    };
    for (const Line& line : kLines) {
        if (set->RegistryProperty(info, line.property, &text, kPropertyBufferBytes))
            DiagPrintWide(runtime, line.format, text.c_str());
    }

    FindPortLocation(ports, info.devInst);
    DiagPrintWide(runtime, L"\n");
}

void FindPortLocation(DiscoveryPorts& ports, DevInst deviceNode)
{
    std::wstring location;
    DevInst portNode = 0;
    if (ClimbToPortLocation(ports, deviceNode, &location, &portNode))
        DiagPrintWide(ports.runtime, L"Location = %ls\r\n", location.c_str());
}

bool ClimbToPortLocation(DiscoveryPorts& ports, DevInst deviceNode, std::wstring* location, DevInst* portNode)
{
    DevInst node = deviceNode;
    // Each step goes one node up; the chain ends at the root, where Parent
    // fails. The bound only guards against a backend whose parent links loop.
    for (int level = 0; level < kMaxClimb; ++level) {
        std::wstring text;
        if (ports.deviceSetup.LocationInformation(node, &text, kPropertyBufferBytes) != kCrSuccess)
            return false;
        if (text.find(L"Port") != std::wstring::npos) {
            *location = std::move(text);
            *portNode = node;
            return true;
        }
        DevInst parent = 0;
        if (ports.deviceSetup.Parent(node, &parent) != kCrSuccess)
            return false;
        node = parent;
    }
    return false;
}

}  // namespace norvik
