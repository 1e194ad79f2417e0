// What --log does with files that are not (or no longer quite) transfer
// logs, and with several runs logging to one file at once. The kinds of
// file only POSIX systems have are tested in NorvikctlPosixTest.cpp.
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "CtlRunner.h"
#include "LogFileTest.h"
#include "apps/norvikctl/CsvLog.h"
#include "apps/norvikctl/CtlError.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik::testing {
namespace {

TEST_F(LogFileTest, ADirectoryIsRefused)
{
    std::filesystem::create_directory(Path("logs"));
    const CtlResult directory = Get(Path("logs").string());
    EXPECT_EQ(directory.status, 1);
    EXPECT_NE(directory.err.find("cannot log to " + Path("logs").string() + ": it is a directory"),
              std::string::npos)
        << directory.err;
}

TEST_F(LogFileTest, AFileThatIsNotATransferLogIsRefusedAndLeftAlone)
{
    for (const std::string& text : {std::string("hello world"), std::string("Line, Direct\r\n"),
                                    kHeader.substr(0, kHeader.size() - 2) + "Comment, \r\n"}) {
        const std::string path = WriteFile("notes.csv", text);
        const CtlResult result = Get(path);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "") << "no transfer is made";
        EXPECT_NE(result.err.find("norvikctl: " + path + " is not a transfer log"), std::string::npos)
            << result.err;
        EXPECT_EQ(ReadFileBytes(path), text);
    }
}

TEST_F(LogFileTest, OnlyWholeRowsAreCountedAndACutRowIsEnded)
{
    // The last row was cut by a failed write: it is ended, not counted.
    const std::string cut = kHeader + "1" + kRowTail + "2, GET CS=1, 78 7";
    const std::string path = WriteFile("cut.csv", cut);
    ASSERT_EQ(Get(path).status, 0);
    ASSERT_EQ(Get(path).status, 0);
    EXPECT_EQ(ReadFileBytes(path), cut + "\r\n" + "2" + kRowTail + "3" + kRowTail);

    // A header ended by a line feed alone, and a file cut between CR and LF.
    const std::string lfHeader = kHeader.substr(0, kHeader.size() - 2) + "\n1" + kRowTail + "2" +
                                 kRowTail.substr(0, kRowTail.size() - 1);
    WriteFile("lf.csv", lfHeader);
    ASSERT_EQ(Get(Path("lf.csv").string()).status, 0);
    EXPECT_EQ(ReadFileBytes(Path("lf.csv")), lfHeader + "\n3" + kRowTail);

    // A value whose text holds CR LF and what follows looks like the start
    // of the next row: the row is still one row.
    std::string scenario = kBenchScenario;
    const std::string control = R"("2": {"length": 4, "value": "41 0D 0A 42"})";
    const std::size_t at = scenario.find(control);
    ASSERT_NE(at, std::string::npos);
    // "A" CR LF "2, GET CS=1, B"
    scenario.insert(
        at + control.size(),
        R"(, "3": {"length": 17, "value": "41 0D 0A 32 2C 20 47 45 54 20 43 53 3D 31 2C 20 42"})");
    const std::string tricky = WriteFile("tricky.json", scenario);
    const std::vector<std::string> getTricky = {"get",  "--device", "0",     "--unit",    "1",
                                                "--cs", "3",        "--log", "tricky.csv"};
    ASSERT_EQ(Run(getTricky, tricky).status, 0);
    ASSERT_EQ(Run(getTricky, tricky).status, 0);
    const std::string log = ReadFileBytes(Path("tricky.csv"));
    EXPECT_NE(log.find("\r\n2, GET CS=3, 41 0D 0A 32"), std::string::npos) << log;
    EXPECT_EQ(log.find("\r\n3, GET CS=3"), std::string::npos) << log;
}

TEST_F(LogFileTest, RunsLoggingToOneFileAtOnceKeepEveryRowWholeAndNumbered)
{
    const std::vector<std::string> get = {"get", "--device", "0",   "--unit", "1",         "--cs",
                                          "1",   "--repeat", "300", "--log",  "shared.csv"};
    std::vector<CtlResult> results(3);
    std::vector<std::thread> runs;
    for (std::size_t i = 0; i < results.size(); ++i)
        runs.emplace_back([&, i] {
            const std::string name = "ctl" + std::to_string(i);
            results[i] = RunInto(get, bench_, {}, name + ".out", name + ".err");
        });
    for (std::thread& run : runs)
        run.join();
    const std::string announced = kSimAnnouncement + bench_ + "\n";
    for (const CtlResult& result : results) {
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.announcement + result.err, announced);  // and nothing else
    }
    const std::string log = ReadFileBytes(Path("shared.csv"));
    ASSERT_EQ(log.compare(0, kHeader.size(), kHeader), 0) << log.substr(0, 200);
    std::string expected = kHeader;
    for (int line = 1; line <= 900; ++line)
        expected += std::to_string(line) + kRowTail;
    EXPECT_TRUE(log == expected)
        << "rows torn or misnumbered; first difference at byte "
        << std::distance(log.begin(),
                         std::mismatch(log.begin(), log.end(), expected.begin(), expected.end()).first);
}

// A row or header the code page refuses stops the run with the reason, as
// a failed step does, and leaves the file as it was.
TEST_F(CsvLogTest, ARefusedConversionStopsTheRunAndWritesNothing)
{
    const std::string path = WriteFile("log.csv", kHeader);
    ctl::CsvLog log(runtime_, path);
    runtime_.SetRefuseConversions(true);
    const std::string refused =
        "norvikctl: a text conversion failed: the text cannot be converted to the ANSI code page";
    try {
        log.Append(row_);
        ADD_FAILURE() << "the row was written";
    } catch (const ctl::CtlError& error) {
        EXPECT_EQ(error.exitCode, ctl::kExitFailed);
        EXPECT_EQ(error.message, refused);
    }
    EXPECT_EQ(ReadFileBytes(path), kHeader);

    const std::string fresh = Path("fresh.csv").string();
    try {
        ctl::CsvLog refusedLog(runtime_, fresh);
        ADD_FAILURE() << "the header was written";
    } catch (const ctl::CtlError& error) {
        EXPECT_EQ(error.message, refused);
    }
    EXPECT_FALSE(std::filesystem::exists(fresh));
}

}  // namespace
}  // namespace norvik::testing
