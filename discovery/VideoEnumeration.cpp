#include "discovery/VideoEnumeration.h"

#include "discovery/DeviceAddress.h"
#include "discovery/DeviceIdentity.h"
#include "discovery/DeviceLocation.h"
#include "discovery/TopologyScan.h"
#include "runtime/Diagnostics.h"

namespace norvik {

void EnumerateVideoDevices(DiscoveryPorts& ports, DeviceList& devices)
{
    std::shared_ptr<DeviceEnumerator> deviceEnumerator;
    if (ports.captureStack.CreateDeviceEnumerator(&deviceEnumerator) != hr::kOk || !deviceEnumerator) {
        DiagPrintWide(ports.runtime, L"Error Creating Device Enumerator");
        return;
    }

    std::shared_ptr<MonikerEnumerator> monikers;
    // S_FALSE (and no enumerator) when the category is empty.
    if (deviceEnumerator->CreateClassEnumerator(guids::kVideoInputDeviceCategory, 0, &monikers) != hr::kOk ||
        !monikers) {
        DiagPrintWide(ports.runtime,
                      L"Sorry, you have no video capture hardware.\r\n\r\n"
                      L"Video capture will not function properly.");
        return;
    }

    monikers->Reset();
    for (;;) {
        std::shared_ptr<DeviceMoniker> moniker;
        if (monikers->Next(&moniker) != hr::kOk || !moniker)
            break;
        if (!AddVideoDevice(ports, std::move(moniker), devices))
            break;
    }
}

bool AddVideoDevice(DiscoveryPorts& ports, std::shared_ptr<DeviceMoniker> moniker, DeviceList& devices)
{
    CaptureDevice device;

    std::wstring name;
    if (Succeeded(moniker->GetDisplayName(&name))) {
        if (name.size() > kDisplayNameMaxChars)
            name.resize(kDisplayNameMaxChars);
        device.displayName = std::move(name);
        DiagPrintWide(ports.runtime, L"dispaly name = %ls\n", device.displayName.c_str());
    }

    if (!IsUsbDisplayName(device.displayName))
        return true;

    PrintDeviceDetails(ports, *moniker);

    std::shared_ptr<PropertyBag> bag;
    if (Failed(moniker->BindToStorage(&bag)) || !bag)
        return true;

    std::wstring friendlyName;
    if (bag->Read(L"FriendlyName", &friendlyName) == hr::kOk) {
        if (friendlyName.size() > kFriendlyNameMaxChars)
            friendlyName.resize(kFriendlyNameMaxChars);
        device.friendlyName = std::move(friendlyName);
        device.vendorId = ReadIdAfterMarker(device.displayName, L"vid_");
        device.productId = ReadIdAfterMarker(device.displayName, L"pid_");
        std::wstring devicePath;
        if (bag->Read(L"DevicePath", &devicePath) == hr::kOk)
            device.address = FindDeviceAddress(ports, devicePath);
        ScanTopology(ports, *moniker, device);
        devices.Append(std::move(device));
    }
    return true;
}

}  // namespace norvik
