// Start-up, settings, close and the window-level handlers of the main dialog.
#include <gtest/gtest.h>

#include "DialogFixture.h"
#include "framework/DialogTemplates.h"
#include "console/Settings.h"

namespace norvik::testing {
namespace {

const std::wstring kDemoItem0 = L"Kestrel UVC Camera, {6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}";
const std::wstring kDemoInfo0 = L"idVendor=2E7A, idProduct=0C41, XU描述符里bUnitID=4, KSP_NOD/NodeId=2";
const std::wstring kTypedGuid = L"{6d1f3a52-9c7e-4b21-a8d5-3e0f71c24b96}";

void WriteSettings(DialogFixture& f, const std::string& text) { f.runtime.SetFile(kSettingsPath, text); }

TEST(MainDialogStart, FirstStartWithoutSettingsShowsTheDiscoveredUnits)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();

    EXPECT_FALSE(f.runtime.ConsoleOpened());
    EXPECT_EQ(f.dialog->SettingsPath(), kSettingsPath);

    auto& picker = w.Control(ids::kPicker);
    ASSERT_EQ(picker.items.size(), 5u);
    EXPECT_EQ(picker.items[0].text, kDemoItem0);
    const std::uint32_t data[] = {0x000, 0x001, 0x100, 0x101, 0x102};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(picker.items[i].data, data[i]) << i;
    // The Osprey's third node matched no descriptor: listed with the zero GUID.
    EXPECT_EQ(picker.items[4].text, L"Osprey Inspection Camera, {00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(picker.curSel, 0);
    EXPECT_EQ(f.Text(ids::kInfoEdit), kDemoInfo0);

    EXPECT_EQ(f.Text(ids::kCsEdit), L"1");
    EXPECT_EQ(f.Text(ids::kDataEdit), L"ABCD");
    EXPECT_EQ(f.Text(ids::kCsLengthEdit), L"");
    EXPECT_EQ(f.Text(ids::kStatusEdit), L"");
    EXPECT_EQ(f.dialog->Channel(), nullptr);
    EXPECT_EQ(f.dialog->CsLength(), 0);

    auto& log = f.Log();
    const int width = w.WindowRect(ids::kLogList).Width();
    ASSERT_EQ(log.columns.size(), 6u);
    const std::wstring titles[] = {L"Line", L"Direct", L"Data(HEX)", L"Data(String)", L"Device", L"XU guid"};
    const int widths[] = {50, 70, width - 280, 150, 150, 250};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(log.columns[i].title, titles[i]);
        EXPECT_EQ(log.columns[i].width, widths[i]);
    }
    EXPECT_EQ(log.extendedStyle, 0x10021u);
    ASSERT_EQ(log.rows.size(), 2u);
    EXPECT_EQ(f.Cell(0, 0), L"");

    ASSERT_EQ(w.SystemMenu().size(), 2u);
    EXPECT_EQ(w.SystemMenu()[0].flags, kMfSeparator);
    EXPECT_EQ(w.SystemMenu()[1].id, 0x0010u);
    EXPECT_EQ(w.SystemMenu()[1].text, L"关于 Norvik(&A)...");
    EXPECT_EQ(w.BigIcon(), MemoryDialogHost::kMainIconHandle);
    EXPECT_EQ(w.SmallIcon(), MemoryDialogHost::kMainIconHandle);

    auto& link = w.Control(ids::kSiteLink);
    EXPECT_TRUE(link.visible);
    EXPECT_EQ(link.tools[1], maker::kWebsiteAddress);
    EXPECT_FALSE(w.Control(ids::kManualGuidCheck).visible);
    EXPECT_FALSE(w.Control(ids::kHexReceiveCheck).visible);
}

TEST(MainDialogStart, NoCameraLeavesThePickerEmpty)
{
    DialogFixture f(ScenarioFromText(R"({"cameras": [], "usb": {"controllers": []}})"));
    MemoryDialog& w = f.Start();
    EXPECT_EQ(w.ComboCount(ids::kPicker), 0);
    EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
    EXPECT_EQ(f.Text(ids::kInfoEdit), L"");
}

TEST(MainDialogStart, RestoresTheTypedGuidMode)
{
    {
        DialogFixture f(DemoScenario());
        WriteSettings(f, "[Config]\r\nInuptMode=1\r\n");
        MemoryDialog& w = f.Start();
        EXPECT_EQ(f.dialog->InputMode(), 0);  // no stored GUID: list mode
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), 0);
        EXPECT_EQ(f.Text(ids::kInfoEdit), kDemoInfo0);
    }
    {
        DialogFixture f(DemoScenario());
        WriteSettings(f, "[Config]\r\nInuptMode=7\r\nInputGuid= " +
                             std::string(kTypedGuid.begin(), kTypedGuid.end()) + " x\r\n");
        MemoryDialog& w = f.Start();
        EXPECT_NE(f.dialog->InputMode(), 0);
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
        EXPECT_EQ(f.Text(ids::kPicker), kTypedGuid + L" x");
        EXPECT_EQ(f.Text(ids::kInfoEdit), L"");
        EXPECT_EQ(f.dialog->Channel(), nullptr);
        EXPECT_EQ(f.Text(ids::kStatusEdit), L"");
        // The close handler stores 0 or 1, never the value read.
        w.CloseBox();
        EXPECT_NE(f.runtime.FileContents(kSettingsPath).find("InuptMode=1"), std::string::npos);
    }
}

