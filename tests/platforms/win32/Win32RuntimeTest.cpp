// The Windows runtime on the real system calls (run under Wine in CI).

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platforms/win32/Win32CodePage.h"
#include "platforms/win32/Win32Runtime.h"
#include "platforms/win32/WindowsApi.h"

namespace norvik::test {
namespace {

// A fresh, empty directory under the system's temporary folder, removed with
// everything in it at the end of the test.
class TempDirectory {
public:
    TempDirectory()
    {
        wchar_t base[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"norvik-win32-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++);
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempDirectory()
    {
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..")
                    ::DeleteFileW((path_ + L"\\" + name).c_str());
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

std::string ReadWholeFile(const std::wstring& path)
{
    std::string bytes;
    if (std::FILE* file = ::_wfopen(path.c_str(), L"rb")) {
        char buffer[512];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

std::wstring OwnConsoleText()
{
    HANDLE screen = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (screen == INVALID_HANDLE_VALUE)
        return L"";
    std::wstring text;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(screen, &info)) {
        const DWORD cells = DWORD(info.dwSize.X) * DWORD(info.dwCursorPosition.Y + 1);
        std::vector<wchar_t> buffer(cells + 1, L'\0');
        DWORD read = 0;
        ::ReadConsoleOutputCharacterW(screen, buffer.data(), cells, COORD{0, 0}, &read);
        text.assign(buffer.data(), read);
    }
    ::CloseHandle(screen);
    return text;
}

// Opening the console reopens the standard streams of the whole process, so
// the console is opened in a second run of this test program, started
// without a console; it leaves what its console shows in a file.
constexpr wchar_t kConsoleChildVariable[] = L"NORVIK_CONSOLE_TEST_OUTPUT";

TEST(Win32Console, DiagnosticsAppearInTheConsoleOpenedForThem)
{
    if (const wchar_t* output = ::_wgetenv(kConsoleChildVariable); output && *output) {
        Win32Runtime runtime;
        const bool opened = runtime.OpenConsole();
        runtime.WriteDiagnostic("Find 0 video device.\n\n");
        runtime.WriteDiagnosticWide(L"FriendlyName = 相机\n");
        runtime.WriteDiagnostic("pszDriverKey = \xD6\xD0\r\n");
        const std::wstring text = (opened ? L"opened\n" : L"failed\n") + OwnConsoleText();
        HANDLE file = ::CreateFileW(output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(file, text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
        ::CloseHandle(file);
        return;
    }

    TempDirectory dir;
    const std::wstring output = dir.File(L"console.txt");
    ::SetEnvironmentVariableW(kConsoleChildVariable, output.c_str());
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) +
                               L"\" --gtest_filter=Win32Console.DiagnosticsAppearInTheConsoleOpenedForThem";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const BOOL started = ::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                                          nullptr, nullptr, &startup, &child);
    ::SetEnvironmentVariableW(kConsoleChildVariable, nullptr);
    ASSERT_TRUE(started);
    EXPECT_EQ(::WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);

    const std::string bytes = ReadWholeFile(output);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    EXPECT_EQ(text.substr(0, 7), L"opened\n");
    EXPECT_NE(text.find(L"Find 0 video device."), std::wstring::npos);
    EXPECT_NE(text.find(L"FriendlyName = 相机"), std::wstring::npos);
    EXPECT_NE(text.find(L"pszDriverKey = 中"), std::wstring::npos);
}

TEST(Win32Profile, MissingFileSectionOrKeyGiveTheDefaults)
{
    TempDirectory dir;
    Win32Runtime runtime;
    const std::wstring path = dir.File(L"NorvikCfg.ini");
    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"Debug", 0, path), 0);
    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"InuptMode", 7, path), 7);
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InputGuid", L"", 60, path), L"");

    ASSERT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"1", path));
    EXPECT_EQ(runtime.ReadProfileInt(L"Other", L"InuptMode", 3, path), 3);
    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"Debug", 5, path), 5);
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InputGuid", L"none", 60, path), L"none");
}

