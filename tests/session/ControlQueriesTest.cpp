// The class queries through the session: every kind on the simulated
// platform with given and default answers, injected refusals, the unit's
// inventory from its information property, and a control whose one kind
// goes unanswered.
#include <gtest/gtest.h>

#include "channel/ChannelWorker.h"
#include "discovery/DeviceRecords.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/SimPlatform.h"
#include "session/ControlInfo.h"
#include "session/UnitSession.h"
#include "tests/channel/FakeCaptureStack.h"

namespace norvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Selector 1 keeps every default, 2 gives every key, 3 refuses two kinds,
// 5 fails everything, 6 is declared by no control: the unit's bmControls
// has gaps at 4 and from 7 on.
const char* const kScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_abcd&mi_00#6&1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    "friendlyName": "Bench Cam",
    "nodes": [{"type": "other"}, {"type": "xu", "guid": "{11111111-2222-3333-4455-66778899AABB}"}],
    "controls": {"{11111111-2222-3333-4455-66778899AABB}": {
      "1": {"length": 4, "value": "01 02 03 04"},
      "2": {"length": 3, "value": "80", "info": 29, "min": "10", "max": "F0 0F", "res": "02 00 01",
            "def": "7F 01"},
      "3": {"length": 2, "value": "AA BB", "queryFail": {"max": "0x80070032", "res": "0x8007001F"}},
      "5": {"length": 2, "fail": "0x8007001F"}
    }}
  }],
  "usb": {"controllers": [{"index": 0, "driverKey": "hcd0", "rootHub": "root0",
    "hub": {"ports": 1, "children": {"1": {"idVendor": "0x1234", "idProduct": "0xABCD", "driverKey": "cam",
      "config": {"extensionUnits": [{"unitId": 7, "guid": "{11111111-2222-3333-4455-66778899AABB}",
                                     "controlSize": 2, "bmControls": "37 00"}]}}}}}]}
})";

class ControlQueries : public ::testing::Test {
protected:
    ControlQueries() : sim(LoadScenarioText(kScenario, "test.json").scenario), session(sim.Ports(runtime)) {}
    ~ControlQueries() override { ClearDeviceList(ProcessDeviceList()); }

    void SetUp() override
    {
        runtime.SetRealTimeWaits(false);
        ASSERT_TRUE(session.OpenByTypedText(L"{11111111-2222-3333-4455-66778899AABB}"));
    }

    ControlDescription Describe(std::uint8_t selector)
    {
        ControlDescription description;
        const SessionResult described = session.Describe(selector, description);
        EXPECT_TRUE(described) << std::string(described.text.begin(), described.text.end());
        return description;
    }

    FakeRuntime runtime;
    SimPlatform sim;
    UnitSession session;
};

