// The walk over host controllers, hubs and ports, the name queries and the
// configuration descriptor read, with the faults a scenario can inject.

#include "discovery/ConfigDescriptor.h"
#include "discovery/UsbStructures.h"
#include "discovery/UsbTreeWalk.h"
#include "runtime/Diagnostics.h"
#include "tests/discovery/DiscoveryTestSupport.h"
#include "tests/discovery/RecordingUsbHost.h"

namespace norvik::test {
namespace {

// Walks the machine with a visitor that writes "visit <port> <vid>:<pid>"
// among the walk's own lines.
class Walk {
public:
    explicit Walk(const Json& scenario)
        : run_(scenario),
          recorder(run_.platform->UsbHostPort()),
          ports_{run_.runtime, run_.platform->CaptureStackPort(), recorder, run_.platform->DeviceSetupPort()}
    {
    }

    std::string Lines()
    {
        WalkUsbTree(
            ports_,
            [this](const UsbPortContext& c) {
                DiagPrint(run_.runtime, "visit %u %04x:%04x\n", unsigned(c.port),
                          unsigned(c.deviceDescriptor.idVendor), unsigned(c.deviceDescriptor.idProduct));
            },
            run_.devices);
        return run_.runtime.Transcript();
    }

private:
    SimRun run_;

public:
    RecordingUsbHost recorder;

private:
    DiscoveryPorts ports_;
};

Json PlainDevice(const std::string& vid, const std::string& pid)
{
    return Json{{"idVendor", "0x" + vid}, {"idProduct", "0x" + pid}, {"driverKey", "dk" + pid}};
}

Json Usb(Json controllers)
{
    return Json{{"cameras", Json::array()}, {"usb", {{"controllers", controllers}}}};
}

TEST(UsbTreeWalk, WithoutControllersTriesAllTenAndPrintsNothing)
{
    Walk walk(Json{{"cameras", Json::array()}});
    EXPECT_EQ(walk.Lines(), "");
    ASSERT_EQ(walk.recorder.opened.size(), 10u);
    EXPECT_EQ(walk.recorder.opened.front(), "\\\\.\\HCD0");
    EXPECT_EQ(walk.recorder.opened.back(), "\\\\.\\HCD9");
}

TEST(UsbTreeWalk, ControllerNumbersThatDoNotOpenAreSkipped)
{
    Walk walk(Usb(Json::array({Controller(0, Hub(1, {{"1", PlainDevice("1111", "0001")}})),
                               Controller(2, Hub(1, {{"1", PlainDevice("2222", "0002")}})),
                               Controller(12, Hub(1, {{"1", PlainDevice("3333", "0003")}}))})));
    // Controller 12 exists but lies beyond \\.\HCD9.
    EXPECT_EQ(walk.Lines(),
              "pszDriverKey = dk0001\r\nvisit 1 1111:0001\n"
              "pszDriverKey = dk0002\r\nvisit 1 2222:0002\n");
    const std::vector<std::string> opened = {
        "\\\\.\\HCD0", "\\\\.\\ROOT_HUB#0", "\\\\.\\HCD1", "\\\\.\\HCD2", "\\\\.\\ROOT_HUB#2", "\\\\.\\HCD3",
        "\\\\.\\HCD4", "\\\\.\\HCD5",       "\\\\.\\HCD6", "\\\\.\\HCD7", "\\\\.\\HCD8",       "\\\\.\\HCD9"};
    EXPECT_EQ(walk.recorder.opened, opened);
}

TEST(UsbTreeWalk, AControllerWithoutItsNamesEndsTheWholeWalk)
{
    for (const char* fault : {"driverKeyFails", "rootHubFails"}) {
        Json first = Controller(0, Hub(1, {{"1", PlainDevice("1111", "0001")}}));
        first[fault] = true;
        Walk walk(Usb(Json::array({first, Controller(1, Hub(1, {{"1", PlainDevice("2222", "0002")}}))})));
        EXPECT_EQ(walk.Lines(), "") << fault;
        EXPECT_EQ(walk.recorder.opened, std::vector<std::string>{"\\\\.\\HCD0"}) << fault;
    }
    // An empty driver key counts as no name as well.
    Json noKey = Controller(0, Hub(1, {{"1", PlainDevice("1111", "0001")}}));
    noKey.erase("driverKey");
    Walk walk(Usb(Json::array({noKey})));
    EXPECT_EQ(walk.Lines(), "");
}

TEST(UsbTreeWalk, EmptyPortsAreSkippedAndEachVisitFollowsItsDriverKey)
{
    Walk walk(Usb(Json::array({Controller(0, Hub(4, {{"1", PlainDevice("1111", "0001")},
                                                     {"3", PlainDevice("1111", "0003")},
                                                     {"4", PlainDevice("1111", "0004")}}))})));
    EXPECT_EQ(walk.Lines(),
              "pszDriverKey = dk0001\r\nvisit 1 1111:0001\n"
              "pszDriverKey = dk0003\r\nvisit 3 1111:0003\n"
              "pszDriverKey = dk0004\r\nvisit 4 1111:0004\n");
}

TEST(UsbTreeWalk, AHubBehindAHubIsWalkedBeforeTheNextPortOfItsParent)
{
    Json inner = PlainDevice("aaaa", "0100");
    inner["childName"] = "HUB#INNER";
    inner["hub"] = Hub(2, {{"1", PlainDevice("bbbb", "0201")}, {"2", PlainDevice("bbbb", "0202")}});
    Walk walk(Usb(Json::array({Controller(0, Hub(2, {{"1", inner}, {"2", PlainDevice("cccc", "0300")}}))})));
    EXPECT_EQ(walk.Lines(),
              "pszDriverKey = dk0100\r\nvisit 1 aaaa:0100\n"
              "pszDriverKey = dk0201\r\nvisit 1 bbbb:0201\n"
              "pszDriverKey = dk0202\r\nvisit 2 bbbb:0202\n"
              "pszDriverKey = dk0300\r\nvisit 2 cccc:0300\n");
    EXPECT_EQ(walk.recorder.opened.at(2), "\\\\.\\HUB#INNER");
}

TEST(UsbTreeWalk, HubAndPortFaultsSkipOnlyWhatTheyConcern)
{
    const auto hubWith = [](Json hubChange, Json deviceChange) {
        Json inner = PlainDevice("aaaa", "0100");
        inner["childName"] = "HUB#INNER";
        inner["hub"] = Hub(2, {{"1", PlainDevice("bbbb", "0201")}});
        inner["hub"].update(hubChange);
        inner.update(deviceChange);
        return inner;
    };
    const std::string hubLine = "pszDriverKey = dk0100\r\nvisit 1 aaaa:0100\n";
    const std::string after = "pszDriverKey = dk0300\r\nvisit 2 cccc:0300\n";
    const std::vector<std::pair<Json, std::string>> cases = {
        {hubWith({{"opens", false}}, Json::object()), hubLine + after},
        {hubWith({{"nodeInfoFails", true}}, Json::object()), hubLine + after},
        {hubWith(Json::object(), {{"childName", nullptr}}), hubLine + after},
        {hubWith({{"ports", 0}, {"children", Json::object()}}, Json::object()), hubLine + after},
        // A port whose driver key cannot be read is visited all the same.
        {hubWith(Json::object(), {{"driverKey", nullptr}}),
         "visit 1 aaaa:0100\npszDriverKey = dk0201\r\nvisit 1 bbbb:0201\n" + after},
        // A port reporting another status than DeviceConnected is passed over.
        {hubWith(Json::object(), {{"status", 2}}), after},
    };
    for (const auto& [inner, lines] : cases) {
        Json device = inner;
        for (auto it = device.begin(); it != device.end();)
            it = it.value().is_null() ? device.erase(it) : std::next(it);
        Walk walk(
            Usb(Json::array({Controller(0, Hub(2, {{"1", device}, {"2", PlainDevice("cccc", "0300")}}))})));
        EXPECT_EQ(walk.Lines(), lines) << inner.dump();
    }
}

TEST(UsbTreeWalk, AFailedConnectionRequestEndsOnlyThatHub)
{
    Json inner = PlainDevice("aaaa", "0100");
    inner["childName"] = "HUB#INNER";
    Json broken = PlainDevice("bbbb", "0202");
    broken["connectionInfoFails"] = true;
    inner["hub"] =
        Hub(3, {{"1", PlainDevice("bbbb", "0201")}, {"2", broken}, {"3", PlainDevice("bbbb", "0203")}});
    Walk walk(Usb(Json::array({Controller(0, Hub(2, {{"1", inner}, {"2", PlainDevice("cccc", "0300")}}))})));
    EXPECT_EQ(walk.Lines(),
              "pszDriverKey = dk0100\r\nvisit 1 aaaa:0100\n"
              "pszDriverKey = dk0201\r\nvisit 1 bbbb:0201\n"
              "pszDriverKey = dk0300\r\nvisit 2 cccc:0300\n");
}

TEST(UsbTreeWalk, RequestsCarryTheDriversLayouts)
{
    Walk walk(Usb(Json::array({Controller(0, Hub(0))})));
    walk.Lines();
    // A hub with no ports gets no connection request.
    EXPECT_EQ(walk.recorder.CountCalls(usb::kIoctlGetNodeConnectionInformation), 0u);

    Walk one(Usb(Json::array({Controller(0, Hub(1, {{"1", PlainDevice("1111", "0001")}}))})));
    one.Lines();
    const auto& calls = one.recorder.calls;
    ASSERT_EQ(calls.size(), 8u);
    // Controller driver key: a 6-byte probe in and out, then the whole size.
    EXPECT_EQ(calls[0].code, usb::kIoctlGetHcdDriverKeyName);
    EXPECT_EQ(calls[0].inSize, 6u);
    EXPECT_TRUE(calls[0].same);
    EXPECT_EQ(calls[1].outSize, 4 + usb::Utf16LeSize(L"hcd-key-0"));
    // Root hub name: no input at all.
    EXPECT_EQ(calls[2].code, usb::kIoctlGetRootHubName);
    EXPECT_EQ(calls[2].inSize, 0u);
    EXPECT_EQ(calls[2].outSize, 6u);
    EXPECT_EQ(calls[3].outSize, 4 + usb::Utf16LeSize(L"ROOT_HUB#0"));
    EXPECT_EQ(one.recorder.opened[1], "\\\\.\\ROOT_HUB#0");
    EXPECT_EQ(calls[4].code, usb::kIoctlGetNodeInformation);
    EXPECT_EQ(calls[4].outSize, 76u);
    EXPECT_EQ(calls[5].code, usb::kIoctlGetNodeConnectionInformation);
    EXPECT_EQ(calls[5].inSize, 365u);
    EXPECT_EQ(calls[5].input[0], 1);  // ConnectionIndex
    // Port driver key: 10-byte probe carrying the port, then the whole size.
    EXPECT_EQ(calls[6].code, usb::kIoctlGetNodeConnectionDriverKeyName);
    EXPECT_EQ(calls[6].inSize, 10u);
    EXPECT_EQ(calls[7].inSize, 8 + usb::Utf16LeSize(L"dk0001"));
    EXPECT_EQ(calls[7].input[0], 1);
}

// --- The configuration descriptor -------------------------------------------

Json CameraMachine(Json configChange)
{
    Json device = Device("2e7a", "0c41", Json::array({Unit(4, kGuidA)}));
    device["config"].update(configChange);
    return Machine(Json::array({Camera("2e7a", "0c41", "Cam", Json::array({XuNode(kGuidA)}))}),
                   Json::array({device}));
}

std::string AfterCount(const std::string& transcript)
{
    const std::string marker = "Find 1 video device.\n\n";
    const auto at = transcript.find(marker);
    return at == std::string::npos ? transcript : transcript.substr(at + marker.size());
}

TEST(ConfigDescriptor, EveryFaultPrintsItsLineAndLeavesTheDeviceAsItWas)
{
    const std::vector<std::pair<Json, std::string>> cases = {
        {{{"firstRequestFails", true}},
         "GetConfigDescriptor error, return value = 0, LastError=0x0000001f\n"},
        {{{"shortFirstAnswer", true}},
         "GetConfigDescriptor error, nBytesReturned != nBytes, LastError=0x00000000\n"},
        {{{"totalLength", 5}},
         "GetConfigDescriptor error, wTotalLength=5,  wTotalLength < "
         "sizeof(USB_CONFIGURATION_DESCRIPTOR)\n"},
        {{{"secondRequestFails", true}},
         "GetConfigDescriptor error2, return value = 0, LastError=0x0000001f\n"},
        // The device holds fewer bytes than it claims.
        {{{"totalLength", 1000}},
         "GetConfigDescriptor error2, nBytesReturned != nBytes, LastError=0x00000000\n"},
        {{{"changedTotalLength", 77}},
         "GetConfigDescriptor error2, wTotalLength=77,  wTotalLength < "
         "sizeof(USB_CONFIGURATION_DESCRIPTOR)\n"},
    };
    for (const auto& [fault, line] : cases) {
        SimRun run(CameraMachine(fault));
        EXPECT_EQ(AfterCount(run.Discover()),
                  "pszDriverKey = dk-2e7a-0c41\r\n" + line + "GetConfigDescriptor error\n")
            << fault.dump();
        const CaptureDevice& device = *run.devices.At(0);
        EXPECT_NE(device.control, nullptr) << "the control reference is kept";
        EXPECT_EQ(device.hasMatchedUnit, 0u);
        EXPECT_EQ(device.units[0].matched, 0u);
    }
}

TEST(ConfigDescriptor, TwoRequestsWithTheHeaderAndTheWholeLength)
{
    SimRun run(CameraMachine(Json::object()));
    RecordingUsbHost recorder(run.platform->UsbHostPort());
    std::unique_ptr<UsbDeviceHandle> hub = recorder.Open("\\\\.\\ROOT_HUB#0");
    ASSERT_NE(hub, nullptr);
    const auto config = GetConfigDescriptor(run.runtime, recorder, *hub, 1);
    ASSERT_TRUE(config.has_value());

    const auto& bytes = run.platform->GetScenario().controllers[0].hub->children.at(1).config->bytes;
    ASSERT_EQ(recorder.calls.size(), 2u);
    const UsbCall& first = recorder.calls[0];
    EXPECT_EQ(first.code, usb::kIoctlGetDescriptorFromNodeConnection);
    EXPECT_EQ(first.inSize, 21u);
    EXPECT_EQ(first.outSize, 21u);
    EXPECT_TRUE(first.same);
    const std::vector<std::uint8_t> header = {1, 0, 0, 0, 0, 0, 0x00, 0x02, 0, 0, 9, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(first.input.begin(), first.input.begin() + 12), header);
    const UsbCall& second = recorder.calls[1];
    EXPECT_EQ(second.inSize, bytes.size() + 12);
    EXPECT_EQ(second.input[10] | second.input[11] << 8, int(bytes.size()));

    EXPECT_EQ(config->Whole().size(), bytes.size() + 12);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), config->Descriptor().begin()));
    EXPECT_EQ(run.runtime.Transcript(), "");
}

}  // namespace
}  // namespace norvik::test
