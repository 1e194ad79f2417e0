// The whole tool on the Linux platform over the lab fixture tree: a
// discovery run and an operator's road through the main dialog give the same
// transcript and the same log cells as the simulated platform gives for the
// same machine (described by the fixture's scenario file).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LabSystem.h"
#include "console/NorvikDlg.h"
#include "framework/ResourceIds.h"
#include "discovery/DiscoveryRun.h"
#include "platforms/sim/MemoryDialogHost.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik {
namespace {

using test::LabSystem;

std::shared_ptr<const Scenario> LabScenario(const std::string& name)
{
    const ScenarioLoad load = LoadScenarioFile(test::FixtureScenario(name).string());
    EXPECT_TRUE(load) << load.error;
    return load.scenario;
}

// The Linux transcript without the line that only Linux prints: the hint for
// the camera whose node may not be opened.
std::string WithoutPermissionHint(const std::string& transcript, const std::string& hint)
{
    std::string text = transcript;
    const auto at = text.find(hint);
    if (at != std::string::npos)
        text.erase(at, hint.size());
    return text;
}

std::string PermissionHint(LabSystem& lab)
{
    return lab.NodePath("video4") +
           ": permission denied; add the user to the video group (sudo usermod -aG video $USER) "
           "and log in again\n";
}

TEST(LinuxDiscovery, TranscriptIsTheSimulatedPlatformsForTheSameMachine)
{
    LabSystem lab;
    DiscoveryPorts ports{lab.Runtime(), lab.Platform().Capture(), lab.Platform().Usb(),
                         lab.Platform().Setup()};
    DeviceList devices;
    DiscoverDevices(ports, devices);
    const std::string linux = lab.Runtime().AllDiagnostics();

    FakeRuntime simRuntime;
    SimPlatform sim(LabScenario("lab"));
    DiscoveryPorts simPorts = sim.Ports(simRuntime);
    DeviceList simDevices;
    DiscoverDevices(simPorts, simDevices);

    const std::string hint = PermissionHint(lab);
    ASSERT_EQ(linux.rfind(hint, 0), 0u) << linux;  // printed once, while listing
    EXPECT_EQ(WithoutPermissionHint(linux, hint), simRuntime.AllDiagnostics());

    // What the run found, in the lines the operator reads.
    for (const char* line :
         {"Find 3 video device.\n\n", "Location = Port_#0002.Hub_#0002\r\n\n",
          "pszDriverKey = {36fc9e60-c465-11cf-8056-444553540000}\\1-1.4\r\n",
          "(3) unitId = 6, nodeId = 5, ports = 2, guid = {7E1F9B22-3C4D-4E5F-8A6B-1C2D3E4F5A6B}\r\n",
          // The UVC 1.5 camera's unit with two input pins fails the length test.
          "------vid=2BD9, pid=0150, nodeId=4, Can't find xu\r\n\r\n",
          "(1) unitId = 3, nodeId = 2, ports = 2, guid = {D6C5B4A3-9281-4F70-A1B2-C3D4E5F60718}\r\n"})
        EXPECT_NE(linux.find(line), std::string::npos) << line;
    EXPECT_EQ(linux.find("match error"), std::string::npos) << linux;

    ASSERT_EQ(devices.Size(), 3u);
    const std::uint32_t matched[] = {3, 1, 1};
    for (std::size_t i = 0; i < 3; ++i) {
        std::uint32_t count = 0;
        for (const auto& unit : devices.At(i)->units)
            count += unit.matched;
        EXPECT_EQ(count, matched[i]) << "device " << i;
        EXPECT_EQ(devices.At(i)->hasMatchedUnit, 1u);
        EXPECT_FALSE(devices.At(i)->control);  // released by matching
    }
}

// What tells the cameras apart: on Linux the USB port path, the capture node
// and the sysfs serial; on the simulated platform for the same machine the
// location the dump finds and the scenario's serial. The run prints nothing
// more for them (the transcripts above stay equal).
TEST(LinuxDiscovery, EachCameraHasItsAddress)
{
    LabSystem lab;
    DiscoveryPorts ports{lab.Runtime(), lab.Platform().Capture(), lab.Platform().Usb(),
                         lab.Platform().Setup()};
    DeviceList devices;
    DiscoverDevices(ports, devices);
    FakeRuntime simRuntime;
    SimPlatform sim(LabScenario("lab"));
    DiscoveryPorts simPorts = sim.Ports(simRuntime);
    DeviceList simDevices;
    DiscoverDevices(simPorts, simDevices);
    ASSERT_EQ(devices.Size(), 3u);
    ASSERT_EQ(simDevices.Size(), 3u);

    struct Expected {
        std::wstring location, videoNode, serial, simLocation;
    };
    const Expected expected[] = {
        {L"1-1.2", sysfs::Utf8ToWide(lab.NodePath("video0")), L"", L"Port_#0002.Hub_#0002"},
        {L"1-3", sysfs::Utf8ToWide(lab.NodePath("video2")), L"LM15-00042", L"Port_#0003.Hub_#0001"},
        {L"2-2", sysfs::Utf8ToWide(lab.NodePath("video4")), L"", L"Port_#0002.Hub_#0003"}};
    for (std::size_t i = 0; i < 3; ++i) {
        const DeviceAddress& address = devices.At(i)->address;
        EXPECT_EQ(address.location, expected[i].location) << i;
        EXPECT_EQ(address.videoNode, expected[i].videoNode) << i;
        EXPECT_EQ(address.serial, expected[i].serial) << i;
        const DeviceAddress& simAddress = simDevices.At(i)->address;
        EXPECT_EQ(simAddress.location, expected[i].simLocation) << i;
        EXPECT_EQ(simAddress.videoNode, L"") << i;
        EXPECT_EQ(simAddress.serial, expected[i].serial) << i;
    }
}

TEST(LinuxDiscovery, NoCameraFindsNoneAndSaysSo)
{
    LabSystem lab("nocamera");
    DiscoveryPorts ports{lab.Runtime(), lab.Platform().Capture(), lab.Platform().Usb(),
                         lab.Platform().Setup()};
    DeviceList devices;
    DiscoverDevices(ports, devices);
    EXPECT_EQ(devices.Size(), 0u);

    FakeRuntime simRuntime;
    SimPlatform sim(LabScenario("nocamera"));
    DiscoveryPorts simPorts = sim.Ports(simRuntime);
    DeviceList simDevices;
    DiscoverDevices(simPorts, simDevices);
    EXPECT_EQ(lab.Runtime().AllDiagnostics(), simRuntime.AllDiagnostics());
    EXPECT_EQ(lab.Runtime().AllDiagnostics(),
              "Sorry, you have no video capture hardware.\r\n\r\nVideo capture will not function "
              "properly.Find 0 video device.\n\npszDriverKey = "
              "{36fc9e60-c465-11cf-8056-444553540000}\\1-2\r\n");
}

// The main dialog on the in-memory host with a platform's ports.
class Bench {
public:
    Bench(Runtime& runtime, CaptureStack& capture, UsbHost& usb, DeviceSetup& setup)
        : dialog_(std::make_unique<CNorvikDlg>(AppPorts{runtime, host_, capture, usb, setup}, L"norvik"))
    {
        window_ = &host_.Create(*dialog_, ids::kMainDialog);
    }
    ~Bench()
    {
        host_.Destroy(*window_);
        dialog_.reset();
        ClearDeviceList(ProcessDeviceList());
    }

