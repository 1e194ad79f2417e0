// The location dump: device path, setup class and registry properties, and
// the climb to the first location naming a port.

#include "tests/discovery/DiscoveryTestSupport.h"

namespace norvik::test {
namespace {

const char kPath[] = "\\\\?\\usb#vid_2e7a&pid_0c41&mi_00#7&1f&0&0000#{65e8773d}\\global";

// The lines printed for one camera with this setup, between its display name
// line and its topology lines.
std::string Dump(const Json& setup, const Json& cameraChange = Json::object(),
                 const Json& scenarioChange = Json::object())
{
    Json camera = Camera("2e7a", "0c41", "Cam");
    camera["devicePath"] = kPath;
    if (!setup.is_null())
        camera["setup"] = setup;
    camera.update(cameraChange);
    for (auto it = camera.begin(); it != camera.end();)
        it = it.value().is_null() ? camera.erase(it) : std::next(it);
    Json scenario = Json{{"cameras", Json::array({camera})}};
    scenario.update(scenarioChange);
    SimRun run(scenario);
    const std::string lines = run.Discover();
    const std::string first = "dispaly name = " + UsbDisplayName("2e7a", "0c41") + "\n";
    const std::string last = "Find 1 video device.\n\n";
    EXPECT_EQ(lines.substr(0, first.size()), first);
    EXPECT_GE(lines.size(), first.size() + last.size());
    return lines.substr(first.size(), lines.size() - first.size() - last.size());
}

const Json kFullSetup = {
    {"class", "Camera"},
    {"classDescription", "Cameras"},
    {"deviceDesc", "USB Video Device"},
    {"service", "usbvideo"},
    {"locationPaths", {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USBMI(0)", "ACPI(_SB_)#ACPI(HS03)"}},
    {"friendlyName", "Cam"},
    {"locations", {"0000.0014.0000.003.000.000.000.000.000", "Port_#0003.Hub_#0001", "Port_#0009.Hub_#0009"}},
};

TEST(DeviceLocation, EveryLineInOrderAndTheFirstPortLocationUpward)
{
    EXPECT_EQ(Dump(kFullSetup), std::string("DevicePath = ") + kPath +
                                    "\n"
                                    "Class = Camera\n"
                                    "ClassDescription = Cameras\n"
                                    "DeviceDesc = USB Video Device\n"
                                    "Service = usbvideo\n"
                                    "LocationPath = PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USBMI(0)\n"
                                    "FriendlyName = Cam\n"
                                    "Location = Port_#0003.Hub_#0001\r\n"
                                    "\n");
}

TEST(DeviceLocation, TheClimbEndsSilentlyAtANodeWithoutLocationOrAtTheTop)
{
    const std::string head = std::string("DevicePath = ") + kPath + "\nClass = Camera\n";
    for (const Json& locations : {Json::array({nullptr, "Port_#0003.Hub_#0001"}),
                                  Json::array({"0000.0014", nullptr, "Port_#0003.Hub_#0001"}),
                                  Json::array({"0000.0014", "no port here"}), Json::array()}) {
        EXPECT_EQ(Dump(Json{{"class", "Camera"}, {"locations", locations}}), head + "\n") << locations.dump();
    }
    // The node's own location is printed when it names a port; "port" in
    // lower case does not count.
    EXPECT_EQ(Dump(Json{{"class", "Camera"}, {"locations", {"usb port 3", "Port_#0001.Hub_#0002"}}}),
              head + "Location = Port_#0001.Hub_#0002\r\n\n");
    EXPECT_EQ(Dump(Json{{"class", "Camera"}, {"locations", {"Port_#0007.Hub_#0002"}}}),
              head + "Location = Port_#0007.Hub_#0002\r\n\n");
}

TEST(DeviceLocation, FailuresDropOnlyTheirOwnPart)
{
    const std::string pathLine = std::string("DevicePath = ") + kPath + "\n";
    // SetupAPI does not know the path: no setup lines and no closing blank line.
    Json closed = kFullSetup;
    closed["opens"] = false;
    EXPECT_EQ(Dump(closed), pathLine);
    EXPECT_EQ(Dump(nullptr), pathLine);
    Json noDetail = kFullSetup;
    noDetail["detailFails"] = true;
    EXPECT_EQ(Dump(noDetail), pathLine);
    EXPECT_EQ(Dump(kFullSetup, Json::object(), {{"setupListFails", true}}), pathLine);
    // No device path, or no property bag: no dump at all.
    EXPECT_EQ(Dump(kFullSetup, {{"devicePath", nullptr}}), "");
    // A single missing property drops its own line.
    Json sparse = {{"service", "usbvideo"}, {"friendlyName", "Cam"}};
    EXPECT_EQ(Dump(sparse), pathLine + "Service = usbvideo\nFriendlyName = Cam\n\n");
    // A property longer than the 260-character buffer cannot be read.
    Json longDesc = {{"deviceDesc", std::string(260, 'd')}, {"service", std::string(259, 's')}};
    EXPECT_EQ(Dump(longDesc), pathLine + "Service = " + std::string(259, 's') + "\n\n");
}

// The address: the location the dump prints, found by the same climb, and
// the serial of the node it stops at; none where the dump prints none.
DeviceAddress AddressOf(const Json& setup, const Json& cameraChange = Json::object())
{
    Json camera = Camera("2e7a", "0c41", "Cam");
    camera["devicePath"] = kPath;
    camera["setup"] = setup;
    camera.update(cameraChange);
    for (auto it = camera.begin(); it != camera.end();)
        it = it.value().is_null() ? camera.erase(it) : std::next(it);
    SimRun run(Json{{"cameras", Json::array({camera})}});
    run.Discover();
    EXPECT_EQ(run.devices.Size(), 1u);
    return run.devices.Size() == 1 ? run.devices.At(0)->address : DeviceAddress{};
}

TEST(DeviceLocation, TheAddressIsTheDumpsLocationWithTheSerial)
{
    Json withSerial = kFullSetup;
    withSerial["serial"] = "KST-A0017";
    DeviceAddress address = AddressOf(withSerial);
    EXPECT_EQ(address.location, L"Port_#0003.Hub_#0001");
    EXPECT_EQ(address.serial, L"KST-A0017");
    EXPECT_EQ(address.videoNode, L"");
    address = AddressOf(kFullSetup);
    EXPECT_EQ(address.location, L"Port_#0003.Hub_#0001");
    EXPECT_EQ(address.serial, L"");

    // No port location upward, or the set cannot open the path: nothing,
    // not even the serial.
    Json noPort = withSerial;
    noPort["locations"] = {"0000.0014", "no port here"};
    address = AddressOf(noPort);
    EXPECT_EQ(address.location, L"");
    EXPECT_EQ(address.serial, L"");
    Json closed = withSerial;
    closed["opens"] = false;
    address = AddressOf(closed);
    EXPECT_EQ(address.location, L"");
    EXPECT_EQ(address.serial, L"");
    address = AddressOf(withSerial, {{"devicePath", nullptr}});
    EXPECT_EQ(address.location, L"");
}

}  // namespace
}  // namespace norvik::test
