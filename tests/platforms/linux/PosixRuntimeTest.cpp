#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platforms/linux/IconvCodePage.h"
#include "platforms/linux/PosixRuntime.h"
#include "runtime/Diagnostics.h"
#include "runtime/Utf8.h"

namespace norvik::test {
namespace {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = ::testing::TempDir() + "norvik-posix-XXXXXX";
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir()
    {
        if (!path_.empty())
            std::system(("rm -rf '" + path_ + "'").c_str());
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::wstring WideFile(const std::string& name) const { return Utf8ToWide(File(name)); }
    bool ok() const { return !path_.empty(); }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string StreamContents(std::FILE* stream)
{
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    char buffer[256];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        text.append(buffer, n);
    return text;
}

TEST(PosixRuntimeDiagnostics, DiscardedUntilTheConsoleOpens)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    PosixRuntime::Options options;
    options.diagnostics = stream;
    PosixRuntime runtime(options);
    DiagPrint(runtime, "hidden %d\n", 1);
    DiagPrintWide(runtime, L"hidden too\n");
    EXPECT_TRUE(runtime.OpenConsole());
    DiagPrint(runtime, "Find %d video device.\n\n", 2);
    DiagPrintWide(runtime, L"%ls\r\n", L"\x8BBE\x5907");
    EXPECT_EQ(StreamContents(stream), "Find 2 video device.\n\n\xE8\xAE\xBE\xE5\xA4\x87\r\n");
    std::fclose(stream);
}

TEST(PosixRuntimeDiagnostics, ASinkTakesTheLinesInPlaceOfTheStream)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    std::string sunk;
    PosixRuntime::Options options;
    options.diagnostics = stream;
    options.diagnosticSink = [&](std::string_view bytes) { sunk.append(bytes); };
    PosixRuntime runtime(options);
    DiagPrint(runtime, "hidden\n");
    runtime.OpenConsole();
    DiagPrint(runtime, "node = %d\n", 3);
    DiagPrintWide(runtime, L"%ls\n", L"\x8BBE");
    EXPECT_EQ(sunk, "node = 3\n\xE8\xAE\xBE\n");
    EXPECT_EQ(StreamContents(stream), "");
    std::fclose(stream);
}

TEST(PosixRuntimeClock, TickCountFollowsSleep)
{
    PosixRuntime runtime;
    const std::uint32_t before = runtime.TickCount();
    runtime.Sleep(20);
    const std::uint32_t elapsed = runtime.TickCount() - before;  // wrap-safe
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 2000u);

    const LocalTime now = runtime.Now();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_LE(now.dayOfWeek, 6);
    EXPECT_LE(now.milliseconds, 999);
}

TEST(PosixRuntimeClock, WaitForValueEndsOnAChangeOrAtItsLimit)
{
    PosixRuntime runtime;
    std::atomic<std::uint32_t> word{7};
    EXPECT_TRUE(runtime.WaitForValue(word, 6, 60000));  // already changed: no wait
    EXPECT_FALSE(runtime.WaitForValue(word, 7, 1));
    EXPECT_FALSE(runtime.WaitForValue(word, 7, 0));

    // A change made and woken by another thread ends the wait; a wake with
    // no change (the first) does not.
    std::thread changer([&] {
        runtime.WakeValue(word);
        word.store(8);
        runtime.WakeValue(word);
    });
    EXPECT_TRUE(runtime.WaitForValue(word, 7, 60000));
    EXPECT_EQ(word.load(), 8u);
    changer.join();
}

