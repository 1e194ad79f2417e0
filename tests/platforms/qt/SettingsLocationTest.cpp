// Where the installed program keeps its settings.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platforms/qt/SettingsLocation.h"
#include "platforms/sim/FakeRuntime.h"
#include "runtime/Utf8.h"

namespace norvik::test {
namespace {

TEST(SettingsLocation, PerUserFileFollowsXdgConfigHomeThenHome)
{
    EXPECT_EQ(UserSettingsPath("/cfg", "/home/op"), L"/cfg/norvik/NorvikCfg.ini");
    EXPECT_EQ(UserSettingsPath("/cfg//", "/home/op"), L"/cfg/norvik/NorvikCfg.ini");
    // A relative XDG_CONFIG_HOME is ignored, as the XDG rules say.
    EXPECT_EQ(UserSettingsPath("cfg", "/home/op"), L"/home/op/.config/norvik/NorvikCfg.ini");
    EXPECT_EQ(UserSettingsPath(nullptr, "/home/op"), L"/home/op/.config/norvik/NorvikCfg.ini");
    EXPECT_EQ(UserSettingsPath("", nullptr), L"");
    EXPECT_EQ(UserSettingsPath(nullptr, "relative"), L"");
}

TEST(SettingsLocation, OnlyTheSettingsFileMovesAndWritingMakesItsDirectory)
{
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("norvik-settings-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch);
    const std::wstring to = Utf8ToWide((scratch / "norvik" / "NorvikCfg.ini").string());
    const std::wstring from = L"/usr/bin/NorvikCfg.ini";

    FakeRuntime base;
    RelocatedSettingsRuntime runtime(base, from, to);
    EXPECT_TRUE(runtime.WriteProfileString(L"Config", L"InuptMode", L"1", from));
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "norvik"));
    EXPECT_FALSE(base.HasFile(from));
    EXPECT_TRUE(base.HasFile(to));
    EXPECT_EQ(runtime.ReadProfileInt(L"Config", L"InuptMode", 0, from), 1);
    EXPECT_EQ(runtime.ReadProfileString(L"Config", L"InuptMode", L"", 60, from), L"1");

    // Any other profile file is left where it is.
    EXPECT_TRUE(runtime.WriteProfileString(L"S", L"K", L"v", L"/elsewhere.ini"));
    EXPECT_TRUE(base.HasFile(L"/elsewhere.ini"));
    std::filesystem::remove_all(scratch);
}

TEST(SettingsLocation, AWritableDirectoryKeepsTheFileBesideTheExecutable)
{
    FakeRuntime base;
    const std::filesystem::path scratch = std::filesystem::temp_directory_path();
    base.SetModulePath(Utf8ToWide((scratch / "norvik").string()));
    std::unique_ptr<RelocatedSettingsRuntime> holder;
    EXPECT_EQ(&DesktopRuntime(base, holder), &base);
    EXPECT_EQ(holder, nullptr);

    EXPECT_TRUE(DirectoryOfPathWritable(Utf8ToWide((scratch / "x.ini").string())));
    if (::geteuid() != 0) {  // root may write anywhere
        EXPECT_FALSE(DirectoryOfPathWritable(L"/proc/x.ini"));
    }
}

TEST(SettingsLocation, AReadOnlyInstallKeepsTheFileInTheUsersConfiguration)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "every directory is writable for root";
    FakeRuntime base;
    base.SetModulePath(L"/proc/norvik");  // a directory no user can create files in
    ::setenv("XDG_CONFIG_HOME", "/tmp/norvik-xdg", 1);
    std::unique_ptr<RelocatedSettingsRuntime> holder;
    Runtime& runtime = DesktopRuntime(base, holder);
    ::unsetenv("XDG_CONFIG_HOME");
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(&runtime, holder.get());
    EXPECT_EQ(holder->From(), L"/proc/NorvikCfg.ini");
    EXPECT_EQ(holder->To(), L"/tmp/norvik-xdg/norvik/NorvikCfg.ini");
}

}  // namespace
}  // namespace norvik::test