TEST(MainDialogStart, ReadsAtMost59CharactersOfTheStoredGuid)
{
    DialogFixture f(DemoScenario());
    const std::string seventy(70, 'g');
    WriteSettings(f, "[Config]\r\nInuptMode=1\r\nInputGuid=" + seventy + "\r\n");
    f.Start();
    EXPECT_EQ(f.dialog->InputGuid(), std::wstring(59, L'g'));
}

TEST(MainDialogStart, DebugKeyOpensTheConsoleBeforeTheFirstDiscovery)
{
    DialogFixture on(DemoScenario());
    WriteSettings(on, "[Config]\r\nDebug=1\r\n");
    on.Start();
    EXPECT_TRUE(on.runtime.ConsoleOpened());
    EXPECT_NE(on.runtime.Transcript().find("Find 2 video device.\n\n"), std::string::npos);

    DialogFixture off(DemoScenario());
    WriteSettings(off, "[Config]\r\nDebug=0\r\n");
    off.Start();
    EXPECT_FALSE(off.runtime.ConsoleOpened());
    EXPECT_EQ(off.runtime.Transcript(), "");

    DialogFixture garbage(DemoScenario());
    WriteSettings(garbage, "[Config]\r\nDebug=yes\r\n");
    garbage.Start();
    EXPECT_FALSE(garbage.runtime.ConsoleOpened());
}

TEST(MainDialogClose, CloseBoxWritesTheModeAndOnlyANonEmptyGuid)
{
    DialogFixture f(DemoScenario());
    WriteSettings(f, "; kept\r\n[Other]\r\nx=1\r\n[Config]\r\nInputGuid=old\r\n");
    MemoryDialog& w = f.Start();
    w.CloseBox();
    EXPECT_TRUE(w.Ended());
    EXPECT_EQ(w.Result(), kIdCancel);
    const std::string saved = f.runtime.FileContents(kSettingsPath);
    EXPECT_NE(saved.find("InuptMode=0"), std::string::npos);
    EXPECT_NE(saved.find("InputGuid=old"), std::string::npos);  // "old" was read back and rewritten
    EXPECT_NE(saved.find("; kept"), std::string::npos);
    EXPECT_NE(saved.find("x=1"), std::string::npos);

    DialogFixture empty(DemoScenario());
    MemoryDialog& w2 = empty.Start();
    w2.CloseBox();
    const std::string fresh = empty.runtime.FileContents(kSettingsPath);
    EXPECT_NE(fresh.find("InuptMode=0"), std::string::npos);
    EXPECT_EQ(fresh.find("InputGuid"), std::string::npos);
    EXPECT_EQ(ProcessDeviceList().Size(), 0u);
    EXPECT_EQ(empty.dialog->Table().deviceCount, 0u);
}

TEST(MainDialogClose, StoresTheModeThePickerShowsAtClose)
{
    const auto savedMode = [](DialogFixture& f) {
        const std::string saved = f.runtime.FileContents(kSettingsPath);
        const std::size_t at = saved.find("InuptMode=");
        return at == std::string::npos ? std::string() : saved.substr(at, 11);
    };
    {
        // Opened by a typed GUID, then a list item chosen.
        DialogFixture f(DemoScenario());
        MemoryDialog& w = f.Start();
        w.TypeText(ids::kPicker, kTypedGuid);
        w.Click(ids::kOpenButton);
        ASSERT_EQ(f.dialog->InputMode(), 1);
        w.ChooseItem(ids::kPicker, 0);
        w.CloseBox();
        EXPECT_EQ(savedMode(f), "InuptMode=0");
    }
    {
        // List mode, then text typed without opening it.
        DialogFixture f(DemoScenario());
        MemoryDialog& w = f.Start();
        w.TypeText(ids::kPicker, kTypedGuid);
        w.CloseBox();
        EXPECT_EQ(savedMode(f), "InuptMode=1");
    }
    {
        // An even stored mode with a GUID, closed as it started.
        DialogFixture f(DemoScenario());
        WriteSettings(f, "[Config]\r\nInuptMode=2\r\nInputGuid=" +
                             std::string(kTypedGuid.begin(), kTypedGuid.end()) + "\r\n");
        MemoryDialog& w = f.Start();
        w.CloseBox();
        EXPECT_EQ(savedMode(f), "InuptMode=1");
    }
}

