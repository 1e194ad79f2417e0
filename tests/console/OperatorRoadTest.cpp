// The operator's road through the message map: pick or type a unit, open
// it, probe a control's length, SET and GET, read the log and save it.
#include <gtest/gtest.h>

#include "DialogFixture.h"
#include "discovery/KsNode.h"
#include "session/Codecs.h"
#include "session/TransferOps.h"
#include "runtime/SystemErrorTexts.h"

namespace norvik::testing {
namespace {

// One camera with one extension unit at node 1 and a few controls.
const char* const kBenchScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_abcd&mi_00#6&1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    "friendlyName": "Bench Cam",
    "nodes": [{"type": "other"}, {"type": "xu", "guid": "{11111111-2222-3333-4455-66778899AABB}"}],
    "controls": {"{11111111-2222-3333-4455-66778899AABB}": {
      "1": {"length": 2, "value": "00 00"},
      "2": {"length": 6, "value": "00 00 00 00 00 00"},
      "3": {"length": 4, "value": "00 01 02 03", "setFail": "0x8007001F"},
      "4": {"length": 4, "value": "00 11 22 33"},
      "5": {"length": 4, "value": "01 02 03 04", "fail": "0x80070032"}
    }}
  }],
  "usb": {"controllers": [{"index": 0, "driverKey": "hcd0", "rootHub": "root0",
    "hub": {"ports": 1, "children": {"1": {"idVendor": "0x1234", "idProduct": "0xABCD", "driverKey": "cam",
      "config": {"extensionUnits": [{"unitId": 7, "guid": "{11111111-2222-3333-4455-66778899AABB}"}]}}}}}]}
})";

const std::wstring kBenchItem = L"Bench Cam, {11111111-2222-3333-4455-66778899AABB}";

int LengthProbes(SimPlatform& sim)
{
    int probes = 0;
    for (const auto& r : sim.Camera(0).Requests())
        if (r.dataLength == 0 && r.id != 0)
            ++probes;
    return probes;
}

TEST(Picker, ChoosingAnItemClosesTheChannelAndShowsItsLine)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    w.Click(ids::kOpenButton);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"打开成功");
    ASSERT_NE(f.dialog->Channel(), nullptr);

    // Opening and closing the list without a choice rebuilds it and keeps
    // the channel.
    w.DropDown(ids::kPicker);
    EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
    EXPECT_EQ(w.ComboCount(ids::kPicker), 5);
    EXPECT_NE(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"打开成功");

    w.ChooseItem(ids::kPicker, 3);
    EXPECT_EQ(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"未打开");
    EXPECT_EQ(f.Text(ids::kInfoEdit),
              L"idVendor=2E7A, idProduct=0D02, XU描述符里bUnitID=6, KSP_NOD/NodeId=2");
    w.Click(ids::kOpenButton);
    ASSERT_NE(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.dialog->Channel()->nodeId, 2u);
}

TEST(Picker, TypedGuidOpensTheFirstDeviceThatAnswers)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    w.Click(ids::kOpenButton);
    const std::wstring typed = L" {0f4e8b29-d613-47c5-8a70-5b2c19e6f3d4} left camera";
    // Every keystroke below 40 characters closes the channel and empties
    // the information line.
    w.TypeText(ids::kPicker, typed.substr(0, 10));
    EXPECT_EQ(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"未打开");
    EXPECT_EQ(f.Text(ids::kInfoEdit), L"");
    w.TypeText(ids::kPicker, typed);
    w.Click(ids::kOpenButton);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"打开成功");
    ASSERT_NE(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.dialog->Channel()->nodeId, 1u);
    EXPECT_EQ(f.dialog->InputGuid(), typed);
    EXPECT_EQ(f.Text(ids::kInfoEdit),
              L"idVendor=2E7A, idProduct=0D02, KSP_NODE/NodeId=1, Osprey Inspection Camera");
    EXPECT_EQ(f.dialog->InputMode(), 1);
}

