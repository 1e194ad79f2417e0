// The device ports on the real system calls. Under Wine there is no camera,
// no USB host controller driver and no Plug and Play tree of real devices,
// so these tests check what every system answers: refusals with the right
// codes, and the DirectShow wrappers on the filters Wine registers itself.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platforms/win32/DirectShowCaptureStack.h"
#include "platforms/win32/UsbInstanceId.h"
#include "platforms/win32/Win32DeviceSetup.h"
#include "platforms/win32/Win32UsbHost.h"
#include "platforms/win32/Win32Guid.h"
#include "platforms/win32/WindowsApi.h"
#include "runtime/ResultCodes.h"

#include <cfgmgr32.h>
#include <setupapi.h>

namespace norvik::test {
namespace {

// DirectShow's category of registered filters
// ({083863F1-70DE-11D0-BD40-00A0C911CE86}), which lists software filters on
// every system, cameras or not.
Guid LegacyFilterCategory() { return *ParseRegistryGuid("{083863F1-70DE-11D0-BD40-00A0C911CE86}"); }

class DirectShowStack : public ::testing::Test {
protected:
    void SetUp() override { apartment = stack.InitializeApartment(); }
    void TearDown() override
    {
        if (Succeeded(apartment))
            ::CoUninitialize();
    }
    DirectShowCaptureStack stack;
    HResult apartment = hr::kFail;
};

TEST_F(DirectShowStack, TheVideoInputCategoryAnswersWithOrWithoutDevices)
{
    ASSERT_TRUE(Succeeded(apartment));
    std::shared_ptr<DeviceEnumerator> enumerator;
    ASSERT_EQ(stack.CreateDeviceEnumerator(&enumerator), hr::kOk);
    ASSERT_NE(enumerator, nullptr);
    std::shared_ptr<MonikerEnumerator> monikers;
    const HResult result = enumerator->CreateClassEnumerator(guids::kVideoInputDeviceCategory, 0, &monikers);
    if (result == hr::kFalse) {
        EXPECT_EQ(monikers, nullptr);  // an empty category has no enumerator
        return;
    }
    ASSERT_EQ(result, hr::kOk);
    ASSERT_NE(monikers, nullptr);
    EXPECT_EQ(monikers->Reset(), hr::kOk);
}

TEST_F(DirectShowStack, MonikersPropertyBagsFiltersAndDisplayNames)
{
    ASSERT_TRUE(Succeeded(apartment));
    std::shared_ptr<DeviceEnumerator> enumerator;
    ASSERT_EQ(stack.CreateDeviceEnumerator(&enumerator), hr::kOk);
    std::shared_ptr<MonikerEnumerator> monikers;
    if (enumerator->CreateClassEnumerator(LegacyFilterCategory(), 0, &monikers) != hr::kOk || !monikers)
        GTEST_SKIP() << "this system lists no registered DirectShow filters";

    std::shared_ptr<DeviceMoniker> moniker;
    ASSERT_EQ(monikers->Next(&moniker), hr::kOk);
    ASSERT_NE(moniker, nullptr);
    std::wstring displayName;
    ASSERT_EQ(moniker->GetDisplayName(&displayName), hr::kOk);
    EXPECT_EQ(displayName.rfind(L"@device:", 0), 0u) << std::string(displayName.begin(), displayName.end());

    std::shared_ptr<PropertyBag> bag;
    ASSERT_EQ(moniker->BindToStorage(&bag), hr::kOk);
    std::wstring friendlyName;
    EXPECT_EQ(bag->Read(L"FriendlyName", &friendlyName), hr::kOk);
    EXPECT_FALSE(friendlyName.empty());
    std::wstring missing = L"unchanged";
    EXPECT_TRUE(Failed(bag->Read(L"NoSuchProperty", &missing)));
    EXPECT_EQ(missing, L"unchanged");

    // The display name leads back to the same device.
    std::shared_ptr<BindContext> context;
    ASSERT_EQ(stack.CreateBindContext(&context), hr::kOk);
    std::shared_ptr<DeviceMoniker> again;
    ASSERT_EQ(stack.ParseDisplayName(*context, displayName, &again), hr::kOk);
    std::wstring againName;
    ASSERT_EQ(again->GetDisplayName(&againName), hr::kOk);
    EXPECT_EQ(againName, displayName);

    // A software filter is no kernel-streaming filter. Not every registered
    // filter can be created, so the first one that can is taken.
    std::shared_ptr<CaptureFilter> filter;
    for (std::shared_ptr<DeviceMoniker> m = moniker; m && !filter;) {
        if (Failed(m->BindToObject(&filter)))
            filter.reset();
        if (!filter && monikers->Next(&m) != hr::kOk)
            m.reset();
    }
    if (!filter)
        GTEST_SKIP() << "none of the registered filters can be created here";
    std::shared_ptr<KsTopologyInfo> topology;
    std::shared_ptr<KsControl> control;
    EXPECT_EQ(filter->QueryTopologyInfo(&topology), hr::kNoInterface);
    EXPECT_EQ(topology, nullptr);
    EXPECT_EQ(filter->QueryKsControl(&control), hr::kNoInterface);
    EXPECT_EQ(control, nullptr);
}

TEST_F(DirectShowStack, AnUnparsableDisplayNameGivesNoMoniker)
{
    ASSERT_TRUE(Succeeded(apartment));
    std::shared_ptr<BindContext> context;
    ASSERT_EQ(stack.CreateBindContext(&context), hr::kOk);
    std::shared_ptr<DeviceMoniker> moniker;
    EXPECT_TRUE(Failed(stack.ParseDisplayName(*context, L"@device:pnp:\\\\?\\no#such#device", &moniker)));
    EXPECT_EQ(moniker, nullptr);
}

// A channel worker's apartment: entered on a thread of its own, left when
// the membership goes. Checked by what CoInitializeEx answers next.
TEST(DirectShowWorkerApartment, AThreadEntersTheMultithreadedApartmentAndLeavesIt)
{
    DirectShowCaptureStack stack;
    HResult entered = hr::kFail;
    bool heldMembership = false;
    HRESULT whileInside = E_FAIL;
    HRESULT afterwards = E_FAIL;
    std::thread([&] {
        std::unique_ptr<ThreadApartment> apartment;
        entered = stack.EnterThreadApartment(&apartment);
        heldMembership = apartment != nullptr;
        whileInside = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // S_FALSE: already in it
        if (SUCCEEDED(whileInside))
            ::CoUninitialize();
        apartment.reset();
        afterwards = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // S_OK: in none any more
        if (SUCCEEDED(afterwards))
            ::CoUninitialize();
    }).join();
    EXPECT_EQ(entered, hr::kOk);
    EXPECT_TRUE(heldMembership);
    EXPECT_EQ(whileInside, S_FALSE);
    EXPECT_EQ(afterwards, S_OK);
}

TEST(DirectShowWorkerApartment, AThreadOfAnotherApartmentIsRefused)
{
    DirectShowCaptureStack stack;
    HResult entered = hr::kOk;
    bool heldMembership = true;
    std::thread([&] {
        const HRESULT single = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        std::unique_ptr<ThreadApartment> apartment;
        entered = stack.EnterThreadApartment(&apartment);
        heldMembership = apartment != nullptr;
        if (SUCCEEDED(single))
            ::CoUninitialize();
    }).join();
    EXPECT_EQ(entered, HResult(RPC_E_CHANGED_MODE));
    EXPECT_FALSE(heldMembership);
}

TEST(Win32UsbHostPort, MissingControllersCannotBeOpenedAndTellWhy)
{
    Win32UsbHost host;
    for (int n = 0; n < 10; ++n) {
        const std::string name = "\\\\.\\HCD" + std::to_string(n) + "-not-a-controller";
        EXPECT_EQ(host.Open(name), nullptr);
        EXPECT_NE(host.LastError(), 0u);
    }
}

TEST(Win32UsbHostPort, ARefusedRequestKeepsItsLastError)
{
    Win32UsbHost host;
    auto device = host.Open("\\\\.\\NUL");
    if (!device)
        GTEST_SKIP() << "the null device cannot be opened for writing here";
    std::uint8_t buffer[76] = {};
    std::uint32_t returned = 12345;
    EXPECT_FALSE(device->DeviceIoControl(0x220408, buffer, sizeof buffer, buffer, sizeof buffer, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_NE(host.LastError(), 0u);
}

TEST(Win32DeviceSetupPort, AnUnknownInterfaceGivesNoDetails)
{
    Win32DeviceSetup setup;
    auto set = setup.CreateDeviceInfoList();
    ASSERT_NE(set, nullptr);
    EXPECT_FALSE(set->OpenDeviceInterface(
        L"\\\\?\\usb#vid_0000&pid_0000#none#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"));
    DeviceInfoData info;
    EXPECT_FALSE(set->GetInterfaceDetail(&info));
    std::wstring text = L"unchanged";
    EXPECT_FALSE(set->RegistryProperty(info, spdrp::kFriendlyName, &text, 520));
    EXPECT_EQ(text, L"unchanged");
}

// One device interface the system lists as present, with what SetupAPI
// itself says of its device.
struct PresentInterface {
    std::wstring path;
    GUID deviceClass{};
    std::vector<std::pair<std::uint32_t, std::optional<std::wstring>>> properties;
};

// The present device interfaces of every interface class the registry knows
// (SetupDiEnumDeviceInterfaces takes one class at a time).
std::vector<PresentInterface> PresentInterfaces()
{
    std::vector<PresentInterface> found;
    HDEVINFO set = ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr,
                                          DIGCF_DEVICEINTERFACE | DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return found;
    HKEY classes = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses", 0, KEY_READ,
                        &classes) == ERROR_SUCCESS) {
        wchar_t name[64] = {};
        for (DWORD k = 0; ::RegEnumKeyW(classes, k, name, 64) == ERROR_SUCCESS; ++k) {
            GUID interfaceClass{};
            if (FAILED(::CLSIDFromString(name, &interfaceClass)))
                continue;
            SP_DEVICE_INTERFACE_DATA iface{};
            iface.cbSize = sizeof iface;
            for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, i, &iface); ++i) {
                alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_W) unsigned char buffer[2048] = {};
                auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer);
                detail->cbSize = sizeof *detail;
                SP_DEVINFO_DATA device{};
                device.cbSize = sizeof device;
                if (!::SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, sizeof buffer, nullptr, &device))
                    continue;
                PresentInterface p{detail->DevicePath, device.ClassGuid, {}};
                for (std::uint32_t property :
                     {spdrp::kDeviceDesc, spdrp::kService, spdrp::kFriendlyName, spdrp::kLocationPaths}) {
                    wchar_t value[260] = {};
                    if (::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                                            reinterpret_cast<BYTE*>(value), sizeof value - 2,
                                                            nullptr))
                        p.properties.push_back({property, std::wstring(value)});
                    else
                        p.properties.push_back({property, std::nullopt});
                }
                found.push_back(p);
            }
        }
        ::RegCloseKey(classes);
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(Win32DeviceSetupPort, APresentInterfaceGivesItsDevicePropertiesAndParents)
{
    const std::vector<PresentInterface> present = PresentInterfaces();
    if (present.empty())
        GTEST_SKIP() << "Wine reports no present device interface here";
    for (const PresentInterface& p : present) {
        SCOPED_TRACE(Narrow(p.path));
        Win32DeviceSetup setup;
        auto set = setup.CreateDeviceInfoList();
        ASSERT_NE(set, nullptr);
        ASSERT_TRUE(set->OpenDeviceInterface(p.path));
        DeviceInfoData info;
        ASSERT_TRUE(set->GetInterfaceDetail(&info));
        EXPECT_EQ(ToWinGuid(info.classGuid), p.deviceClass);
        std::wstring className;
        EXPECT_TRUE(set->ClassNameFromGuid(info.classGuid, &className, 260));
        EXPECT_FALSE(className.empty());

        for (const auto& [property, expected] : p.properties) {
            std::wstring value = L"unchanged";
            const bool read = set->RegistryProperty(info, property, &value, 520);
            EXPECT_EQ(read, expected.has_value()) << "property " << property;
            if (read && expected) {
                EXPECT_EQ(value, *expected) << "property " << property;
                EXPECT_FALSE(value.empty()) << "property " << property;
            }
        }

        // Up the tree: each node's location and parent are the configuration
        // manager's own answers (Wine 8 implements neither call and refuses
        // both), the outputs untouched when refused, and the climb ends.
        DevInst node = info.devInst;
        int parents = 0;
        for (; parents < 32; ++parents) {
            wchar_t expected[261] = {};
            ULONG length = 520;
            const CONFIGRET expectedFound = ::CM_Get_DevNode_Registry_PropertyW(
                node, CM_DRP_LOCATION_INFORMATION, nullptr, expected, &length, 0);
            std::wstring location = L"unchanged";
            EXPECT_EQ(setup.LocationInformation(node, &location, 520), expectedFound);
            EXPECT_EQ(location, expectedFound == CR_SUCCESS ? std::wstring(expected) : L"unchanged");

            // The serial is the one in the node's own instance ID, if any.
            wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
            const std::optional<std::wstring> expectedSerial =
                ::CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN + 1, 0) == CR_SUCCESS
                    ? SerialFromInstanceId(id)
                    : std::nullopt;
            std::wstring serial = L"unchanged";
            EXPECT_EQ(setup.SerialNumber(node, &serial), expectedSerial.has_value());
            EXPECT_EQ(serial, expectedSerial.value_or(L"unchanged"));

            DEVINST expectedParent = 0;
            const CONFIGRET expectedResult = ::CM_Get_Parent(&expectedParent, node, 0);
            DevInst parent = 0xFFFFFFFFu;
            EXPECT_EQ(setup.Parent(node, &parent), expectedResult);
            if (expectedResult != CR_SUCCESS) {
                EXPECT_EQ(parent, 0xFFFFFFFFu);
                break;
            }
            EXPECT_EQ(parent, expectedParent);
            EXPECT_NE(parent, node);
            node = parent;
        }
        EXPECT_LT(parents, 32);
    }
}

