// The dialog and norvikctl do the same operations through the same session:
// the same refusals, the same failure texts, the same cells and the same CSV
// bytes, a failed length probe and a failed GET among them.
#include <algorithm>

#include <gtest/gtest.h>

#include "CtlRunner.h"
#include "DialogSession.h"
#include "runtime/Utf8.h"

namespace norvik::testing {
namespace {

const std::wstring kTypedGuid = L" {aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee} left";

// What norvikctl writes for a text it gives up with: the text, then a line
// end unless the text ends its own line.
std::string AsLine(const std::wstring& text)
{
    std::string line = WideToUtf8(text);
    if (line.empty() || line.back() != '\n')
        line += '\n';
    return line;
}

class FrontEndParity : public CtlTest {
protected:
    void SetUp() override
    {
        CtlTest::SetUp();
        bench_ = WriteFile("bench.json", kBenchScenario);
        if (!SystemTextsAreTheBuiltInOnes({0x80070490u, 0x8007001fu}))
            GTEST_SKIP() << "the dialog here gets the built-in English system texts; this system's differ "
                            "(Wine's message table is not Windows')";
    }

    // One norvikctl run on the bench scenario, logging to the shared file.
    CtlResult Ctl(std::vector<std::string> args, bool log = true)
    {
        if (log)
            args.insert(args.end(), {"--log", "transfers.csv"});
        return Run(args, bench_);
    }

    std::string bench_;
};

TEST_F(FrontEndParity, RefusalsFailuresCellsAndCsvAreTheSame)
{
    DialogSession dialog(kBenchScenario);
    MemoryDialog& w = dialog.Window();
    const std::vector<std::string> listed = {"--device", "0", "--unit", "0"};
    auto with = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };

    // A GET of the listed unit's 6-byte text control.
    w.ChooseItem(ids::kPicker, 0);
    dialog.Transfer(ids::kGetButton, L"1");
    CtlResult ctl = Ctl(with({"get", "--cs", "1", "--text"}, listed));
    ASSERT_EQ(ctl.status, 0) << ctl.err;
    EXPECT_EQ(ctl.out,
              AsLine(w.ListItemText(ids::kLogList, 0, 2)) + AsLine(w.ListItemText(ids::kLogList, 0, 3)));

    // A selector the unit lacks: the failed length probe's message, byte for
    // byte, and no row on either side.
    dialog.Transfer(ids::kGetButton, L"9");
    const std::wstring probeMessage = dialog.LastMessage();
    EXPECT_EQ(probeMessage.rfind(L"获取CS长度失败，错误码 0x80070490: ", 0), 0u) << WideToUtf8(probeMessage);
    ctl = Ctl(with({"get", "--cs", "9"}, listed));
    EXPECT_EQ(ctl.status, 1);
    EXPECT_EQ(ctl.err, AsLine(probeMessage));

    // A GET the device refuses: the row's failure text.
    dialog.Transfer(ids::kGetButton, L"3");
    const std::wstring getFailure = w.ListItemText(ids::kLogList, 1, 2);
    EXPECT_EQ(getFailure.rfind(L"GET数据失败 错误码0x8007001f: ", 0), 0u) << WideToUtf8(getFailure);
    ctl = Ctl(with({"get", "--cs", "3"}, listed));
    EXPECT_EQ(ctl.status, 1);
    EXPECT_EQ(ctl.err, AsLine(getFailure));
    EXPECT_EQ(ctl.out, "");

    // A SET in text mode, cut to the control's length, and a refused SET.
    dialog.Transfer(ids::kSetButton, L"1", false, L"ABCDEFGH");
    ctl = Ctl(with({"set", "--cs", "1", "--text", "ABCDEFGH"}, listed));
    EXPECT_EQ(ctl.out, AsLine(w.ListItemText(ids::kLogList, 2, 2)));
    dialog.Transfer(ids::kSetButton, L"2", true, L"01 02");
    ctl = Ctl(with({"set", "--cs", "2", "--hex", "01 02"}, listed));
    EXPECT_EQ(ctl.status, 1);
    EXPECT_EQ(ctl.err, AsLine(w.ListItemText(ids::kLogList, 3, 2)));

    // Refused input: a selector of 0, an empty one, empty data, a text that
    // is no braced GUID. None adds a row.
    struct Refusal {
        int button;  // the dialog's button; the picker gets the typed text for Open
        std::wstring cs;
        std::vector<std::string> args;
    };
    const std::string shortGuid = "{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeee}";
    const Refusal refusals[] = {
        {ids::kGetButton, L"0", with({"get", "--cs", "0"}, listed)},
        {ids::kGetButton, L"", with({"get", "--cs", ""}, listed)},
        {ids::kSetButton, L"1", with({"set", "--cs", "1", "--text", ""}, listed)},
        {ids::kOpenButton, L"1", {"get", "--guid", shortGuid, "--cs", "1"}},
    };
    for (const Refusal& r : refusals) {
        const std::size_t rows = w.Control(ids::kLogList).rows.size();
        if (r.button == ids::kOpenButton) {
            w.TypeText(ids::kPicker, Utf8ToWide(shortGuid));
            w.Click(ids::kOpenButton);
        } else {
            dialog.Transfer(r.button, r.cs);  // with an empty data entry
        }
        EXPECT_EQ(w.Control(ids::kLogList).rows.size(), rows);
        ctl = Ctl(r.args, false);
        EXPECT_EQ(ctl.status, 2) << r.args[0] << " " << WideToUtf8(r.cs);
        EXPECT_EQ(ctl.err, AsLine(dialog.LastMessage())) << r.args[0] << " " << WideToUtf8(r.cs);
    }

    // A typed GUID: its rows name the device the channel found and the text
    // as typed; this control's text holds a CR LF.
    w.TypeText(ids::kPicker, kTypedGuid);
    w.Click(ids::kOpenButton);
    dialog.Transfer(ids::kGetButton, L"2");
    ctl = Ctl({"get", "--guid", WideToUtf8(kTypedGuid), "--cs", "2", "--text"});
    ASSERT_EQ(ctl.status, 0) << ctl.err;
    EXPECT_EQ(ctl.out,
              AsLine(w.ListItemText(ids::kLogList, 4, 2)) + AsLine(w.ListItemText(ids::kLogList, 4, 3)));

    // The dialog's saved log and norvikctl's --log file hold the same bytes.
    const std::string saved = dialog.SavedLog();
    EXPECT_EQ(dialog.LastMessage(), L"保存 20240307-140509-4.csv 成功");
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(ReadFileBytes(Path("transfers.csv")), saved);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'),
              1 + 5 + 1);  // header, five rows, one CR LF in a cell
}

}  // namespace
}  // namespace norvik::testing