TEST(Picker, MalformedOrUnansweredGuidsFailClearly)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    w.TypeText(ids::kPicker, L"{36fc9e60c46511cf8056444553540000}");
    w.Click(ids::kOpenButton);
    EXPECT_EQ(f.LastMessage(), L"输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式");
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"未打开");
    EXPECT_EQ(f.dialog->InputGuid(), L"");

    const std::size_t boxes = w.MessageBoxes().size();
    w.TypeText(ids::kPicker, L"{36fc9e60-c465-11cf-8056-444553540000}");
    w.Click(ids::kOpenButton);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"打开失败");
    EXPECT_EQ(w.MessageBoxes().size(), boxes);
    EXPECT_EQ(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.dialog->InputGuid(), L"");
}

TEST(Picker, AnEditedItemTextOpensAsATypedGuid)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    w.TypeText(ids::kPicker, w.GetText(ids::kPicker) + L" ");
    EXPECT_EQ(f.dialog->IsManualEntry(), 1);
    w.Click(ids::kOpenButton);
    ASSERT_NE(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.dialog->InputMode(), 1);
    EXPECT_NE(f.dialog->InputGuid(), L"");
}

// A camera discovery cannot tie to USB descriptors ahead of one with no
// friendly name that it can.
const char* const kLooseAndNamelessScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:\\\\?\\usb#vid_5555&pid_0001&mi_00#6&2&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    "friendlyName": "Loose Cam",
    "nodes": [{"type": "xu", "guid": "{22222222-2222-3333-4455-66778899AABB}"}]
  }, {
    "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_abcd&mi_00#6&1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    "friendlyName": "",
    "nodes": [{"type": "other"}, {"type": "xu", "guid": "{11111111-2222-3333-4455-66778899AABB}"}]
  }],
  "usb": {"controllers": [{"index": 0, "driverKey": "hcd0", "rootHub": "root0",
    "hub": {"ports": 1, "children": {"1": {"idVendor": "0x1234", "idProduct": "0xABCD", "driverKey": "cam",
      "config": {"extensionUnits": [{"unitId": 7, "guid": "{11111111-2222-3333-4455-66778899AABB}"}]}}}}}]}
})";

TEST(Picker, ListsOnlyMatchedDevicesAndKeepsAnEmptyName)
{
    DialogFixture f(ScenarioFromText(kLooseAndNamelessScenario));
    MemoryDialog& w = f.Start();
    const DeviceTable& table = f.dialog->Table();
    ASSERT_EQ(table.deviceCount, 2u);
    EXPECT_EQ(table.Device(0)->hasMatchedUnit, 0u);
    EXPECT_GT(table.Device(0)->unitCount, 0u);  // units it has, but none matched

    ASSERT_EQ(w.ComboCount(ids::kPicker), 1);
    EXPECT_EQ(w.ComboItemText(ids::kPicker, 0), L", {11111111-2222-3333-4455-66778899AABB}");
    EXPECT_EQ(w.ComboItemData(ids::kPicker, 0), 0x100u);
}

TEST(Picker, ChoosingAnotherUnitForgetsTheSelectorLength)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    w.Click(ids::kGetButton);
    ASSERT_NE(f.dialog->Channel(), nullptr);
    ASSERT_NE(f.Text(ids::kCsLengthEdit), L"");

    // A typed text of 40 characters or more leaves the channel and the
    // length alone.
    w.TypeText(ids::kPicker, L"{6d1f3a52-9c7e-4b21-a8d5-3e0f71c24b96} x");  // 40 characters
    EXPECT_NE(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"打开成功");
    EXPECT_NE(f.dialog->CsLength(), 0);

    w.ChooseItem(ids::kPicker, 1);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"未打开");
    EXPECT_EQ(f.Text(ids::kCsLengthEdit), L"");
    EXPECT_EQ(f.dialog->CsLength(), 0);
    f.sim.Camera(0).ClearRequests();
    w.Click(ids::kGetButton);  // same CS text, but the length is probed again
    EXPECT_EQ(LengthProbes(f.sim), 1);
}