TEST(MainDialogClose, CloseBoxAndEscapeReleaseTheChannelAndStopItsWorker)
{
    for (const bool escape : {false, true}) {
        DialogFixture f(DemoScenario());
        MemoryDialog& w = f.Start();
        w.Click(ids::kGetButton);  // a GET with data runs on the channel's worker thread
        ASSERT_NE(f.dialog->Channel(), nullptr);
        ASSERT_TRUE(f.dialog->Channel()->worker->HasThread());
        // The thread holds the link and the channel the control while they live.
        const std::weak_ptr<WorkerLink> link = f.dialog->Channel()->worker->link;
        const std::weak_ptr<KsControl> control = f.dialog->Channel()->control;
        if (escape) {
            w.PressEscape();
            f.host.Destroy(w);
            f.window = nullptr;
            f.dialog.reset();
        } else {
            w.CloseBox();
            EXPECT_EQ(f.dialog->Channel(), nullptr);
        }
        EXPECT_TRUE(link.expired()) << escape;
        EXPECT_TRUE(control.expired()) << escape;
    }
}

TEST(MainDialogClose, EscapeWritesNothingAndEnterDoesNothing)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    w.PressEnter();
    EXPECT_FALSE(w.Ended());
    w.PressEscape();
    EXPECT_TRUE(w.Ended());
    EXPECT_FALSE(f.runtime.HasFile(kSettingsPath));
}

TEST(MainDialogClose, TooLongASettingsPathUsesNoSettingsFile)
{
    DialogFixture f(DemoScenario());
    f.runtime.SetModulePath(L"/" + std::wstring(250, L'd') + L"/norvik");
    MemoryDialog& w = f.Start();
    EXPECT_EQ(f.dialog->SettingsPath(), L"");
    EXPECT_NE(f.runtime.AllDiagnostics().find("Settings path too long"), std::string::npos);
    w.CloseBox();
    EXPECT_TRUE(w.Ended());
    EXPECT_FALSE(f.runtime.HasFile(L"/" + std::wstring(250, L'd') + L"/NorvikCfg.ini"));

    // The longest path that still fits is used.
    EXPECT_EQ(BuildSettingsPath(f.runtime), L"");
    f.runtime.SetModulePath(std::wstring(245, L'd') + L"/norvik");  // 245 + 1 + 13 = 259
    EXPECT_EQ(BuildSettingsPath(f.runtime), std::wstring(245, L'd') + L"/NorvikCfg.ini");
}

TEST(MainDialogWindow, PaintsTheIconCentredWhileMinimised)
{
    DialogFixture f(DemoScenario());
    MemoryDialog& w = f.Start();
    w.Send({msg::kPaint, 0, 0});
    EXPECT_TRUE(w.IconPaints().empty());
    w.SetIconic(true);
    w.Send({msg::kPaint, 0, 0});
    ASSERT_EQ(w.IconPaints().size(), 1u);
    const Rect client = w.ClientRect(kSelf);
    EXPECT_EQ(w.IconPaints()[0].x, (client.Width() - 32 + 1) / 2);
    EXPECT_EQ(w.IconPaints()[0].y, (client.Height() - 32 + 1) / 2);
    EXPECT_EQ(w.Send({msg::kQueryDragIcon, 0, 0}), std::intptr_t(MemoryDialogHost::kMainIconHandle));
}

TEST(MainDialogWindow, AboutEntryOpensTheAboutBoxWithTheVersionLine)
{
    DialogFixture f(DemoScenario());
    std::wstring version, mailTarget;
    f.host.OnModal(ids::kAboutDialog, [&](MemoryDialog& about) {
        version = about.GetText(ids::kVersionText);
        mailTarget = about.Control(ids::kMailLink).tools[1];
        about.PressEnter();
    });
    MemoryDialog& w = f.Start();
    w.SystemCommand(0x0010);
    EXPECT_EQ(version.rfind(L"Version: ", 0), 0u);
    EXPECT_EQ(version.size(), std::wstring(L"Version: 20240308-180022").size());
    EXPECT_EQ(mailTarget, std::wstring(L"mailto:") + maker::kMailAddress);
    EXPECT_FALSE(w.Ended());
}

}  // namespace
}  // namespace norvik::testing