TEST(Win32DeviceSetupPort, ClassNamesComeFromTheSystem)
{
    Win32DeviceSetup setup;
    auto set = setup.CreateDeviceInfoList();
    ASSERT_NE(set, nullptr);
    // The Image class of cameras and scanners.
    const Guid image = *ParseRegistryGuid("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}");
    std::wstring name;
    if (!set->ClassNameFromGuid(image, &name, 260))
        GTEST_SKIP() << "this system has no setup class registered for imaging devices";
    EXPECT_EQ(name, L"Image");
}

TEST(Win32DeviceSetupPort, TheLocationClimbStopsAtANodeWithoutOne)
{
    Win32DeviceSetup setup;
    std::wstring text = L"unchanged";
    EXPECT_NE(setup.LocationInformation(0xFFFFFFF0u, &text, 520), kCrSuccess);
    EXPECT_EQ(text, L"unchanged");
    DevInst parent = 7;
    EXPECT_NE(setup.Parent(0xFFFFFFF0u, &parent), kCrSuccess);
    EXPECT_EQ(parent, 7u);
    // No instance ID, so no serial either.
    EXPECT_FALSE(setup.SerialNumber(0xFFFFFFF0u, &text));
    EXPECT_EQ(text, L"unchanged");
}

TEST(Win32DeviceSetupPort, PropertyBuffersGiveTheirFirstString)
{
    const wchar_t multi[] = L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)\0ACPI(_SB_)#ACPI(PCI0)\0";
    EXPECT_EQ(FirstStringOf(multi, sizeof multi), L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)");
    const wchar_t unterminated[] = {L'P', L'o', L'r', L't'};
    EXPECT_EQ(FirstStringOf(unterminated, sizeof unterminated), L"Port");
    EXPECT_EQ(FirstStringOf(unterminated, 5), L"Po");  // half a character is not read
}

}  // namespace
}  // namespace norvik::test
