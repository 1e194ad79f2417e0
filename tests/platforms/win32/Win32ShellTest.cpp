// The link opener's fallback to the command registered for ".htm" pages,
// with the shell, the registry and WinExec replaced.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platforms/win32/Win32CodePage.h"
#include "platforms/win32/Win32Shell.h"

namespace norvik::test {
namespace {

struct FakeSystem {
    std::intptr_t shellResult = 2;  // SE_ERR_FNF
    std::map<std::wstring, std::wstring> classesRoot;
    std::uint32_t winExecResult = 33;
    std::vector<std::wstring> keysRead;
    std::vector<std::string> commandsRun;
};
FakeSystem* g_system = nullptr;

ShellCalls FakeCalls()
{
    return {
        [](const std::wstring&) { return g_system->shellResult; },
        [](const std::wstring& key, std::wstring* value) -> long {
            g_system->keysRead.push_back(key);
            auto it = g_system->classesRoot.find(key);
            if (it == g_system->classesRoot.end())
                return 2;  // ERROR_FILE_NOT_FOUND
            *value = it->second;
            return 0;
        },
        [](const std::string& command) {
            g_system->commandsRun.push_back(command);
            return g_system->winExecResult;
        },
    };
}

class Win32ShellOpen : public ::testing::Test {
protected:
    void SetUp() override { g_system = &system; }
    void TearDown() override { g_system = nullptr; }
    std::intptr_t Open(const std::wstring& target) { return OpenWithShell(target, FakeCalls(), gbk); }

    FakeSystem system;
    Win32CodePage gbk{936};
};

TEST_F(Win32ShellOpen, AnOpenedTargetNeedsNoFallback)
{
    system.shellResult = 42;
    EXPECT_EQ(Open(L"https://norvik-tools.example.org"), 42);
    EXPECT_TRUE(system.keysRead.empty());
    EXPECT_TRUE(system.commandsRun.empty());
}

TEST_F(Win32ShellOpen, FallsBackToTheRegisteredPageCommand)
{
    system.classesRoot[L".htm"] = L"htmlfile";
    system.classesRoot[L"htmlfile\\shell\\open\\command"] = L"\"C:\\Browser\\browser.exe\" -url \"%1\"";
    EXPECT_EQ(Open(L"https://norvik-tools.example.org"), 33);
    EXPECT_EQ(system.keysRead, (std::vector<std::wstring>{L".htm", L"htmlfile\\shell\\open\\command"}));
    ASSERT_EQ(system.commandsRun.size(), 1u);
    EXPECT_EQ(system.commandsRun[0], "\"C:\\Browser\\browser.exe\" -url  https://norvik-tools.example.org");
}

TEST_F(Win32ShellOpen, TheCommandLineIsInTheAnsiCodePage)
{
    system.classesRoot[L".htm"] = L"htmlfile";
    system.classesRoot[L"htmlfile\\shell\\open\\command"] = L"浏览器.exe %1";
    system.winExecResult = 2;  // WinExec's own failure is what comes back
    EXPECT_EQ(Open(L"mailto:a@b"), 2);
    ASSERT_EQ(system.commandsRun.size(), 1u);
    EXPECT_EQ(system.commandsRun[0], "\xE4\xAF\xC0\xC0\xC6\xF7.exe  mailto:a@b");
}

TEST_F(Win32ShellOpen, AMissingRegistrationReturnsTheShellResult)
{
    system.shellResult = 31;  // SE_ERR_NOASSOC
    EXPECT_EQ(Open(L"x"), 31);
    system.classesRoot[L".htm"] = L"htmlfile";
    EXPECT_EQ(Open(L"x"), 31);
    EXPECT_TRUE(system.commandsRun.empty());
    EXPECT_EQ(system.keysRead.back(), L"htmlfile\\shell\\open\\command");
}

}  // namespace
}  // namespace norvik::test
