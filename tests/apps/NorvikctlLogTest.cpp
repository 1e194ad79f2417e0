// The --log file against the CSV file the dialog saves after the same
// transfers, byte for byte.
#include <gtest/gtest.h>

#include "CtlRunner.h"
#include "DialogSession.h"

namespace norvik::testing {
namespace {

TEST_F(CtlTest, LogRowsAcrossRunsMatchTheDialogsSavedFile)
{
    if (!SystemTextsAreTheBuiltInOnes({0x8007001fu}))
        GTEST_SKIP() << "the dialog here gets the built-in English system texts; this system's differ "
                        "(Wine's message table is not Windows')";
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    const std::wstring typedGuid = L"  {aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee} typed";

    DialogSession dialog(kBenchScenario);
    MemoryDialog& w = dialog.Window();
    w.ChooseItem(ids::kPicker, 0);
    dialog.Transfer(ids::kGetButton, L"1");
    dialog.Transfer(ids::kSetButton, L"1", false, L"ABCD");
    dialog.Transfer(ids::kSetButton, L"2", true, L"01 02");  // refused by the device
    w.TypeText(ids::kPicker, typedGuid);
    w.Click(ids::kOpenButton);
    dialog.Transfer(ids::kGetButton, L"2");  // its text holds a CR LF
    dialog.Transfer(ids::kGetButton, L"1");
    const std::string saved = dialog.SavedLog();
    ASSERT_FALSE(saved.empty());

    const std::string typed = "  {aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee} typed";
    const std::vector<std::vector<std::string>> runs = {
        {"get", "--device", "0", "--unit", "0", "--cs", "1"},
        {"set", "--device", "0", "--unit", "0", "--cs", "1", "--text", "ABCD"},
        {"set", "--device", "0", "--unit", "0", "--cs", "2", "--hex", "01 02"},
        {"get", "--guid", typed, "--cs", "2"},
        {"get", "--guid", typed, "--cs", "1"},
    };
    for (std::vector<std::string> args : runs) {
        args.insert(args.end(), {"--log", "transfers.csv"});
        Run(args, bench);
    }
    EXPECT_EQ(ReadFileBytes(Path("transfers.csv")), saved);
}

TEST_F(CtlTest, LogContinuesTheNumberingOfAFileAndAddsNoSecondHeader)
{
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    const std::string header = "Line, Direct, Data(HEX), Data(String), Device, XU guid, \r\n";
    const std::string earlier = header + "1, GET CS=1, 78 79 7A, xyz, Bench Camera, {x}, \r\n" +
                                "2, GET CS=2, 41 0D 0A 42, A\r\n2, B, Bench Camera, {x}, \r\n";
    WriteFile("old.csv", earlier);
    const CtlResult result =
        Run({"get", "--device", "0", "--unit", "1", "--cs", "1", "--repeat", "2", "--log", "old.csv"}, bench);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string row =
        ", GET CS=1, 78 79 7A, xyz, Bench Camera, {AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}, \r\n";
    EXPECT_EQ(ReadFileBytes(Path("old.csv")), earlier + "3" + row + "4" + row);

    // A log that cannot be opened stops the command before any transfer.
    const CtlResult unwritable =
        Run({"get", "--device", "0", "--unit", "1", "--cs", "1", "--log", "no/such/dir.csv"}, bench);
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.out, "");
    EXPECT_NE(unwritable.err.find("no/such/dir.csv"), std::string::npos);
}

}  // namespace
}  // namespace norvik::testing