TEST(PosixRuntimeProfile, RoundTripKeepsTheRestOfTheFile)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    PosixRuntime runtime;
    const std::wstring path = dir.WideFile("NorvikCfg.ini");

    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"Debug", 0, path), 0);  // no file yet
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"1", path));
    EXPECT_EQ(ReadFile(dir.File("NorvikCfg.ini")), "[Config]\r\nInuptMode=1\r\n");

    {
        std::ofstream edit(dir.File("NorvikCfg.ini"), std::ios::binary);
        edit << "; by hand\n[Config]\nDebug=1\nInuptMode=1\n[Mine]\nKeep=me\n";
    }
    ::chmod(dir.File("NorvikCfg.ini").c_str(), 0600);
    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"Debug", 0, path), 1);
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"InputGuid", std::wstring(70, L'g'), path));
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"0", path));
    EXPECT_EQ(ReadFile(dir.File("NorvikCfg.ini")), "; by hand\n[Config]\nDebug=1\nInuptMode=0\n" +
                                                       std::string("InputGuid=") + std::string(70, 'g') +
                                                       "\n[Mine]\nKeep=me\n");
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InputGuid", L"", 60, path), std::wstring(59, L'g'));

    struct stat info {};
    ASSERT_EQ(::stat(dir.File("NorvikCfg.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // the rewrite keeps the permissions

    // A directory that does not exist: the write fails and leaves nothing.
    EXPECT_FALSE(runtime.WriteProfileString(L"Config", L"K", L"v", dir.WideFile("no/such.ini")));
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(PosixRuntimeProfile, AWriteKeepsEveryOtherByteOfCodePageAndUtf16Files)
{
    if (!IconvCodePage::Open())
        GTEST_SKIP() << "no code page 936 converter";
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    PosixRuntime runtime;
    const std::string file = dir.File("NorvikCfg.ini");
    const std::wstring path = dir.WideFile("NorvikCfg.ini");

    // As the Windows build writes it: code page 936, with a UTF-8 line from
    // an older Linux build and a stray byte that is neither.
    const std::string gbk =
        "; \xD6\xD0\xCE\xC4\r\n[Config]\r\nInputGuid=\xB2\xE2\r\n"
        "Name=\xE4\xB8\xAD\r\nOdd=\xFF\x81\r\nInuptMode=1\r\n";
    WriteBytes(file, gbk);
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InputGuid", L"", 60, path), L"\x6D4B");
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"Name", L"", 60, path), L"\x4E2D");
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"0", path));
    std::string expected = gbk;
    expected.replace(expected.find("InuptMode=1"), 11, "InuptMode=0");
    EXPECT_EQ(ReadFile(file), expected);
    // A new value with Chinese text goes in the code page, as on Windows.
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"New", L"\x4E2D", path));
    EXPECT_EQ(ReadFile(file), expected + "New=\xD6\xD0\r\n");

    // UTF-16LE with its byte order mark: read, and written back as UTF-16LE.
    auto utf16 = [](const std::string& ascii) {
        std::string out;
        for (char c : ascii)
            out += std::string{c, '\0'};
        return out;
    };
    const std::string head = "\xFF\xFE" + utf16("[Config]\r\nDebug=1\r\nC=") + std::string("\x2D\x4E", 2);
    WriteBytes(file, head + utf16("\r\nInuptMode=1\r\n"));
    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"Debug", 0, path), 1);
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"C", L"", 60, path), L"\x4E2D");
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"0", path));
    EXPECT_EQ(ReadFile(file), head + utf16("\r\nInuptMode=0\r\n"));
}

TEST(PosixRuntimeProfile, AReadOnlyFileIsLeftAloneAndALinkIsWrittenThrough)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    PosixRuntime runtime;
    const std::string file = dir.File("NorvikCfg.ini");
    WriteBytes(file, "[Config]\nInuptMode=1\n");
    ::chmod(file.c_str(), 0444);
    EXPECT_FALSE(runtime.WriteProfileString(L"Config", L"InuptMode", L"0", dir.WideFile("NorvikCfg.ini")));
    EXPECT_EQ(ReadFile(file), "[Config]\nInuptMode=1\n");

    ::chmod(file.c_str(), 0644);
    ASSERT_EQ(::symlink(file.c_str(), dir.File("link.ini").c_str()), 0);
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"0", dir.WideFile("link.ini")));
    struct stat info {};
    ASSERT_EQ(::lstat(dir.File("link.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFile(file), "[Config]\nInuptMode=0\n");
}

TEST(PosixRuntimeFiles, OutputFileWritesBytesAndRemoveDeletesIt)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    PosixRuntime runtime;
    const std::wstring name = dir.WideFile("20240101-000000-0.csv");
    auto file = runtime.CreateOutputFile(name);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->Write("a,b\r\n", 5));
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(ReadFile(dir.File("20240101-000000-0.csv")), "a,b\r\n");
    EXPECT_TRUE(runtime.RemoveFile(name));
    EXPECT_FALSE(runtime.RemoveFile(name));
    EXPECT_EQ(runtime.CreateOutputFile(dir.WideFile("missing/x.csv")), nullptr);
}

TEST(PosixRuntimeProcess, ModulePathIsTheRunningExecutable)
{
    PosixRuntime runtime;
    const std::wstring path = runtime.ModulePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), L'/');
    EXPECT_EQ(::access(WideToUtf8(path).c_str(), X_OK), 0) << "not an executable file";
    EXPECT_EQ(runtime.PathSeparator(), L'/');
}