TEST(Commands, SetInTextModePadsOrCutsToTheControlLength)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    ASSERT_EQ(f.Text(ids::kPicker), kBenchItem);

    w.Click(ids::kSetButton);  // opens the unit by itself, CS "1": length 2
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"打开成功");
    EXPECT_EQ(f.Text(ids::kCsLengthEdit), L"2");
    EXPECT_EQ(f.Cell(0, 0), L"1");
    EXPECT_EQ(f.Cell(0, 1), L"SET CS=1");
    EXPECT_EQ(f.Cell(0, 2), L"41 42");
    EXPECT_EQ(f.Cell(0, 3), L"AB");
    EXPECT_EQ(f.Cell(0, 4), L"Bench Cam");
    EXPECT_EQ(f.Cell(0, 5), L"{11111111-2222-3333-4455-66778899AABB}");
    const Guid unit = *ParseRegistryGuid("{11111111-2222-3333-4455-66778899AABB}");
    EXPECT_EQ(*f.sim.Camera(0).ControlValue(unit, 1), (std::vector<std::uint8_t>{0x41, 0x42}));

    w.TypeText(ids::kCsEdit, L"2");
    w.Click(ids::kSetButton);
    EXPECT_EQ(f.Cell(1, 2), L"41 42 43 44 00 00");
    EXPECT_EQ(f.Cell(1, 3), L"ABCD");
    EXPECT_EQ(f.Log().rows.size(), 4u);  // two records and the two blank rows
    EXPECT_EQ(f.Log().scrollsToBottom, 2);
    EXPECT_EQ(f.Log().redrawSuspended, 0);
}

TEST(Commands, SetInHexModeReadsPairsOnly)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    w.Click(ids::kHexSendCheck);
    w.TypeText(ids::kCsEdit, L"4");
    w.TypeText(ids::kDataEdit, L"0x01, 0x02");
    w.Click(ids::kSetButton);
    EXPECT_EQ(f.Cell(0, 2), L"01 02 00 00");
    EXPECT_EQ(f.Cell(0, 3), L"....");
    w.TypeText(ids::kDataEdit, L"1 2 3");
    w.Click(ids::kSetButton);
    EXPECT_EQ(f.Cell(1, 2), L"00 00 00 00");
    w.TypeText(ids::kDataEdit, L"");
    w.Click(ids::kSetButton);
    EXPECT_EQ(f.LastMessage(), L"SET数据不能为空");
    EXPECT_EQ(f.Log().rows.size(), 4u);
}

TEST(Commands, SelectorTextIsProbedOnceUntilItChanges)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    w.Click(ids::kGetButton);
    w.Click(ids::kGetButton);
    EXPECT_EQ(LengthProbes(f.sim), 1);
    w.TypeText(ids::kCsEdit, L"01");
    w.Click(ids::kGetButton);
    EXPECT_EQ(LengthProbes(f.sim), 2);
    w.TypeText(ids::kCsEdit, L"257");
    w.Click(ids::kGetButton);
    EXPECT_EQ(f.Cell(3, 1), L"GET CS=1");

    w.TypeText(ids::kCsEdit, L"256");
    w.Click(ids::kGetButton);
    EXPECT_EQ(f.LastMessage(), L"cs不能为0");
    const std::size_t boxes = w.MessageBoxes().size();
    w.Click(ids::kSetButton);
    EXPECT_EQ(w.MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(f.LastMessage(), L"cs不能为0");
    EXPECT_EQ(f.dialog->CsLength(), 0);

    w.TypeText(ids::kCsEdit, L"");
    w.Click(ids::kGetButton);
    EXPECT_EQ(f.LastMessage(), L"cs不能为空！");

    // A selector the unit lacks: the probe's error code is reported.
    w.TypeText(ids::kCsEdit, L"9");
    w.Click(ids::kGetButton);
    EXPECT_EQ(f.LastMessage().rfind(L"获取CS长度失败，错误码 0x80070490: ", 0), 0u);
    EXPECT_EQ(f.Log().rows.size(), 6u);  // four records, no row for refused input
}