    MemoryDialog& Window() { return *window_; }
    CNorvikDlg& Dialog() { return *dialog_; }

private:
    MemoryDialogHost host_;
    std::unique_ptr<CNorvikDlg> dialog_;
    MemoryDialog* window_ = nullptr;
};

// What the operator saw on one road: the picker's items, the status and
// information lines after each step, the message boxes and the log.
struct Road {
    std::vector<std::wstring> items;
    std::vector<std::wstring> lines;
    std::vector<std::wstring> boxes;
    std::vector<std::vector<std::wstring>> log;
};

Road WalkTheRoad(Bench& bench)
{
    MemoryDialog& w = bench.Window();
    Road road;
    for (int i = 0; i < w.ComboCount(ids::kPicker); ++i)
        road.items.push_back(w.ComboItemText(ids::kPicker, i));
    auto note = [&] {
        road.lines.push_back(w.GetText(ids::kStatusEdit) + L" | " + w.GetText(ids::kInfoEdit) + L" | " +
                             w.GetText(ids::kCsLengthEdit));
    };

    // The first unit of the UVC 1.1 camera: open, GET, SET text, GET back.
    w.ChooseItem(ids::kPicker, 0);
    w.Click(ids::kOpenButton);
    note();
    w.TypeText(ids::kCsEdit, L"1");
    w.Click(ids::kGetButton);
    note();
    w.TypeText(ids::kCsEdit, L"2");
    w.TypeText(ids::kDataEdit, L"ABCD");
    w.Click(ids::kSetButton);
    w.Click(ids::kGetButton);
    note();
    // A selector the unit does not have.
    w.TypeText(ids::kCsEdit, L"9");
    w.Click(ids::kGetButton);
    note();
    // The camera whose node may not be opened: listed and opened, but its
    // requests are refused.
    w.ChooseItem(ids::kPicker, 5);
    w.Click(ids::kOpenButton);
    note();
    w.TypeText(ids::kCsEdit, L"1");
    w.Click(ids::kGetButton);
    note();
    // A typed GUID: the first device whose node answers it.
    w.TypeText(ids::kPicker, L"{4A7D3C10-8E5B-4F21-9C6A-2B1D0E3F5A02}");
    w.Click(ids::kOpenButton);
    note();
    w.TypeText(ids::kCsEdit, L"5");
    w.Click(ids::kGetButton);
    note();

    for (const auto& box : w.MessageBoxes())
        road.boxes.push_back(box.text);
    road.log = w.Control(ids::kLogList).rows;
    return road;
}

TEST(LinuxDiscovery, OperatorRoadGivesTheSimulatedPlatformsCells)
{
    LabSystem lab;
    Road linux;
    {
        Bench bench(lab.Runtime(), lab.Platform().Capture(), lab.Platform().Usb(), lab.Platform().Setup());
        linux = WalkTheRoad(bench);
    }
    FakeRuntime simRuntime;
    SimPlatform sim(LabScenario("lab"));
    Road simulated;
    {
        Bench bench(simRuntime, sim.CaptureStackPort(), sim.UsbHostPort(), sim.DeviceSetupPort());
        simulated = WalkTheRoad(bench);
    }

    EXPECT_EQ(linux.items, simulated.items);
    EXPECT_EQ(linux.lines, simulated.lines);
    EXPECT_EQ(linux.boxes, simulated.boxes);
    EXPECT_EQ(linux.log, simulated.log);

    // And what it was: every unit of the cameras with a matched unit, the
    // UVC 1.5 camera's unmatched one with a zero GUID.
    ASSERT_EQ(linux.items.size(), 6u);
    EXPECT_EQ(linux.items[0], L"Lumen UVC11 Camera, {4A7D3C10-8E5B-4F21-9C6A-2B1D0E3F5A01}");
    EXPECT_EQ(linux.items[4], L"Lumen UVC15 Camera, {00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(linux.items[5], L"Lumen SS Camera, {D6C5B4A3-9281-4F70-A1B2-C3D4E5F60718}");
    ASSERT_GE(linux.log.size(), 4u);
    EXPECT_EQ(linux.log[0][1], L"GET CS=1");
    EXPECT_EQ(linux.log[0][2], L"11 22");
    EXPECT_EQ(linux.log[1][1], L"SET CS=2");
    EXPECT_EQ(linux.log[1][2], L"41 42 43 44");
    EXPECT_EQ(linux.log[2][2], L"41 42 43 44");
    EXPECT_EQ(linux.log[2][3], L"ABCD");
    EXPECT_EQ(linux.log[3][1], L"GET CS=5");
    EXPECT_EQ(linux.log[3][3], L"FW1.2.3");
    ASSERT_EQ(linux.boxes.size(), 2u);
    EXPECT_EQ(linux.boxes[0].rfind(L"获取CS长度失败，错误码 0x80070490: ", 0), 0u);
    EXPECT_EQ(linux.boxes[1].rfind(L"获取CS长度失败，错误码 0x80070005: ", 0), 0u);
    // The SET reached the fake driver's control.
    EXPECT_EQ(lab.Ioctl().Node(lab.NodePath("video0")).units[3][2].value,
              (std::vector<std::uint8_t>{'A', 'B', 'C', 'D'}));
}

TEST(LinuxDiscovery, CameraUnpluggedBetweenDiscoveryAndOpen)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    Bench bench(lab.Runtime(), lab.Platform().Capture(), lab.Platform().Usb(), lab.Platform().Setup());
    MemoryDialog& w = bench.Window();
    ASSERT_EQ(w.ComboCount(ids::kPicker), 6);

    // Choosing opens the list, which runs discovery; the camera goes after.
    w.ChooseItem(ids::kPicker, 1);
    lab.Unplug("1-1.2");
    w.Click(ids::kOpenButton);
    EXPECT_EQ(w.GetText(ids::kStatusEdit), L"打开失败");
    EXPECT_EQ(bench.Dialog().Channel(), nullptr);

    // The next discovery no longer lists it; the other cameras still open.
    w.DropDown(ids::kPicker);
    ASSERT_EQ(w.ComboCount(ids::kPicker), 3);
    w.ChooseItem(ids::kPicker, 0);
    w.Click(ids::kOpenButton);
    EXPECT_EQ(w.GetText(ids::kStatusEdit), L"打开成功");
}

}  // namespace
}  // namespace norvik
