// Problems found before the dialog opens reach the operator: on standard
// error always, and in a message box with the same text when there is no
// terminal to read it on.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/platforms/qt/QtTestSupport.h"
#include "platforms/qt/SettingsLocation.h"
#include "platforms/qt/StartupNotice.h"
#include "platforms/sim/FakeRuntime.h"
#include "runtime/Utf8.h"

namespace norvik::test {
namespace {

std::string ReportedOnStream(bool showBoxes, const std::string& line)
{
    std::FILE* err = std::tmpfile();
    StartupNotice(err, showBoxes).Report(line);
    std::rewind(err);
    std::string text;
    for (int c; (c = std::fgetc(err)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(err);
    return text;
}

TEST(StartupNotice, WithoutATerminalTheBoxShowsWhatStandardErrorSays)
{
    QtApp();
    const std::string line = "norvik: scenario.json:3:5: 期望一个对象";

    {
        MessageBoxWatcher quiet;
        EXPECT_EQ(ReportedOnStream(false, line), line + "\n");
        EXPECT_TRUE(quiet.ShownBoxes().empty());
    }

    MessageBoxWatcher watcher;
    EXPECT_EQ(ReportedOnStream(true, line), line + "\n");
    ASSERT_EQ(watcher.ShownBoxes().size(), 1u);
    EXPECT_EQ(watcher.ShownBoxes()[0].text.toStdString(), line);
    EXPECT_EQ(watcher.ShownBoxes()[0].icon, QMessageBox::Warning);
}

class UnwritableSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch_ = std::filesystem::temp_directory_path() / ("norvik-startup-" + std::to_string(::getpid()));
        std::filesystem::remove_all(scratch_);
        std::filesystem::create_directories(scratch_);
    }
    void TearDown() override { std::filesystem::remove_all(scratch_); }

    std::filesystem::path scratch_;
    FakeRuntime base_;
};

TEST_F(UnwritableSettings, APerUserDirectoryThatCanBeMadeIsMadeAndPasses)
{
    const std::wstring to = Utf8ToWide((scratch_ / "config" / "norvik" / "NorvikCfg.ini").string());
    RelocatedSettingsRuntime relocated(base_, L"/usr/bin/NorvikCfg.ini", to);
    EXPECT_EQ(UnwritableSettingsFile(base_, &relocated), L"");
    EXPECT_TRUE(std::filesystem::is_directory(scratch_ / "config" / "norvik"));
}

TEST_F(UnwritableSettings, ADirectoryThatCannotBeMadeIsReportedWithItsFile)
{
    // A plain file where the configuration directory should be: no user,
    // root included, can make a directory under it.
    std::ofstream(scratch_ / "config") << "not a directory";
    const std::wstring to = Utf8ToWide((scratch_ / "config" / "norvik" / "NorvikCfg.ini").string());
    RelocatedSettingsRuntime relocated(base_, L"/usr/bin/NorvikCfg.ini", to);
    EXPECT_EQ(UnwritableSettingsFile(base_, &relocated), to);
    EXPECT_EQ(UnwritableSettingsLine(to), "norvik: the settings file " + WideToUtf8(to) +
                                              " cannot be written; settings changed in this session "
                                              "will not be kept");
}

}  // namespace
}  // namespace norvik::test