TEST(Win32Profile, WritingCreatesTheFileAndChangesOnlyTheKeyWritten)
{
    TempDirectory dir;
    Win32Runtime runtime;
    const std::wstring path = dir.File(L"NorvikCfg.ini");
    ASSERT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"0", path));
    ASSERT_TRUE(
        runtime.WriteProfileString(L"Config", L"InputGuid", L"{36FC9E60-C465-11CF-8056-444553540000}", path));
    ASSERT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"1", path));

    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"InuptMode", 0, path), 1);
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InputGuid", L"", 60, path),
              L"{36FC9E60-C465-11CF-8056-444553540000}");
    const std::string text = ReadWholeFile(path);
    EXPECT_NE(text.find("[Config]"), std::string::npos) << text;
    EXPECT_EQ(text.find("InuptMode=0"), std::string::npos) << text;
}

TEST(Win32Profile, IntegersAndStringsFollowThePrivateProfileRules)
{
    TempDirectory dir;
    Win32Runtime runtime;
    const std::wstring path = dir.File(L"NorvikCfg.ini");
    ASSERT_TRUE(runtime.WriteProfileString(L"Config", L"Debug", L"abc", path));
    ASSERT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"7", path));
    const std::wstring seventy(70, L'g');
    ASSERT_TRUE(runtime.WriteProfileString(L"Config", L"InputGuid", seventy, path));

    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"Debug", 1, path), 0);
    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"InuptMode", 0, path), 7);
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InputGuid", L"", 60, path), seventy.substr(0, 59));
}

TEST(Win32Profile, KeepsChineseText)
{
    TempDirectory dir;
    Win32Runtime runtime;
    const std::wstring path = dir.File(L"NorvikCfg.ini");
    ASSERT_TRUE(runtime.WriteProfileString(L"Config", L"InputGuid", L"中文 GUID", path));
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InputGuid", L"", 60, path), L"中文 GUID");
}

TEST(Win32CodePageChoice, NtFiveAndLaterUseTheThreadCodePage)
{
    EXPECT_EQ(ChooseConversionCodePage(true, 5, L"1252", 1252), kCpThreadAcp);
    EXPECT_EQ(ChooseConversionCodePage(true, 10, L"", 936), kCpThreadAcp);
}

TEST(Win32CodePageChoice, OlderSystemsReadTheLocaleOrFallBackToTheSystemCodePage)
{
    EXPECT_EQ(ChooseConversionCodePage(true, 4, L"936", 1252), 936u);
    EXPECT_EQ(ChooseConversionCodePage(false, 4, L"1251", 1252), 1251u);
    EXPECT_EQ(ChooseConversionCodePage(false, 4, L"0", 1252), 1252u);
    EXPECT_EQ(ChooseConversionCodePage(false, 4, L"", 950), 950u);
    EXPECT_EQ(ChooseConversionCodePage(false, 4, L"abc", 950), 950u);
}

TEST(Win32CodePage, ConvertsCodePage936BothWays)
{
    Win32CodePage gbk(936);
    EXPECT_EQ(gbk.WideToAnsi(L"ABCD"), std::optional<std::string>("ABCD"));
    EXPECT_EQ(gbk.WideToAnsi(L"宋体"), std::optional<std::string>("\xCB\xCE\xCC\xE5"));
    EXPECT_EQ(gbk.AnsiToWide("\xD6\xD0\xCE\xC4"), std::optional<std::wstring>(L"中文"));
    EXPECT_EQ(gbk.WideToAnsi(L""), std::optional<std::string>(""));
    EXPECT_EQ(gbk.AnsiToWide(""), std::optional<std::wstring>(L""));
    // Embedded zeros are converted like any other character.
    EXPECT_EQ(gbk.WideToAnsi(std::wstring(L"a\0b", 3)), std::optional<std::string>(std::string("a\0b", 3)));
    // A character the code page cannot represent gets the default character.
    EXPECT_EQ(gbk.WideToAnsi(L"a\x0E01"
                             L"b"),
              std::optional<std::string>("a?b"));
}

TEST(Win32CodePage, AnUnknownCodePageIsRefused)
{
    Win32CodePage unknown(12345);
    EXPECT_EQ(unknown.WideToAnsi(L"abc"), std::nullopt);
    EXPECT_EQ(unknown.AnsiToWide("abc"), std::nullopt);
}

