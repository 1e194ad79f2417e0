// The device-setup port on the lab fixture tree: the properties of a camera's
// interface and the location climb through its parents.

#include <gtest/gtest.h>

#include "LabSystem.h"

namespace norvik {
namespace {

using test::LabSystem;

const wchar_t kCam11Path[] =
    L"\\\\?\\usb#vid_2bd9&pid_0011&mi_00#1-1.2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

std::wstring Property(DeviceInfoSet& set, const DeviceInfoData& info, std::uint32_t property)
{
    std::wstring value;
    EXPECT_TRUE(set.RegistryProperty(info, property, &value, 520)) << "property " << property;
    return value;
}

TEST(SysfsDeviceSetup, CameraInterfaceProperties)
{
    LabSystem lab;
    auto set = lab.Platform().Setup().CreateDeviceInfoList();
    ASSERT_TRUE(set);
    ASSERT_TRUE(set->OpenDeviceInterface(kCam11Path));
    DeviceInfoData info;
    ASSERT_TRUE(set->GetInterfaceDetail(&info));
    EXPECT_EQ(FormatGuid(info.classGuid), "{CA3E7AB9-B4C3-4AE6-8251-579EF933890F}");

    std::wstring text;
    ASSERT_TRUE(set->ClassNameFromGuid(info.classGuid, &text, 260));
    EXPECT_EQ(text, L"Camera");
    ASSERT_TRUE(set->ClassDescription(info.classGuid, &text, 260));
    EXPECT_EQ(text, L"Cameras");
    EXPECT_FALSE(set->ClassNameFromGuid(guids::kPropertyBag, &text, 260));
    EXPECT_FALSE(set->ClassNameFromGuid(info.classGuid, &text, 6));  // "Camera" needs 7

    EXPECT_EQ(Property(*set, info, spdrp::kDeviceDesc), L"Lumen UVC11 Camera");
    EXPECT_EQ(Property(*set, info, spdrp::kService), L"uvcvideo");
    EXPECT_EQ(Property(*set, info, spdrp::kLocationPaths),
              L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2)#USBMI(0)");
    EXPECT_EQ(Property(*set, info, spdrp::kFriendlyName), L"Lumen UVC11 Camera");
    // A property that does not fit the buffer is not read.
    EXPECT_FALSE(set->RegistryProperty(info, spdrp::kService, &text, 16));
}

TEST(SysfsDeviceSetup, LocationClimbsFromInterfaceToThePort)
{
    LabSystem lab;
    DeviceSetup& setup = lab.Platform().Setup();
    auto set = setup.CreateDeviceInfoList();
    ASSERT_TRUE(set->OpenDeviceInterface(kCam11Path));
    DeviceInfoData info;
    ASSERT_TRUE(set->GetInterfaceDetail(&info));

    // The interface names no port; its USB device does: port 2 of the hub,
    // which is the second hub a walk meets (after the root hub of bus 1).
    std::wstring text;
    ASSERT_EQ(setup.LocationInformation(info.devInst, &text, 520), kCrSuccess);
    EXPECT_EQ(text.find(L"Port"), std::wstring::npos);
    DevInst device;
    ASSERT_EQ(setup.Parent(info.devInst, &device), kCrSuccess);
    ASSERT_EQ(setup.LocationInformation(device, &text, 520), kCrSuccess);
    EXPECT_EQ(text, L"Port_#0002.Hub_#0002");

    DevInst hub, rootHub, controller, pciRoot, none;
    ASSERT_EQ(setup.Parent(device, &hub), kCrSuccess);
    ASSERT_EQ(setup.LocationInformation(hub, &text, 520), kCrSuccess);
    EXPECT_EQ(text, L"Port_#0001.Hub_#0001");
    ASSERT_EQ(setup.Parent(hub, &rootHub), kCrSuccess);
    EXPECT_NE(setup.LocationInformation(rootHub, &text, 520), kCrSuccess);
    ASSERT_EQ(setup.Parent(rootHub, &controller), kCrSuccess);
    ASSERT_EQ(setup.LocationInformation(controller, &text, 520), kCrSuccess);
    EXPECT_EQ(text, L"PCI bus 0, device 20, function 0");
    ASSERT_EQ(setup.Parent(controller, &pciRoot), kCrSuccess);
    EXPECT_NE(setup.Parent(pciRoot, &none), kCrSuccess);

    // The same directory keeps its handle.
    DevInst again;
    ASSERT_EQ(setup.Parent(info.devInst, &again), kCrSuccess);
    EXPECT_EQ(again, device);
    EXPECT_EQ(setup.LocationInformation(device, &text, 20), kCrBufferSmall);
}

TEST(SysfsDeviceSetup, HubNumbersFollowTheWalkAcrossBuses)
{
    LabSystem lab;
    DeviceSetup& setup = lab.Platform().Setup();
    auto set = setup.CreateDeviceInfoList();
    // The camera on bus 2 hangs on that bus's root hub, the third hub met.
    ASSERT_TRUE(set->OpenDeviceInterface(
        L"\\\\?\\usb#vid_2bd9&pid_0200&mi_00#2-2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"));
    DeviceInfoData info;
    ASSERT_TRUE(set->GetInterfaceDetail(&info));
    DevInst device;
    ASSERT_EQ(setup.Parent(info.devInst, &device), kCrSuccess);
    std::wstring text;
    ASSERT_EQ(setup.LocationInformation(device, &text, 520), kCrSuccess);
    EXPECT_EQ(text, L"Port_#0002.Hub_#0003");
}

TEST(SysfsDeviceSetup, AddressIsThePortPathTheCaptureNodeAndTheSerial)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    DeviceSetup& setup = lab.Platform().Setup();
    DeviceAddress address;
    // The interface holds the capture node (index 0) and the metadata node.
    ASSERT_TRUE(setup.PlatformAddress(kCam11Path, &address));
    EXPECT_EQ(address.location, L"1-1.2");
    EXPECT_EQ(address.videoNode, sysfs::Utf8ToWide(lab.NodePath("video0")));
    EXPECT_EQ(address.serial, L"");  // the device has no serial attribute
    ASSERT_TRUE(setup.PlatformAddress(
        L"\\\\?\\usb#vid_2bd9&pid_0150&mi_00#1-3#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global", &address));
    EXPECT_EQ(address.location, L"1-3");
    EXPECT_EQ(address.videoNode, sysfs::Utf8ToWide(lab.NodePath("video2")));
    EXPECT_EQ(address.serial, L"LM15-00042");