TEST_F(ControlQueries, DefaultsAnswerWhereTheScenarioGivesNothing)
{
    const ControlDescription d = Describe(1);
    EXPECT_EQ(d.Failures(), 0u);
    EXPECT_EQ(d.length, 4);
    EXPECT_EQ(d.len.bytes, (Bytes{4, 0}));
    EXPECT_EQ(d.info.bytes, (Bytes{0x03}));
    EXPECT_EQ(d.cur.bytes, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(d.min.bytes, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(d.max.bytes, (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(d.res.bytes, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(d.def.bytes, (Bytes{1, 2, 3, 4}));

    // The default is the initial value, not whatever a SET wrote since.
    TransferRecord set;
    ASSERT_TRUE(session.Set(L"1", L"09 09 09 09", true, 1, session.OpenedAs(), set));
    const ControlDescription after = Describe(1);
    EXPECT_EQ(after.cur.bytes, (Bytes{9, 9, 9, 9}));
    EXPECT_EQ(after.def.bytes, (Bytes{1, 2, 3, 4}));
}

TEST_F(ControlQueries, GivenAnswersArePaddedToTheLength)
{
    const ControlDescription d = Describe(2);
    EXPECT_EQ(d.Failures(), 0u);
    EXPECT_EQ(d.info.bytes, (Bytes{29}));
    EXPECT_EQ(InfoCapabilities(d.info.bytes[0]),
              (std::vector<std::string>{"get", "auto-disabled", "autoupdate", "async"}));
    EXPECT_EQ(d.cur.bytes, (Bytes{0x80, 0, 0}));
    EXPECT_EQ(d.min.bytes, (Bytes{0x10, 0, 0}));
    EXPECT_EQ(d.max.bytes, (Bytes{0xF0, 0x0F, 0}));
    EXPECT_EQ(d.res.bytes, (Bytes{2, 0, 1}));
    EXPECT_EQ(d.def.bytes, (Bytes{0x7F, 1, 0}));

    // Each query goes to the camera as a GET of its own kind, through the
    // worker thread.
    std::vector<ControlQuery> kinds;
    for (const SimKsRequest& request : sim.Camera(0).Requests())
        if (request.query) {
            kinds.push_back(*request.query);
            EXPECT_NE(request.thread, std::this_thread::get_id());
        }
    EXPECT_EQ(kinds, (std::vector<ControlQuery>{ControlQuery::Info, ControlQuery::Min, ControlQuery::Max,
                                                ControlQuery::Res, ControlQuery::Def}));
}

TEST_F(ControlQueries, ARefusedKindLeavesTheOthersStanding)
{
    const ControlDescription d = Describe(3);
    EXPECT_EQ(d.Failures(), 2u);
    EXPECT_TRUE(d.min.available);
    EXPECT_TRUE(d.def.available);
    EXPECT_EQ(d.def.bytes, (Bytes{0xAA, 0xBB}));
    EXPECT_FALSE(d.max.available);
    EXPECT_TRUE(d.max.bytes.empty());
    EXPECT_EQ(std::uint32_t(d.max.result), 0x80070032u);
    EXPECT_EQ(d.max.failureText, L"0x80070032: The request is not supported.");
    EXPECT_EQ(d.res.failureText, L"0x8007001f: A device attached to the system is not functioning.");

    // Query alone reports the same.
    QueryItem item;
    const SessionResult refused = session.Query(3, ControlQuery::Max, item);
    EXPECT_EQ(refused.failure, SessionFailure::Request);
    EXPECT_EQ(std::uint32_t(refused.result), 0x80070032u);
    EXPECT_EQ(refused.text, item.failureText);
    ASSERT_TRUE(session.Query(3, ControlQuery::Min, item));
    EXPECT_EQ(item.bytes, (Bytes{0, 0}));
    ASSERT_TRUE(session.Query(3, ControlQuery::Info, item));
    EXPECT_EQ(item.bytes, (Bytes{3}));
}

TEST_F(ControlQueries, AFailingControlFailsEveryItemWithItsCode)
{
    // The length fails too, so the values share its code; INFO is asked
    // all the same.
    const ControlDescription d = Describe(5);
    EXPECT_EQ(d.Failures(), 7u);
    for (ControlItem item : kControlItems)
        EXPECT_EQ(std::uint32_t(d.Item(item).result), 0x8007001Fu) << ControlItemName(item);
    EXPECT_EQ(d.length, 0);

    // A selector the camera lacks: not found, item by item.
    const ControlDescription missing = Describe(6);
    EXPECT_EQ(missing.Failures(), 7u);
    EXPECT_EQ(missing.info.failureText, L"0x80070490: Element not found.");
}

TEST_F(ControlQueries, TheInventoryFollowsBmControlsWithItsGaps)
{
    std::vector<std::uint8_t> selectors;
    ASSERT_TRUE(session.DeclaredSelectors(selectors));
    EXPECT_EQ(selectors, (std::vector<std::uint8_t>{1, 2, 3, 5, 6}));
}

TEST_F(ControlQueries, NothingWithoutAnOpenUnit)
{
    session.Close();
    ControlDescription d;
    EXPECT_EQ(session.Describe(1, d).failure, SessionFailure::NoChannel);
    QueryItem item;
    EXPECT_EQ(session.Query(1, ControlQuery::Info, item).failure, SessionFailure::NoChannel);
    std::vector<std::uint8_t> selectors;
    EXPECT_EQ(session.DeclaredSelectors(selectors).failure, SessionFailure::NoChannel);
}

// One control on a scripted camera whose MAX query blocks until released.
TEST(ControlQueryTimeout, OneKindUnansweredIsTheOnlyItemNotAvailable)
{
    const Guid unit = *ParseRegistryGuid("{0FB885C3-68C2-4547-90F7-8F47579D95FC}");
    FakeRuntime runtime;
    runtime.SetRealTimeWaits(false);
    test::FakeCaptureStack stack;
    auto camera = stack.AddCamera(
        L"@device:pnp:\\\\?\\usb#vid_0bda&pid_5830&mi_00#6&2e1f&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
        L"\\global",
        L"Scripted Cam", {test::kXuNode});
    camera->control->PlaceUnit(0, unit);
    camera->control->SetValue({5, 6});
    SimPlatform sim(LoadScenarioText(R"({"cameras": []})", "empty.json").scenario);
    UnitSession session(DiscoveryPorts{runtime, stack, sim.UsbHostPort(), sim.DeviceSetupPort()});
    ASSERT_TRUE(session.OpenByTypedText(L"{0FB885C3-68C2-4547-90F7-8F47579D95FC}"));

    auto entered = std::make_shared<test::Gate>();
    auto release = std::make_shared<test::Gate>();
    camera->control->QueueQueryAnswer(
        ControlQuery::Max,
        [entered, release](const KsNodeProperty&, std::uint8_t*, std::uint32_t, std::uint32_t*) {
            entered->Open();
            release->Wait();
            return hr::kOk;
        });
    // Waits: INFO, CUR, MIN, then MAX.
    runtime.TimeOutWait(3, [entered] { entered->Wait(); });

    ControlDescription d;
    ASSERT_TRUE(session.Describe(1, d));
    EXPECT_EQ(d.Failures(), 1u);
    EXPECT_FALSE(d.max.available);
    EXPECT_EQ(std::uint32_t(d.max.result), kWaitTimeout);
    EXPECT_EQ(d.max.failureText, L"0x00000102: The wait operation timed out.");
    EXPECT_EQ(d.res.bytes, (Bytes{5, 6}));
    EXPECT_EQ(d.def.bytes, (Bytes{5, 6}));
    // The one abandoned hand-off tells the console once.
    const std::string diagnostics = runtime.AllDiagnostics();
    EXPECT_NE(diagnostics.find("timeout!\n"), std::string::npos);
    EXPECT_EQ(diagnostics.find("timeout!\n"), diagnostics.rfind("timeout!\n"));

    release->Open();
    EXPECT_TRUE(test::WaitUntil([] { return AbandonedWorkerThreads() == 0; }));
    ClearDeviceList(ProcessDeviceList());
}

TEST(ControlInfo, InfoBitsAreNamedLowestFirstAndReservedBitsNot)
{
    EXPECT_TRUE(InfoCapabilities(0).empty());
    EXPECT_EQ(InfoCapabilities(0x03), (std::vector<std::string>{"get", "set"}));
    EXPECT_EQ(InfoCapabilities(0xFF), (std::vector<std::string>{"get", "set", "auto-disabled", "autoupdate",
                                                                "async", "commit-disabled"}));
    EXPECT_EQ(ControlQueryByName("res"), ControlQuery::Res);
    EXPECT_FALSE(ControlQueryByName("cur"));
    EXPECT_FALSE(ControlQueryByName("MIN"));
}

TEST(ControlInfo, DeclaredSelectorsReadPastTheSourcePins)
{
    // Two source pins; three control bytes: bits 0, 9 and 23.
    const std::uint8_t info[] = {3, 2, 4, 5, 3, 0x01, 0x02, 0x80, 0};
    EXPECT_EQ(DeclaredSelectors(info, sizeof info), (std::vector<std::uint8_t>{1, 10, 24}));
    // Ends inside bmControls, or before bControlSize.
    EXPECT_FALSE(DeclaredSelectors(info, 7));
    EXPECT_FALSE(DeclaredSelectors(info, 4));
    EXPECT_FALSE(DeclaredSelectors(info, 1));
    // Bits past selector 255 are not addressable.
    std::vector<std::uint8_t> wide = {1, 0, 33};
    wide.resize(3 + 33, 0);
    wide[3 + 31] = 0x80;  // selector 256
    wide[3 + 32] = 0x01;  // selector 257
    wide[3 + 30] = 0x40;  // selector 247
    EXPECT_EQ(DeclaredSelectors(wide.data(), wide.size()), (std::vector<std::uint8_t>{247}));
}

}  // namespace
}  // namespace norvik
