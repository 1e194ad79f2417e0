// A smoke run of the real program: Norvik.exe is started in a folder of its
// own with "Debug" 1 in its settings file, its dialog is inspected from
// outside, the diagnostic lines are read from the console it opened, and the
// dialog is closed with WM_CLOSE, which writes the settings.
//
// The program is the Norvik.exe of this build (apps/norvik beside the tests
// folder); NORVIK_SMOKE_EXE names another one, such as the 32-bit build.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/DialogTemplates.h"
#include "framework/ResourceIds.h"
#include "platforms/win32/WindowsApi.h"

namespace norvik::test {
namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ProgramUnderTest()
{
    if (const wchar_t* named = ::_wgetenv(L"NORVIK_SMOKE_EXE"); named && *named)
        return named;
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return Folder(self) + L"..\\apps\\norvik\\Norvik.exe";
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    ::CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

struct FoundWindow {
    DWORD process;
    HWND dialog;
};

BOOL CALLBACK FindProcessDialog(HWND hwnd, LPARAM lParam)
{
    auto* found = reinterpret_cast<FoundWindow*>(lParam);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    wchar_t name[32] = {};
    ::GetClassNameW(hwnd, name, 32);
    if (process != found->process || std::wstring(name) != L"#32770" || !::IsWindowVisible(hwnd))
        return TRUE;
    found->dialog = hwnd;
    return FALSE;
}

// The text of a window of another process: GetWindowTextW would only give a
// control's caption there, so WM_GETTEXT is sent.
std::wstring WindowText(HWND hwnd)
{
    wchar_t text[512] = {};
    ::SendMessageW(hwnd, WM_GETTEXT, 512, LPARAM(text));
    return text;
}

bool RunningUnderWine()
{
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The text of the console the program opened, read from its screen buffer.
std::wstring ReadProgramConsole(DWORD process)
{
    ::FreeConsole();
    if (!::AttachConsole(process))
        return L"";
    std::wstring text;
    HANDLE screen = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (screen != INVALID_HANDLE_VALUE && ::GetConsoleScreenBufferInfo(screen, &info)) {
        const DWORD cells = DWORD(info.dwSize.X) * DWORD(info.dwCursorPosition.Y + 1);
        std::vector<wchar_t> buffer(cells + 1, L'\0');
        DWORD read = 0;
        ::ReadConsoleOutputCharacterW(screen, buffer.data(), cells, COORD{0, 0}, &read);
        text.assign(buffer.data(), read);
    }
    if (screen != INVALID_HANDLE_VALUE)
        ::CloseHandle(screen);
    ::FreeConsole();
    return text;
}

// Collapses the blanks a console pads its lines with.
std::wstring Squeezed(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text)
        if (!(c == L' ' && !out.empty() && out.back() == L' '))
            out.push_back(c);
    return out;
}

class ProgramFolder {
public:
    ProgramFolder()
    {
        wchar_t base[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"norvik-smoke-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ProgramFolder()
    {
        for (const wchar_t* name : {L"Norvik.exe", L"NorvikCfg.ini"})
            ::DeleteFileW((path_ + name).c_str());
        ::RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

TEST(NorvikSmoke, OpensTheMainDialogFindsNoCameraAndClosesWritingItsSettings)
{
    const std::wstring program = ProgramUnderTest();
    if (!Exists(program))
        GTEST_SKIP() << "no Norvik.exe to run (build the Norvik target first)";

    ProgramFolder folder;
    const std::wstring exe = folder.Path() + L"Norvik.exe";
    const std::wstring settings = folder.Path() + L"NorvikCfg.ini";
    ASSERT_TRUE(::CopyFileW(program.c_str(), exe.c_str(), FALSE));
    WriteFileBytes(settings, "[Config]\r\nDebug=1\r\n");

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.Path().c_str(), &startup, &started));

    // Idle: the dialog has been initialised and waits for input.
    ::WaitForInputIdle(started.hProcess, 30000);
    FoundWindow found{started.dwProcessId, nullptr};
    for (int i = 0; i < 300 && !found.dialog; ++i) {
        if (::WaitForSingleObject(started.hProcess, 100) == WAIT_OBJECT_0)
            break;
        ::EnumWindows(&FindProcessDialog, LPARAM(&found));
    }
    if (!found.dialog) {
        ::TerminateProcess(started.hProcess, 1);
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
        FAIL() << "the main dialog did not appear";
    }
    HWND dialog = found.dialog;

    EXPECT_EQ(WindowText(dialog), MainDialogTemplate().caption);
    EXPECT_EQ(WindowText(::GetDlgItem(dialog, ids::kCsEdit)), L"1");
    EXPECT_EQ(WindowText(::GetDlgItem(dialog, ids::kDataEdit)), L"ABCD");
    EXPECT_EQ(WindowText(::GetDlgItem(dialog, ids::kOpenButton)), L"打开");
    EXPECT_EQ(::SendMessageW(::GetDlgItem(dialog, ids::kPicker), CB_GETCOUNT, 0, 0), 0);
    HWND list = ::GetDlgItem(dialog, ids::kLogList);
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 6);

    // "Debug" 1 opened a console before the first discovery, which found
    // no camera. Wine cannot attach to another process's console, so there
    // the line is left to the runtime's own console test.
    const std::wstring console = Squeezed(ReadProgramConsole(started.dwProcessId));
    if (!console.empty())
        EXPECT_NE(console.find(L"Find 0 video device."), std::wstring::npos)
            << std::string(console.begin(), console.end());
    else if (RunningUnderWine())
        std::printf("note: Wine cannot attach to the program's console; its lines are not checked here\n");
    else
        ADD_FAILURE() << "the debug console of the program could not be read";

    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    const DWORD waited = ::WaitForSingleObject(started.hProcess, 20000);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the program did not end after WM_CLOSE";
    if (waited != WAIT_OBJECT_0)
        ::TerminateProcess(started.hProcess, 1);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(started.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);

    const std::string written = ReadFileBytes(settings);
    EXPECT_NE(written.find("Debug=1"), std::string::npos) << written;
    EXPECT_NE(written.find("InuptMode=1"), std::string::npos) << written;
    EXPECT_EQ(written.find("InputGuid"), std::string::npos) << written;
}

}  // namespace
}  // namespace norvik::test