TEST(Commands, GetShowsHexAndTextUpToTheFirstZero)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    w.TypeText(ids::kCsEdit, L"4");
    w.Click(ids::kGetButton);
    EXPECT_EQ(f.Cell(0, 2), L"00 11 22 33");
    EXPECT_EQ(f.Cell(0, 3), L"");
    EXPECT_EQ(f.Text(ids::kDataEdit), L"ABCD");  // GET writes nothing else
}

TEST(Commands, FailedRequestsKeepTheirRowWithTheErrorText)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    w.TypeText(ids::kCsEdit, L"3");
    w.Click(ids::kSetButton);
    EXPECT_EQ(f.Cell(0, 1), L"SET CS=3");
    EXPECT_EQ(f.Cell(0, 3), L"ABCD");  // the data that was to be sent
    EXPECT_EQ(f.Cell(0, 2).rfind(L"SET数据失败 错误码0x8007001f: ", 0), 0u);
    EXPECT_NE(f.Cell(0, 2).back(), L'\n');
    // Two attempts with a 200 ms pause after each.
    EXPECT_EQ(f.runtime.TotalSlept(), 400u);
    EXPECT_NE(f.dialog->Channel(), nullptr);  // the channel stays open

    w.TypeText(ids::kCsEdit, L"5");
    w.Click(ids::kGetButton);
    EXPECT_EQ(f.LastMessage().rfind(L"获取CS长度失败，错误码 0x80070032: ", 0), 0u);
}

TEST(Commands, FailedGetShowsTheErrorAndKeepsChannelAndLength)
{
    // Selector 6 refuses GETs with data; selector 7 answers after the
    // worker's time limit.
    std::string text = kBenchScenario;
    const std::string last = R"("5": {"length": 4, "value": "01 02 03 04", "fail": "0x80070032"})";
    text.replace(
        text.find(last), last.size(),
        last + R"(, "6": {"length": 4, "getFail": "0x8007001F"}, "7": {"length": 4, "delayMs": 600})");
    DialogFixture f(ScenarioFromText(text));
    MemoryDialog& w = f.Start();

    w.TypeText(ids::kCsEdit, L"6");
    w.Click(ids::kGetButton);
    w.Click(ids::kGetButton);
    EXPECT_EQ(LengthProbes(f.sim), 1);  // the failure does not forget the length
    w.TypeText(ids::kCsEdit, L"7");
    w.Click(ids::kGetButton);
    for (int row : {0, 1})
        EXPECT_EQ(f.Cell(row, 2).rfind(L"GET数据失败 错误码0x8007001f: ", 0), 0u) << row;
    EXPECT_EQ(f.Cell(2, 2).rfind(L"GET数据失败 错误码0x00000102: ", 0), 0u);
    for (int row : {0, 1, 2}) {
        EXPECT_NE(f.Cell(row, 2).back(), L' ');
        EXPECT_EQ(f.Cell(row, 3), L"") << row;
    }
    EXPECT_NE(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"打开成功");
}

TEST(Commands, OpenFailureStopsTheCommand)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    w.TypeText(ids::kPicker, L"nothing typed right");
    w.Click(ids::kGetButton);
    ASSERT_GE(w.MessageBoxes().size(), 2u);
    EXPECT_EQ(w.MessageBoxes()[w.MessageBoxes().size() - 2].text,
              L"输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式");
    EXPECT_EQ(f.LastMessage(), L"设备打开失败，请点下拉框重新枚举设备！");
    EXPECT_EQ(f.Log().rows.size(), 2u);
    EXPECT_EQ(w.MessageBoxes().back().caption, L"norvik");
    EXPECT_EQ(w.MessageBoxes().back().flags, kMbOk | kMbIconWarning);
}

