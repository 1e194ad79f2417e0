// The session on its own, as a front end without a log list uses it: the
// whole SET and GET with their records and log, the CSV, and refused
// conversions reported as results.
#include <gtest/gtest.h>

#include "channel/ChannelWorker.h"
#include "discovery/DeviceRecords.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/SimPlatform.h"
#include "runtime/SystemErrorTexts.h"
#include "session/Codecs.h"
#include "session/TransferOps.h"
#include "session/UnitSession.h"

namespace norvik {
namespace {

// One camera, one unit at node 1: selector 1 is two bytes, 2 refuses GETs.
const char* const kScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_abcd&mi_00#6&1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    "friendlyName": "Bench Cam",
    "nodes": [{"type": "other"}, {"type": "xu", "guid": "{11111111-2222-3333-4455-66778899AABB}"}],
    "controls": {"{11111111-2222-3333-4455-66778899AABB}": {
      "1": {"length": 2, "value": "00 00"},
      "2": {"length": 4, "value": "01 02 03 04", "getFail": "0x8007001F"}
    }}
  }],
  "usb": {"controllers": [{"index": 0, "driverKey": "hcd0", "rootHub": "root0",
    "hub": {"ports": 1, "children": {"1": {"idVendor": "0x1234", "idProduct": "0xABCD", "driverKey": "cam",
      "config": {"extensionUnits": [{"unitId": 7, "guid": "{11111111-2222-3333-4455-66778899AABB}"}]}}}}}]}
})";

class SessionTest : public ::testing::Test {
protected:
    SessionTest() : sim(LoadScenarioText(kScenario, "test.json").scenario), session(sim.Ports(runtime)) {}
    ~SessionTest() override { ClearDeviceList(ProcessDeviceList()); }

    FakeRuntime runtime;
    SimPlatform sim;
    UnitSession session;
};

TEST_F(SessionTest, WholeTransfersFillTheirRecordsAndTheLog)
{
    session.Discover();
    ASSERT_EQ(session.ListedUnits().size(), 1u);
    EXPECT_EQ(session.ListedUnits()[0].text, L"Bench Cam, {11111111-2222-3333-4455-66778899AABB}");
    ASSERT_TRUE(session.OpenListed(0, 0));
    EXPECT_EQ(session.OpenListed(0, 1).failure, SessionFailure::NoSuchUnit);

    TransferRecord set;
    ASSERT_TRUE(session.Set(L"1", L"ABC", false, 1, session.OpenedAs(), set));
    EXPECT_EQ(set.Cells(), (std::vector<std::wstring>{L"1", L"SET CS=1", L"41 42", L"AB", L"Bench Cam",
                                                      L"{11111111-2222-3333-4455-66778899AABB}"}));
    EXPECT_EQ(set.bytes, (std::vector<std::uint8_t>{0x41, 0x42}));

    // A refused GET is a result with the device's code and the row's text;
    // the row is logged like any other.
    TransferRecord get;
    const SessionResult refused = session.Get(L"2", 2, session.OpenedAs(), get);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.failure, SessionFailure::Request);
    EXPECT_EQ(std::uint32_t(refused.result), 0x8007001Fu);
    EXPECT_EQ(refused.text, get.dataHex);
    EXPECT_EQ(get.dataHex.rfind(L"GET数据失败 错误码0x8007001f: ", 0), 0u);
    ASSERT_EQ(session.Log().size(), 2u);

    // Nothing held yet for an empty selector; no record is made.
    TransferRecord none;
    EXPECT_EQ(session.Get(L"", 3, session.OpenedAs(), none).failure, SessionFailure::EmptySelector);
    EXPECT_EQ(session.Log().size(), 2u);

    std::wstring name;
    const SessionResult saved = session.SaveLog(&name);
    ASSERT_TRUE(saved) << saved.text;
    EXPECT_EQ(saved.text, L"保存 " + name + L" 成功");
    std::string bytes;
    ASSERT_TRUE(session.CsvBytes(LogColumnTitles(), {set.Cells(), get.Cells()}, bytes));
    EXPECT_EQ(runtime.FileContents(name), bytes);
    session.ClearLog();
    EXPECT_EQ(session.SaveLog().failure, SessionFailure::EmptyLog);
}

TEST_F(SessionTest, TheRequestTimeLimitHoldsForChannelsOpenedAfterIt)
{
    runtime.SetRealTimeWaits(false);  // no wait runs out by itself
    session.Discover();
    ASSERT_TRUE(session.OpenListed(0, 0));
    TransferRecord record;
    ASSERT_TRUE(session.Get(L"1", 1, session.OpenedAs(), record));
    const std::size_t before = runtime.WaitCalls().size();
    ASSERT_GT(before, 0u);
    for (std::uint32_t limit : runtime.WaitCalls())
        EXPECT_EQ(limit, kWorkerTimeLimitMs);

    session.SetRequestTimeLimit(4000);
    session.Close();
    ASSERT_TRUE(session.OpenListed(0, 0));
    ASSERT_TRUE(session.Get(L"1", 2, session.OpenedAs(), record));
    ASSERT_GT(runtime.WaitCalls().size(), before);
    for (std::size_t i = before; i < runtime.WaitCalls().size(); ++i)
        EXPECT_EQ(runtime.WaitCalls()[i], 4000u);
}

TEST_F(SessionTest, ARefusedConversionIsAResultWithTheSystemText)
{
    session.Discover();
    ASSERT_TRUE(session.OpenListed(0, 0));
    runtime.SetRefuseConversions(true);
    const std::wstring system =
        TrimTrailingWhiteSpace(std::wstring(*SystemErrorMessage(87u, ErrorTextLanguage::English)));

    TransferRecord record;
    const SessionResult set = session.Set(L"1", L"AB", false, 1, session.OpenedAs(), record);
    EXPECT_EQ(set.failure, SessionFailure::Conversion);
    EXPECT_EQ(set.text, system);
    std::string bytes;
    EXPECT_EQ(session.CsvBytes({L"Line"}, {}, bytes).failure, SessionFailure::Conversion);
    EXPECT_EQ(session.SaveCsv({L"Line"}, {}).failure, SessionFailure::Conversion);
    EXPECT_TRUE(session.Log().empty());

    // The name of the device a typed GUID found cannot be shown either.
    runtime.SetRefuseConversions(false);
    ASSERT_TRUE(session.OpenByTypedText(L"{11111111-2222-3333-4455-66778899AABB}"));
    runtime.SetRefuseConversions(true);
    std::wstring line, device, guid;
    EXPECT_EQ(session.TypedUnitInfo(line).failure, SessionFailure::Conversion);
    EXPECT_EQ(session.DescribeSource(session.OpenedAs(), device, guid).failure, SessionFailure::Conversion);
}

}  // namespace
}  // namespace norvik
