#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "runtime/Diagnostics.h"
#include "tests/support/TestRuntime.h"

namespace norvik::test {
namespace {

TEST(FakeRuntimeClock, SleepAdvancesTheTickCountAndIsRecorded)
{
    FakeRuntime runtime;
    runtime.SetTickCount(0xFFFFFF00u);
    runtime.Sleep(200);
    runtime.AdvanceClock(50);
    runtime.Sleep(200);
    EXPECT_EQ(runtime.TickCount(), 0xFFFFFF00u + 450u);  // wrapped past 2^32
    EXPECT_EQ(runtime.SleepCalls(), (std::vector<std::uint32_t>{200, 200}));
    EXPECT_EQ(runtime.TotalSlept(), 400u);
}

TEST(FakeRuntimeClock, NowStepsAndCarries)
{
    FakeRuntime runtime;
    LocalTime start;
    start.year = 2024;
    start.hour = 23;
    start.minute = 59;
    start.second = 59;
    start.milliseconds = 900;
    runtime.SetNow(start);
    EXPECT_EQ(runtime.Now().milliseconds, 900);
    EXPECT_EQ(runtime.Now().milliseconds, 900);  // no step set: time stands still
    runtime.SetNowStep(250);
    runtime.Now();
    const LocalTime next = runtime.Now();
    EXPECT_EQ(next.milliseconds, 150);
    EXPECT_EQ(next.second, 0);
    EXPECT_EQ(next.minute, 0);
    EXPECT_EQ(next.hour, 0);
    EXPECT_EQ(next.year, 2024);
}

TEST(FakeRuntimeClock, TimedWaitsAreRecordedAndEndAsTheTestSays)
{
    FakeRuntime runtime;
    std::atomic<std::uint32_t> word{0};
    // Real time, on the port's own parking: a change woken from another
    // thread ends it.
    std::thread changer([&] {
        word.store(1);
        runtime.WakeValue(word);
    });
    EXPECT_TRUE(runtime.WaitForValue(word, 0, 60000));
    changer.join();

    // A planned time-out runs its scene first and ends in time when the
    // scene made the change; otherwise it moves the clock on by its limit.
    runtime.SetRealTimeWaits(false);
    runtime.TimeOutNextWait([&] { word.store(2); });
    EXPECT_TRUE(runtime.WaitForValue(word, 1, 500));
    EXPECT_EQ(runtime.TickCount(), 0u);
    runtime.TimeOutNextWait();
    EXPECT_FALSE(runtime.WaitForValue(word, 2, 500));
    EXPECT_EQ(runtime.TickCount(), 500u);
    EXPECT_EQ(runtime.WaitCalls(), (std::vector<std::uint32_t>{60000, 500, 500}));
}

TEST(FakeRuntimeDiagnostics, TranscriptHoldsOnlyWhatFollowsTheConsole)
{
    FakeRuntime runtime;
    DiagPrint(runtime, "before %d\n", 1);
    EXPECT_FALSE(runtime.ConsoleOpened());
    ASSERT_TRUE(runtime.OpenConsole());
    DiagPrintWide(runtime, L"%ls %d\n", L"\x4E2D\x6587", 2);
    EXPECT_EQ(runtime.Transcript(), "\xE4\xB8\xAD\xE6\x96\x87 2\n");
    EXPECT_EQ(runtime.AllDiagnostics(), "before 1\n\xE4\xB8\xAD\xE6\x96\x87 2\n");

    FakeRuntime refused;
    refused.SetOpenConsoleResult(false);
    EXPECT_FALSE(refused.OpenConsole());
    DiagPrint(refused, "x");
    EXPECT_EQ(refused.Transcript(), "");
    EXPECT_EQ(refused.AllDiagnostics(), "x");
}

TEST(FakeRuntimeDiagnostics, WorkerThreadsCanWriteConcurrently)
{
    FakeRuntime runtime;
    runtime.OpenConsole();
    auto write = [&runtime] {
        for (int i = 0; i < 500; ++i)
            runtime.WriteDiagnostic("ab");
    };
    std::thread a(write), b(write);
    a.join();
    b.join();
    // Each write lands whole: 1,000 "ab" pairs, none split by the other thread.
    const std::string transcript = runtime.Transcript();
    ASSERT_EQ(transcript.size(), 2000u);
    for (std::size_t i = 0; i < transcript.size(); i += 2)
        ASSERT_EQ(transcript.compare(i, 2, "ab"), 0) << "at " << i;
}

TEST(FakeRuntimeFiles, OutputFilesAndTheirFailureSwitches)
{
    FakeRuntime runtime;
    runtime.SetFile(L"log.csv", "old");
    auto file = runtime.CreateOutputFile(L"log.csv");
    ASSERT_TRUE(file);
    EXPECT_EQ(runtime.FileContents(L"log.csv"), "");  // truncated on creation
    EXPECT_TRUE(file->Write("a,b\r\n", 5));
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(runtime.FileContents(L"log.csv"), "a,b\r\n");
    EXPECT_TRUE(runtime.RemoveFile(L"log.csv"));
    EXPECT_FALSE(runtime.HasFile(L"log.csv"));
    EXPECT_FALSE(runtime.RemoveFile(L"log.csv"));

    runtime.SetFailWrites(true);
    runtime.SetFailClose(true);
    auto failing = runtime.CreateOutputFile(L"x.csv");
    ASSERT_TRUE(failing);
    EXPECT_FALSE(failing->Write("data", 4));
    EXPECT_FALSE(failing->Close());
    EXPECT_EQ(runtime.FileContents(L"x.csv"), "");

    runtime.SetFailCreateOutputFile(true);
    EXPECT_EQ(runtime.CreateOutputFile(L"y.csv"), nullptr);
    EXPECT_FALSE(runtime.HasFile(L"y.csv"));
}

TEST(FakeRuntimeFiles, ProfileFunctionsWorkOnTheInMemoryFiles)
{
    FakeRuntime runtime;
    const std::wstring path = L"/opt/norvik/NorvikCfg.ini";
    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"Debug", 0, path), 0);
    EXPECT_FALSE(runtime.HasFile(path));
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"1", path));
    EXPECT_EQ(runtime.FileContents(path), "[Config]\r\nInuptMode=1\r\n");
    EXPECT_EQ(runtime.ReadProfileInt(L"config", L"inuptmode", 0, path), 1);

    runtime.SetFailProfileWrites(true);
    EXPECT_FALSE(runtime.WriteProfileString(L"Config", L"InuptMode", L"0", path));
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InuptMode", L"", 60, path), L"1");
}

TEST(FakeRuntimeText, ErrorTextsAreCodePageBytesInTheChosenLanguage)
{
    FakeRuntime runtime;
    EXPECT_EQ(runtime.SystemErrorText(0x102), "The wait operation timed out.\r\n");
    runtime.SetErrorTextLanguage(ErrorTextLanguage::SimplifiedChinese);
    // 拒绝访问。 in code page 936.
    EXPECT_EQ(runtime.SystemErrorText(0x80070005u), "\xBE\xDC\xBE\xF8\xB7\xC3\xCE\xCA\xA1\xA3\r\n");
    EXPECT_FALSE(runtime.SystemErrorText(0x12345678u));
    runtime.SetRefuseConversions(true);
    EXPECT_FALSE(runtime.WideToAnsi(L"a"));
    EXPECT_FALSE(runtime.AnsiToWide("a"));
}

}  // namespace
}  // namespace norvik::test