TEST(Commands, RecallPutsBackTheLastTypedGuid)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    const std::wstring typed = L"{0f4e8b29-d613-47c5-8a70-5b2c19e6f3d4}";
    w.TypeText(ids::kPicker, typed);
    w.Click(ids::kOpenButton);
    w.ChooseItem(ids::kPicker, 0);
    EXPECT_NE(f.Text(ids::kInfoEdit), L"");
    w.Click(ids::kRecallButton);
    EXPECT_EQ(f.Text(ids::kPicker), typed);
    EXPECT_EQ(f.Text(ids::kInfoEdit), L"");
    EXPECT_EQ(f.dialog->InputMode(), 1);

    w.SetText(ids::kInfoEdit, L"kept");
    w.Click(ids::kRecallButton);  // already showing it: nothing changes
    EXPECT_EQ(f.Text(ids::kInfoEdit), L"kept");

    w.Click(ids::kClearSendButton);
    EXPECT_EQ(f.Text(ids::kDataEdit), L"");
}

TEST(TransferLog, TypedGuidRowsCarryTheTextAsTyped)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    const std::wstring typed = L"{0f4e8b29-d613-47c5-8a70-5b2c19e6f3d4}";
    w.TypeText(ids::kPicker, typed);
    w.Click(ids::kGetButton);
    EXPECT_EQ(f.Cell(0, 4), L"Osprey Inspection Camera");
    EXPECT_EQ(f.Cell(0, 5), typed);
    EXPECT_EQ(f.Cell(0, 3), L"OSP 1.9.3 (2024-11-02)");
}

TEST(TransferLog, SavesTheRecordsAsCsvAndClears)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    w.Click(ids::kSaveLogButton);
    EXPECT_EQ(f.LastMessage(), L"列表木有数据，无需保存");

    w.Click(ids::kSetButton);
    w.Click(ids::kGetButton);
    w.TypeText(ids::kCsEdit, L"3");
    w.Click(ids::kSetButton);
    LocalTime now;
    now.year = 2024;
    now.month = 3;
    now.day = 7;
    now.hour = 14;
    now.minute = 5;
    now.second = 9;
    now.milliseconds = 4;
    f.runtime.SetNow(now);
    w.Click(ids::kSaveLogButton);
    EXPECT_EQ(f.LastMessage(), L"保存 20240307-140509-4.csv 成功");

    const std::string failure = EncodeAnsiText(f.runtime, f.Cell(2, 2)).value;
    const std::string expected =
        "Line, Direct, Data(HEX), Data(String), Device, XU guid, \r\n"
        "1, SET CS=1, 41 42, AB, Bench Cam, {11111111-2222-3333-4455-66778899AABB}, \r\n"
        "2, GET CS=1, 41 42, AB, Bench Cam, {11111111-2222-3333-4455-66778899AABB}, \r\n"
        "3, SET CS=3, " +
        failure + ", ABCD, Bench Cam, {11111111-2222-3333-4455-66778899AABB}, \r\n";
    EXPECT_EQ(f.runtime.FileContents(L"20240307-140509-4.csv"), expected);
    EXPECT_EQ(failure.rfind("SET\xca\xfd\xbe\xdd\xca\xa7\xb0\xdc \xb4\xed\xce\xf3\xc2\xeb"
                            "0x8007001f: ",
                            0),
              0u);

    w.Click(ids::kClearLogButton);
    EXPECT_EQ(f.Log().rows.size(), 2u);
    w.Click(ids::kGetButton);
    EXPECT_EQ(f.Cell(0, 0), L"1");
    EXPECT_EQ(f.Log().rows.size(), 3u);
}

