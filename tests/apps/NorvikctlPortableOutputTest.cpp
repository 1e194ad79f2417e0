// What norvikctl prints is the same bytes on every system it is built for,
// and Chinese text on the command line and in file names reaches it
// unchanged: on Windows the words are read as UTF-16, not through the ANSI
// code page, and the files are opened by their wide names.
#include <gtest/gtest.h>

#include "CtlRunner.h"

namespace norvik::testing {
namespace {

const std::string kBenchUnit = "{11111111-2222-3333-4444-555555555555}";

TEST_F(CtlTest, TheDemoListIsTheStoredText)
{
    // The text the check of the Windows zip compares with too.
    const std::string expected = ReadFileBytes(NORVIK_SOURCE_DIR "/tests/data/norvikctl-demo-list.txt");
    ASSERT_FALSE(expected.empty());
    const CtlResult listed = Run({"--sim", "demo", "list"}, "");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, expected);
    EXPECT_EQ(listed.announcement + listed.err, kSimAnnouncement + "demo\n");
}

TEST_F(CtlTest, ChineseFileNamesAndTextArriveAsWritten)
{
    // "测试台" ("test bench"), "日志" ("log"), "值" ("value"), "标定" ("calibration").
    std::filesystem::create_directory(ScratchPath("\xE6\xB5\x8B\xE8\xAF\x95\xE5\x8F\xB0"));
    const std::string bench = WriteFile("\xE6\xB5\x8B\xE8\xAF\x95\xE5\x8F\xB0/bench.json", kBenchScenario);
    const std::string log = "\xE6\x97\xA5\xE5\xBF\x97.csv";
    const std::string value = "\xE5\x80\xBC.bin";
    const std::string data = WriteFile("\xE6\xA0\x87\xE5\xAE\x9A.bin", "\x01\x02");

    const CtlResult set = Run(
        {"--sim", bench, "set", "--guid", kBenchUnit, "--cs", "1", "--data-file", data, "--log", log}, "");
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.announcement, kSimAnnouncement + bench + "\n");
    EXPECT_EQ(set.out, "01 02 00 00 00 00\n");

    // "中文" as the text sent: two characters of code page 936, two bytes each.
    const CtlResult text =
        Run({"set", "--guid", kBenchUnit, "--cs", "1", "--text", "\xE4\xB8\xAD\xE6\x96\x87", "--log", log},
            bench);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "D6 D0 CE C4 00 00\n");

    // Every run starts from the scenario's values.
    const CtlResult get =
        Run({"get", "--guid", kBenchUnit, "--cs", "1", "--out", value, "--log", log}, bench);
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(ReadFileBytes(ScratchPath(value)), std::string("v1.0\0\0", 6));
    // Each run continues the one log file.
    const std::string logged = ReadFileBytes(ScratchPath(log));
    EXPECT_NE(logged.find("\r\n3, GET CS=1, 76 31 2E 30 00 00, v1.0, "), std::string::npos) << logged;

    // A name that names nothing is reported as it was written.
    const CtlResult missing = Run({"list", "--sim", "\xE7\xBC\xBA.json"}, "");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("\xE7\xBC\xBA.json"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace norvik::testing