TEST(PosixRuntimeShell, MapsTheOpenersOutcome)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    auto withOpener = [](const std::string& opener) {
        PosixRuntime::Options options;
        options.opener = opener;
        return options;
    };
    auto script = [&dir](const std::string& name, int status) {
        const std::string path = dir.File(name);
        std::ofstream(path) << "#!/bin/sh\nexit " << status << "\n";
        ::chmod(path.c_str(), 0755);
        return path;
    };
    EXPECT_EQ(PosixRuntime(withOpener(script("ok", 0))).ShellOpen(L"https://example.org/a b"), 42);
    EXPECT_EQ(PosixRuntime(withOpener(script("nofile", 2))).ShellOpen(L"x"), 2);
    EXPECT_EQ(PosixRuntime(withOpener(script("fails", 4))).ShellOpen(L"x"), 31);
    EXPECT_EQ(PosixRuntime(withOpener(dir.File("no-such-opener"))).ShellOpen(L"x"), 2);

    // The target reaches the opener as one argument, untouched by any shell.
    const std::string echo = dir.File("echo");
    const std::string out = dir.File("argument");
    std::ofstream(echo) << "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" << out << "'\n";
    ::chmod(echo.c_str(), 0755);
    EXPECT_EQ(PosixRuntime(withOpener(echo)).ShellOpen(L"a b;$(x)'\""), 42);
    EXPECT_EQ(ReadFile(out), "1|a b;$(x)'\"");
}

TEST(PosixRuntimeText, SystemErrorTextsFollowTheLocaleInCodePage936)
{
    const char* saved = std::getenv("LC_ALL");
    const std::string savedValue = saved ? saved : "";
    ::setenv("LC_ALL", "zh_CN.UTF-8", 1);
    PosixRuntime chinese;
    ::setenv("LC_ALL", "C", 1);
    PosixRuntime english;
    if (saved)
        ::setenv("LC_ALL", savedValue.c_str(), 1);
    else
        ::unsetenv("LC_ALL");

    EXPECT_EQ(chinese.SystemErrorText(0x80070002u),
              "\xCF\xB5\xCD\xB3\xD5\xD2\xB2\xBB\xB5\xBD\xD6\xB8\xB6\xA8\xB5\xC4\xCE\xC4\xBC\xFE"
              "\xA1\xA3\r\n");  // 系统找不到指定的文件。
    EXPECT_EQ(english.SystemErrorText(0x80070002u), "The system cannot find the file specified.\r\n");
    EXPECT_FALSE(english.SystemErrorText(0xDEADBEEFu));
}

TEST(IconvCodePage936, RoundTripsAndReplacesLikeWindows)
{
    auto codePage = IconvCodePage::Open();
    ASSERT_TRUE(codePage);
    // A Chinese character is two bytes; ASCII stays; 0x80 is the euro sign.
    EXPECT_EQ(codePage->WideToAnsi(L"A\x4E2D\x20AC"), "A\xD6\xD0\x80");
    EXPECT_EQ(codePage->AnsiToWide("A\xD6\xD0\x80"), L"A\x4E2D\x20AC");
    // Characters code page 936 lacks become '?'.
    EXPECT_EQ(codePage->WideToAnsi(L"x\x0100\x1F600y"), "x??y");
    // The single byte 0xFF and the user-defined areas map both ways.
    EXPECT_EQ(codePage->AnsiToWide("\xFF\xAA\xA1\xF8\xA1\xA1\x40\xA7\xA0"),
              L"\xF8F5\xE000\xE234\xE4C6\xE765");
    EXPECT_EQ(codePage->WideToAnsi(L"\xF8F5\xE000\xE234\xE4C6\xE765"),
              "\xFF\xAA\xA1\xF8\xA1\xA1\x40\xA7\xA0");
    EXPECT_EQ(codePage->WideToAnsi(L""), "");
    EXPECT_EQ(codePage->AnsiToWide(""), L"");
}

TEST(IconvCodePage936, InvalidBytesBecomeTheDefaultUnicodeCharacter)
{
    auto codePage = IconvCodePage::Open();
    ASSERT_TRUE(codePage);
    // A lead byte before a byte that cannot trail: the lead alone is replaced.
    EXPECT_EQ(codePage->AnsiToWide("\x81 x"), L"\x30FB x");
    // A lead byte at the end, or before the terminating zero.
    EXPECT_EQ(codePage->AnsiToWide("ab\x81"), L"ab\x30FB");
    EXPECT_EQ(codePage->AnsiToWide(std::string("\x81\0z", 3)), std::wstring(L"\x30FB\0z", 3));
    // 0x7F can never trail: the lead byte is replaced and DEL read on its own.
    EXPECT_EQ(codePage->AnsiToWide("\x81\x7F"), L"\x30FB\x7F");
    // A2A0 looks like a gap but lies in a user-defined area.
    EXPECT_EQ(codePage->AnsiToWide("\xA2\xA0!"), L"\xE585!");
}

}  // namespace
}  // namespace norvik::test