TEST(TransferLog, SaveFailuresAreReportedAndLeaveNoFile)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    w.Click(ids::kGetButton);

    f.runtime.SetFailCreateOutputFile(true);
    w.Click(ids::kSaveLogButton);
    EXPECT_EQ(f.LastMessage().rfind(L"创建文件", 0), 0u);
    EXPECT_EQ(f.LastMessage().substr(f.LastMessage().size() - 2), L"失败");
    f.runtime.SetFailCreateOutputFile(false);

    f.runtime.SetFailWrites(true);
    w.Click(ids::kSaveLogButton);
    EXPECT_EQ(f.LastMessage().rfind(L"保存 ", 0), 0u);
    EXPECT_EQ(f.LastMessage().substr(f.LastMessage().size() - 3), L" 失败");
    EXPECT_FALSE(f.runtime.HasFile(CsvFileName(f.runtime.Now())));
    f.runtime.SetFailWrites(false);
    EXPECT_EQ(f.Log().rows.size(), 3u);  // the log is untouched

    w.Control(ids::kLogList).hasHeader = false;
    w.Click(ids::kSaveLogButton);
    EXPECT_EQ(f.LastMessage(), L"获取列表表头失败");
}

}  // namespace
TEST(TransferLog, ARefusedConversionShowsTheSystemTextAndLeavesNoTrace)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    f.runtime.SetErrorTextLanguage(ErrorTextLanguage::SimplifiedChinese);
    MemoryDialog& w = f.Start();
    w.Click(ids::kGetButton);
    f.runtime.SetRefuseConversions(true);
    const std::wstring expected(
        TrimTrailingWhiteSpace(std::wstring(*SystemErrorMessage(87u, ErrorTextLanguage::SimplifiedChinese))));
    ASSERT_FALSE(expected.empty());

    for (int button : {ids::kSetButton, ids::kGetButton, ids::kSaveLogButton}) {
        const std::size_t shown = w.MessageBoxes().size();
        w.Click(button);
        ASSERT_EQ(w.MessageBoxes().size(), shown + 1) << button;
        EXPECT_EQ(w.MessageBoxes().back().caption, L"norvik") << button;
        EXPECT_EQ(w.MessageBoxes().back().text, expected) << button;
        EXPECT_EQ(f.Log().redrawSuspended, 0) << button;
    }
    EXPECT_FALSE(f.runtime.HasFile(CsvFileName(f.runtime.Now())));
}

}  // namespace norvik::testing

namespace norvik::testing {
namespace {

TEST(Commands, ARefusedConversionWhileOpeningEndsTheCommandWithOneMessage)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    f.runtime.SetRefuseConversions(true);  // the display name cannot be encoded
    const std::size_t shown = w.MessageBoxes().size();
    w.Click(ids::kGetButton);
    ASSERT_EQ(w.MessageBoxes().size(), shown + 1);
    EXPECT_EQ(f.LastMessage(),
              TrimTrailingWhiteSpace(std::wstring(*SystemErrorMessage(87u, ErrorTextLanguage::English))));
    EXPECT_EQ(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.Log().rows.size(), 2u);
}

TEST(Commands, ARefusedConversionOfTheFailureTextEndsTheCommandWithOneMessage)
{
    DialogFixture f(ScenarioFromText(kBenchScenario));
    MemoryDialog& w = f.Start();
    w.Click(ids::kHexSendCheck);  // hex data needs no conversion before the request
    w.TypeText(ids::kCsEdit, L"3");
    w.TypeText(ids::kDataEdit, L"01");
    w.Click(ids::kOpenButton);
    f.runtime.SetRefuseConversions(true);
    const std::size_t shown = w.MessageBoxes().size();
    w.Click(ids::kSetButton);  // refused by the device; its error text cannot be converted
    EXPECT_EQ(w.MessageBoxes().size(), shown + 1);
    EXPECT_EQ(f.Cell(0, 2), L"");
    EXPECT_EQ(f.Log().scrollsToBottom, 0);
    EXPECT_EQ(f.Log().redrawSuspended, 0);
}

}  // namespace
}  // namespace norvik::testing