    // Not a path of this platform: the generic climb applies.
    EXPECT_FALSE(
        setup.PlatformAddress(L"\\\\?\\root#image#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}", &address));
    // A camera that went away has no address left.
    lab.Unplug("1-1.2");
    ASSERT_TRUE(setup.PlatformAddress(kCam11Path, &address));
    EXPECT_EQ(address.location, L"");
    EXPECT_EQ(address.videoNode, L"");
    EXPECT_EQ(address.serial, L"");
}

TEST(SysfsDeviceSetup, PathsThatNameNoCameraDoNotOpen)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    auto set = lab.Platform().Setup().CreateDeviceInfoList();
    DeviceInfoData info;
    EXPECT_FALSE(set->GetInterfaceDetail(&info));  // nothing opened yet
    // Wrong product ID for that port, no such interface, not our form.
    EXPECT_FALSE(set->OpenDeviceInterface(
        L"\\\\?\\usb#vid_2bd9&pid_0012&mi_00#1-1.2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"));
    EXPECT_FALSE(set->OpenDeviceInterface(
        L"\\\\?\\usb#vid_2bd9&pid_0011&mi_03#1-1.2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"));
    EXPECT_FALSE(set->OpenDeviceInterface(L"\\\\?\\root#image#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"));
    lab.Unplug("1-1.2");
    EXPECT_FALSE(set->OpenDeviceInterface(kCam11Path));
    EXPECT_NE(lab.Platform().Setup().LocationInformation(12345, nullptr, 520), kCrSuccess);
}

}  // namespace
}  // namespace norvik