TEST(Win32CodePage, FollowsTheThreadLocale)
{
    ASSERT_EQ(ConversionCodePage(), kCpThreadAcp);
    const LCID original = ::GetThreadLocale();
    ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT));
    Win32Runtime runtime;
    const std::optional<std::string> bytes = runtime.WideToAnsi(L"中");
    const std::optional<std::wstring> text = runtime.AnsiToWide("\xD6\xD0");
    ::SetThreadLocale(original);
    EXPECT_EQ(bytes, std::optional<std::string>("\xD6\xD0"));
    EXPECT_EQ(text, std::optional<std::wstring>(L"中"));
}

TEST(Win32Locale, TheChineseLocaleIsTheCLibrarysForAllCategories)
{
    const std::wstring before = ::_wsetlocale(LC_ALL, nullptr);
    Win32Runtime runtime;
    runtime.SetChineseLocale();
    const std::wstring all = ::_wsetlocale(LC_ALL, nullptr);
    const std::wstring numeric = ::_wsetlocale(LC_NUMERIC, nullptr);
    char bytes[8] = {};
    const std::size_t length = std::wcstombs(bytes, L"\u4E2D", sizeof bytes);  // 中
    ::_wsetlocale(LC_ALL, before.c_str());

    EXPECT_NE(all.find(L"Chinese"), std::wstring::npos) << std::string(all.begin(), all.end());
    EXPECT_EQ(numeric, all);
    ASSERT_EQ(length, 2u);
    EXPECT_EQ(std::string(bytes, 2), "\xD6\xD0");
}

TEST(Win32ErrorText, SystemTextsEndInCrLf)
{
    Win32Runtime runtime;
    const std::optional<std::string> text = runtime.SystemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_TRUE(text.has_value());
    ASSERT_GE(text->size(), 3u);
    EXPECT_EQ(text->substr(text->size() - 2), "\r\n");
    EXPECT_EQ(runtime.SystemErrorText(0x2000FFFFu), std::nullopt);
}

TEST(Win32ErrorText, HresultsOfWin32ErrorsHaveTheWin32Text)
{
    Win32Runtime runtime;
    const std::optional<std::string> hresultText = runtime.SystemErrorText(0x80070005u);
    if (!hresultText)
        GTEST_SKIP() << "Wine's FormatMessageA has no text for HRESULT_FROM_WIN32 codes; Windows has";
    EXPECT_EQ(hresultText, runtime.SystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(Win32Clock, TickCountAdvancesAcrossASleep)
{
    Win32Runtime runtime;
    const std::uint32_t before = runtime.TickCount();
    runtime.Sleep(50);
    const std::uint32_t elapsed = runtime.TickCount() - before;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Win32Clock, NowIsTheLocalTime)
{
    Win32Runtime runtime;
    SYSTEMTIME system{};
    ::GetLocalTime(&system);
    const LocalTime now = runtime.Now();
    EXPECT_EQ(now.year, system.wYear);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_LE(now.dayOfWeek, 6);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.hour, 23);
}

TEST(Win32Files, OutputFilesAreBinaryAndCanBeRemoved)
{
    TempDirectory dir;
    Win32Runtime runtime;
    const std::wstring path = dir.File(L"20240308-180022-1.csv");
    auto file = runtime.CreateOutputFile(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Write("a\nb\r\n", 5));
    EXPECT_TRUE(file->Close());
    EXPECT_FALSE(file->Close());
    EXPECT_FALSE(file->Write("x", 1));
    EXPECT_EQ(ReadWholeFile(path), "a\nb\r\n");

    EXPECT_TRUE(runtime.RemoveFile(path));
    EXPECT_FALSE(runtime.RemoveFile(path));
    EXPECT_EQ(runtime.CreateOutputFile(dir.File(L"missing\\x.csv")), nullptr);
}

TEST(Win32Module, ModulePathIsTheRunningExecutable)
{
    Win32Runtime runtime;
    const std::wstring path = runtime.ModulePath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(runtime.PathSeparator(), L'\\');
    EXPECT_NE(path.find(L'\\'), std::wstring::npos);
    std::wstring lower = path;
    for (auto& c : lower)
        c = wchar_t(::towlower(c));
    EXPECT_EQ(lower.substr(lower.size() - 4), L".exe");
    EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace norvik::test
