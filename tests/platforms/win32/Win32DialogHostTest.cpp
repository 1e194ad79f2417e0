// The Win32 dialog host on the real templates and common controls (run under
// Wine in CI): a test dialog runs modally and its initialisation drives the
// controls through the host, as the program's own dialogs do.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "console/Controls.h"
#include "framework/DialogTemplates.h"
#include "console/NorvikDlg.h"
#include "framework/ResourceIds.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/SimPlatform.h"
#include "platforms/win32/Win32DialogHost.h"
#include "shell/AboutDlg.h"
#include "shell/BuildTimestamp.h"
#include "shell/HyperLink.h"
#include "tests/platforms/win32/ResourceModule.h"

namespace norvik::test {
namespace {

class TestDialog : public CDialog {
public:
    using Script = std::function<void(TestDialog&)>;
    TestDialog(Win32DialogHost& host, int templateId, Script script)
        : CDialog(host, templateId, L"NorvikTests"), script_(std::move(script))
    {
    }

    HWND Hwnd() const
    {
        return static_cast<HWND>(static_cast<Win32DialogHost&>(Host()).ActiveDialogWindow());
    }
    HWND Item(int id) const { return ::GetDlgItem(Hwnd(), id); }

    int setClicks = 0;
    int okCommands = 0;
    int closeMessages = 0;
    std::vector<std::uintptr_t> systemCommands;

protected:
    const MessageMap* GetMessageMap() const override
    {
        using T = TestDialog;
        static const MessageMapEntry entries[] = {
            OnCommand<T, &T::OnSet>(ids::kSetButton, notify::kButtonClicked),
            OnMessage<T, &T::OnClose>(msg::kClose),
            OnMessage<T, &T::OnSysCommand>(msg::kSysCommand),
        };
        static const MessageMap map{nullptr, entries, sizeof entries / sizeof entries[0]};
        return &map;
    }

    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (script_)
            script_(*this);
        return true;
    }

    void OnOK() override { ++okCommands; }

private:
    void OnSet() { ++setClicks; }
    std::intptr_t OnClose(const Message&)
    {
        ++closeMessages;
        return Default();
    }
    std::intptr_t OnSysCommand(const Message& message)
    {
        systemCommands.push_back(message.wParam);
        return Default();
    }

    Script script_;
};

class Win32Host : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ResourceModule(), nullptr) << "NorvikResources.dll is not beside the test program";
        host.InitCommonControls(8, 0xFF);
    }

    int Run(int templateId, TestDialog::Script script)
    {
        TestDialog dialog(host, templateId, std::move(script));
        return dialog.DoModal();
    }

    Win32DialogHost host{ResourceModule()};
};

TEST_F(Win32Host, RunsTheMainTemplateWithItsCaptionAndControls)
{
    const int result = Run(ids::kMainDialog, [](TestDialog& d) {
        DialogWindow& w = d.Window();
        EXPECT_EQ(w.GetText(kSelf), MainDialogTemplate().caption);
        for (const ControlTemplate& c : MainDialogTemplate().controls) {
            if (c.id == ids::kNoId)
                continue;
            SCOPED_TRACE(c.id);
            ASSERT_NE(d.Item(c.id), nullptr);
            EXPECT_EQ(w.IsVisible(c.id), (c.style & style::kVisible) != 0);
            if (c.kind == ControlClass::Button) {
                EXPECT_EQ(w.GetText(c.id), c.caption);
            }
        }
        EXPECT_FALSE(w.IsVisible(ids::kHexReceiveCheck));
        w.Show(ids::kManualGuidCheck, kSwShow);
        EXPECT_TRUE(w.IsVisible(ids::kManualGuidCheck));
        EXPECT_TRUE(w.HasSystemMenu());
        EXPECT_FALSE(w.IsIconic());
        d.EndDialog(42);
    });
    EXPECT_EQ(result, 42);
}

TEST_F(Win32Host, AnUnknownTemplateCannotRun)
{
    bool initialised = false;
    EXPECT_EQ(Run(4711, [&](TestDialog&) { initialised = true; }), -1);
    EXPECT_FALSE(initialised);
}

TEST_F(Win32Host, ExtendedComboKeepsInsertionOrderDataAndEditText)
{
    Run(ids::kMainDialog, [](TestDialog& d) {
        DialogWindow& w = d.Window();
        const int picker = ids::kPicker;
        EXPECT_EQ(w.ComboCount(picker), 0);
        EXPECT_EQ(w.ComboInsertItem(picker, 0, L"Cam A, {11111111-2222-3333-4444-555555555555}"), 0);
        EXPECT_EQ(w.ComboInsertItem(picker, 1, L"相机 B, {AAAAAAAA-2222-3333-4444-555555555555}"), 1);
        EXPECT_EQ(w.ComboInsertItem(picker, 2, L"third"), 2);
        w.ComboSetItemData(picker, 0, 0x0000);
        w.ComboSetItemData(picker, 1, 0x0101);
        w.ComboSetItemData(picker, 2, 0x0200);
        EXPECT_EQ(w.ComboCount(picker), 3);
        EXPECT_EQ(w.ComboItemText(picker, 1), L"相机 B, {AAAAAAAA-2222-3333-4444-555555555555}");
        EXPECT_EQ(w.ComboItemData(picker, 1), 0x0101u);
        EXPECT_EQ(w.ComboItemData(picker, 2), 0x0200u);
        EXPECT_EQ(w.ComboItemData(picker, 7), 0xFFFFFFFFu);
        EXPECT_EQ(w.ComboCurSel(picker), -1);

        w.ComboSetCurSel(picker, 2);
        EXPECT_EQ(w.ComboCurSel(picker), 2);
        EXPECT_EQ(w.GetText(picker), L"third");

        w.SetText(picker, L"{36FC9E60-C465-11CF-8056-444553540000}");
        EXPECT_EQ(w.GetText(picker), L"{36FC9E60-C465-11CF-8056-444553540000}");

        w.ComboReset(picker);
        EXPECT_EQ(w.ComboCount(picker), 0);
        EXPECT_EQ(w.ComboCurSel(picker), -1);
        d.EndDialog(1);
    });
}

TEST_F(Win32Host, ListViewColumnsRowsAndHeader)
{
    Run(ids::kMainDialog, [](TestDialog& d) {
        DialogWindow& w = d.Window();
        const int list = ids::kLogList;
        const wchar_t* titles[] = {L"Line", L"Direct", L"Data(HEX)", L"Data(String)", L"Device", L"XU guid"};
        for (int i = 0; i < 6; ++i)
            w.ListInsertColumn(list, i, titles[i], 50 + i);
        w.ListSetExtendedStyle(list, 0, 0x10021);
        EXPECT_EQ(::SendMessageW(d.Item(list), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x10021);
        ASSERT_TRUE(w.ListHasHeader(list));
        EXPECT_EQ(w.HeaderItemCount(list), 6);
        EXPECT_EQ(w.HeaderItemTitle(list, 3, 258), L"Data(String)");
        EXPECT_EQ(w.HeaderItemTitle(list, 3, 4), L"Data");
        EXPECT_EQ(::SendMessageW(d.Item(list), LVM_GETCOLUMNWIDTH, 2, 0), 52);

        EXPECT_EQ(w.ListInsertItem(list, 0, L""), 0);
        EXPECT_EQ(w.ListInsertItem(list, 1, L""), 1);
        EXPECT_EQ(w.ListInsertItem(list, 0, L"1"), 0);
        EXPECT_EQ(w.ListItemCount(list), 3);
        w.ListSetItemText(list, 0, 1, L"SET CS=1");
        w.ListSetItemText(list, 0, 3, L"中文");
        const std::wstring longText(1000, L'A');
        w.ListSetItemText(list, 0, 2, longText);
        EXPECT_EQ(w.ListItemText(list, 0, 0), L"1");
        EXPECT_EQ(w.ListItemText(list, 0, 1), L"SET CS=1");
        EXPECT_EQ(w.ListItemText(list, 0, 2), longText);
        EXPECT_EQ(w.ListItemText(list, 0, 3), L"中文");
        EXPECT_EQ(w.ListItemText(list, 1, 1), L"");

        w.SetRedraw(list, false);
        w.ScrollToBottom(list);
        w.SetRedraw(list, true);
        w.ListDeleteAllItems(list);
        EXPECT_EQ(w.ListItemCount(list), 0);
        d.EndDialog(1);
    });
}

TEST_F(Win32Host, TextsChecksAndGeometry)
{
    Run(ids::kMainDialog, [](TestDialog& d) {
        DialogWindow& w = d.Window();
        w.SetText(ids::kDataEdit, L"41 42 中");
        EXPECT_EQ(w.GetText(ids::kDataEdit), L"41 42 中");
        EXPECT_EQ(w.GetCheck(ids::kHexSendCheck), 0);
        w.SetCheck(ids::kHexSendCheck, 1);
        EXPECT_EQ(w.GetCheck(ids::kHexSendCheck), 1);

        const Rect screen = w.WindowRect(ids::kLogList);
        const Rect inParent = w.WindowRectInParent(ids::kLogList);
        const Rect client = w.ClientRect(ids::kLogList);
        EXPECT_GT(screen.Width(), 300);
        EXPECT_EQ(screen.Width(), inParent.Width());
        EXPECT_EQ(screen.Height(), inParent.Height());
        EXPECT_LT(client.Width(), screen.Width());  // the border

        w.Move(ids::kSiteLink, Rect{10, 20, 110, 40}, true);
        EXPECT_EQ(w.WindowRectInParent(ids::kSiteLink), (Rect{10, 20, 110, 40}));
        d.EndDialog(1);
    });
}

TEST_F(Win32Host, ControlNotificationsReachTheMessageMap)
{
    TestDialog dialog(host, ids::kMainDialog, [](TestDialog& d) {
        ::SendMessageW(d.Item(ids::kSetButton), BM_CLICK, 0, 0);
        ::SendMessageW(d.Item(ids::kSetButton), BM_CLICK, 0, 0);
        ::SendMessageW(d.Item(ids::kHexSendCheck), BM_CLICK, 0, 0);
        EXPECT_EQ(d.Window().GetCheck(ids::kHexSendCheck), 1);
        d.EndDialog(1);
    });
    dialog.DoModal();
    EXPECT_EQ(dialog.setClicks, 2);
}

TEST_F(Win32Host, EnterIssuesOkAndTheCloseBoxEndsThroughTheCloseHandler)
{
    TestDialog dialog(host, ids::kMainDialog, [](TestDialog& d) {
        ::PostMessageW(d.Item(ids::kCsEdit), WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(d.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(dialog.DoModal(), kIdCancel);
    EXPECT_EQ(dialog.okCommands, 1);
    EXPECT_EQ(dialog.closeMessages, 1);
    ASSERT_FALSE(dialog.systemCommands.empty());
    EXPECT_EQ(dialog.systemCommands.back() & 0xFFF0, std::uintptr_t(SC_CLOSE));
}

TEST_F(Win32Host, EscapeInTheMultiLineEditCancelsWithoutTheCloseHandler)
{
    TestDialog dialog(host, ids::kMainDialog, [](TestDialog& d) {
        ::SetFocus(d.Item(ids::kDataEdit));
        ::PostMessageW(d.Item(ids::kDataEdit), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(dialog.DoModal(), kIdCancel);
    EXPECT_EQ(dialog.closeMessages, 0);
}

TEST_F(Win32Host, SystemMenuGainsTheAboutEntry)
{
    TestDialog dialog(host, ids::kMainDialog, [](TestDialog& d) {
        HMENU menu = ::GetSystemMenu(d.Hwnd(), FALSE);
        const int before = ::GetMenuItemCount(menu);
        d.Window().AppendSystemMenu(kMfSeparator, 0, L"");
        d.Window().AppendSystemMenu(kMfString, ids::kAboutCommand, L"关于 Norvik(&A)...");
        ASSERT_EQ(::GetMenuItemCount(menu), before + 2);
        EXPECT_TRUE(::GetMenuState(menu, UINT(before), MF_BYPOSITION) & MF_SEPARATOR);
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, ids::kAboutCommand, text, 64, MF_BYCOMMAND);
        EXPECT_EQ(std::wstring(text), L"关于 Norvik(&A)...");
        ::PostMessageW(d.Hwnd(), WM_SYSCOMMAND, ids::kAboutCommand, 0);
        ::PostMessageW(d.Hwnd(), WM_CLOSE, 0, 0);
    });
    dialog.DoModal();
    ASSERT_FALSE(dialog.systemCommands.empty());
    EXPECT_EQ(dialog.systemCommands.front(), std::uintptr_t(ids::kAboutCommand));
}

// Reads and dismisses the message box the dialog shows.
struct SeenMessageBox {
    std::wstring caption;
    std::wstring text;
};
SeenMessageBox g_seenBox;

BOOL CALLBACK FindMessageBox(HWND hwnd, LPARAM)
{
    wchar_t name[32] = {};
    ::GetClassNameW(hwnd, name, 32);
    wchar_t caption[128] = {};
    ::GetWindowTextW(hwnd, caption, 128);
    if (std::wstring(name) != L"#32770" || std::wstring(caption) != L"NorvikTests")
        return TRUE;
    g_seenBox.caption = caption;
    wchar_t text[256] = {};
    ::GetDlgItemTextW(hwnd, 0xFFFF, text, 256);
    g_seenBox.text = text;
    ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK DismissMessageBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindMessageBox, 0);
    if (!g_seenBox.caption.empty())
        ::KillTimer(nullptr, timer);
}

TEST_F(Win32Host, MessagesAreModalBoxesWithTheApplicationTitle)
{
    g_seenBox = {};
    Run(ids::kMainDialog, [](TestDialog& d) {
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &DismissMessageBox);
        d.ShowMessage(L"CS 输入错误");
        ::KillTimer(nullptr, timer);
        d.EndDialog(1);
    });
    EXPECT_EQ(g_seenBox.caption, L"NorvikTests");
    EXPECT_EQ(g_seenBox.text, L"CS 输入错误");
}

// Runs the script at WM_INITDIALOG, then, once the dialog is on the screen,
// notes whether the link is too and ends the dialog.
class LinkDialog : public CDialog {
public:
    LinkDialog(Win32DialogHost& host, Runtime& runtime)
        : CDialog(host, ids::kMainDialog, L"NorvikTests"), link(runtime)
    {
    }
    CHyperLink link;
    std::function<void(LinkDialog&)> script;
    bool shown = false;
    bool linkShown = false;

protected:
    void DoDataExchange(DataExchange& exchange) override { exchange.Control(ids::kSiteLink, link); }
    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        script(*this);
        s_running = this;
        s_timer = ::SetTimer(nullptr, 0, 10, &WhenShown);
        return true;
    }

private:
    static void CALLBACK WhenShown(HWND, UINT, UINT_PTR, DWORD)
    {
        LinkDialog& d = *s_running;
        HWND dlg = static_cast<HWND>(static_cast<Win32DialogHost&>(d.Host()).ActiveDialogWindow());
        if (!dlg || !::IsWindowVisible(dlg))
            return;
        ::KillTimer(nullptr, s_timer);
        d.shown = true;
        d.linkShown = ::IsWindowVisible(::GetDlgItem(dlg, ids::kSiteLink)) != FALSE;
        d.EndDialog(1);
    }
    static inline LinkDialog* s_running = nullptr;
    static inline UINT_PTR s_timer = 0;
};

// The tooltip control that has tool 1 of the given window.
HWND g_toolWindow = nullptr;
HWND g_tooltip = nullptr;

BOOL CALLBACK FindTooltip(HWND hwnd, LPARAM)
{
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    if (::lstrcmpiW(name, TOOLTIPS_CLASSW) != 0)
        return TRUE;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = g_toolWindow;
    tool.uId = 1;
    if (!::SendMessageW(hwnd, TTM_GETTOOLINFOW, 0, LPARAM(&tool)))
        return TRUE;
    g_tooltip = hwnd;
    return FALSE;
}

TEST_F(Win32Host, HyperlinkSubclassingTooltipColoursAndClicks)
{
    FakeRuntime runtime;
    LinkDialog dialog(host, runtime);
    dialog.script = [&](LinkDialog& d) {
        HWND dlg = static_cast<HWND>(host.ActiveDialogWindow());
        HWND link = ::GetDlgItem(dlg, ids::kSiteLink);
        ASSERT_NE(link, nullptr);

        // The link font is a copy of the dialog font, and the window has
        // been fitted to its text.
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(link, WM_GETFONT, 0, 0));
        EXPECT_NE(font, nullptr);
        EXPECT_NE(font, reinterpret_cast<HFONT>(::SendMessageW(dlg, WM_GETFONT, 0, 0)));
        const Size extent = d.Window().TextExtent(ids::kSiteLink, FontHandle(font), maker::kWebsiteText);
        EXPECT_EQ(d.Window().ClientRect(ids::kSiteLink).Width(), extent.cx);

        d.link.SetLinkTarget(L"https://norvik-tools.example.org/xu");

        g_toolWindow = link;
        g_tooltip = nullptr;
        ::EnumThreadWindows(::GetCurrentThreadId(), &FindTooltip, 0);
        ASSERT_NE(g_tooltip, nullptr);
        EXPECT_EQ(::SendMessageW(g_tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
        wchar_t tip[128] = {};
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = link;
        tool.uId = 1;
        tool.lpszText = tip;
        ::SendMessageW(g_tooltip, TTM_GETTEXTW, 128, LPARAM(&tool));
        EXPECT_EQ(std::wstring(tip), L"https://norvik-tools.example.org/xu");

        // The reflected colour message: blue text on a transparent background.
        HDC dc = ::GetDC(link);
        const LRESULT brush = ::SendMessageW(dlg, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(link));
        EXPECT_EQ(brush, LRESULT(::GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(::GetTextColor(dc), RGB(0, 0, 255));
        EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
        ::ReleaseDC(link, dc);

        // Hit testing makes the static a mouse target; a click takes the
        // focus and opens the target on the release.
        EXPECT_EQ(::SendMessageW(link, WM_NCHITTEST, 0, 0), HTCLIENT);
        ::SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        EXPECT_EQ(::GetFocus(), link);
        EXPECT_TRUE(runtime.ShellOpenTargets().empty());
        ::SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        ::SendMessageW(link, WM_KEYDOWN, VK_SPACE, 0);
        ::SendMessageW(link, WM_KEYDOWN, 'A', 0);
    };
    dialog.DoModal();
    ASSERT_TRUE(dialog.shown);
    EXPECT_TRUE(dialog.linkShown);
    EXPECT_EQ(runtime.ShellOpenTargets(),
              (std::vector<std::wstring>{L"https://norvik-tools.example.org/xu",
                                         L"https://norvik-tools.example.org/xu"}));
}

// What a thread timer saw of a dialog of this thread before it closed it.
struct SeenDialog {
    std::wstring caption;
    HWND hwnd = nullptr;
    std::vector<std::wstring> texts;  // of the controls asked for
    LRESULT pickerCount = -1;
    LRESULT pickerSelection = -1;
};
SeenDialog g_seen;
std::vector<int> g_textsOf;
UINT g_closeWith = WM_CLOSE;

BOOL CALLBACK FindDialogByCaption(HWND hwnd, LPARAM)
{
    wchar_t caption[256] = {};
    ::GetWindowTextW(hwnd, caption, 256);
    if (g_seen.caption != caption || !::IsWindowVisible(hwnd))
        return TRUE;
    g_seen.hwnd = hwnd;
    return FALSE;
}

void CALLBACK InspectAndClose(HWND, UINT, UINT_PTR timer, DWORD)
{
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindDialogByCaption, 0);
    if (!g_seen.hwnd)
        return;
    ::KillTimer(nullptr, timer);
    for (int id : g_textsOf) {
        wchar_t text[512] = {};
        ::GetDlgItemTextW(g_seen.hwnd, id, text, 512);
        g_seen.texts.push_back(text);
    }
    if (HWND picker = ::GetDlgItem(g_seen.hwnd, ids::kPicker)) {
        g_seen.pickerCount = ::SendMessageW(picker, CB_GETCOUNT, 0, 0);
        g_seen.pickerSelection = ::SendMessageW(picker, CB_GETCURSEL, 0, 0);
    }
    if (g_closeWith == WM_CLOSE)
        ::PostMessageW(g_seen.hwnd, WM_CLOSE, 0, 0);
    else
        ::PostMessageW(g_seen.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void ExpectDialog(const std::wstring& caption, std::vector<int> textsOf, UINT closeWith)
{
    g_seen = SeenDialog{};
    g_seen.caption = caption;
    g_textsOf = std::move(textsOf);
    g_closeWith = closeWith;
}

TEST_F(Win32Host, TheAboutBoxShowsTheVersionLineAndTheMailLink)
{
    FakeRuntime runtime;
    ExpectDialog(AboutDialogTemplate().caption, {ids::kVersionText, ids::kMailLink}, WM_COMMAND);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &InspectAndClose);
    RunAboutBox(host, runtime, L"Norvik");
    ::KillTimer(nullptr, timer);

    ASSERT_NE(g_seen.hwnd, nullptr) << "the About box did not appear";
    ASSERT_EQ(g_seen.texts.size(), 2u);
    BuildTimestamp stamp;
    ParseBuildTimestamp(stamp);
    EXPECT_EQ(g_seen.texts[0], FormatVersionLine(stamp));
    EXPECT_EQ(g_seen.texts[1], maker::kMailAddress);
}

// Ends each dialog of this thread once its initialisation has returned, so
// that it is never shown (hiding a shown window costs Wine seconds without a
// window manager).
int g_endedAfterInit = 0;

LRESULT CALLBACK EndAfterInit(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto& call = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (call.message == WM_INITDIALOG) {
            ::EndDialog(call.hwnd, IDOK);
            ++g_endedAfterInit;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Win32Host, EndedDialogsLeaveNoWindowRecordsBehind)
{
    std::size_t whileRunning = 0;
    Run(ids::kMainDialog, [&](TestDialog& d) {
        whileRunning = host.WindowRecordCount();
        d.EndDialog(1);
    });
    EXPECT_EQ(whileRunning, 1u);

    FakeRuntime runtime;
    g_endedAfterInit = 0;
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &EndAfterInit, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    for (int i = 0; i < 10; ++i)
        RunAboutBox(host, runtime, L"Norvik");
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(g_endedAfterInit, 10);
    EXPECT_EQ(host.WindowRecordCount(), 0u);
}

TEST_F(Win32Host, TheMainDialogRunsOnTheDemoMachineAndWritesItsSettingsOnClose)
{
    const ScenarioLoad demo = LoadDemoScenario();
    ASSERT_TRUE(demo) << demo.error;
    SimPlatform machine(demo.scenario);
    FakeRuntime runtime;
    runtime.SetModulePath(L"C:\\Norvik\\Norvik.exe");
    runtime.SetPathSeparator(L'\\');
    AppPorts ports{runtime, host, machine.CaptureStackPort(), machine.UsbHostPort(),
                   machine.DeviceSetupPort()};

    ExpectDialog(MainDialogTemplate().caption, {ids::kCsEdit, ids::kDataEdit, ids::kInfoEdit}, WM_CLOSE);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &InspectAndClose);
    {
        CNorvikDlg dialog(ports, L"Norvik");
        EXPECT_EQ(dialog.DoModal(), kIdCancel);
    }
    ::KillTimer(nullptr, timer);

    ASSERT_NE(g_seen.hwnd, nullptr) << "the main dialog did not appear";
    EXPECT_GT(g_seen.pickerCount, 0);
    EXPECT_EQ(g_seen.pickerSelection, 0);
    ASSERT_EQ(g_seen.texts.size(), 3u);
    EXPECT_EQ(g_seen.texts[0], L"1");
    EXPECT_EQ(g_seen.texts[1], L"ABCD");
    EXPECT_FALSE(g_seen.texts[2].empty());  // the information line of item 0
    const std::string settings = runtime.FileContents(L"C:\\Norvik\\NorvikCfg.ini");
    EXPECT_NE(settings.find("InuptMode=0"), std::string::npos) << settings;
}

}  // namespace
}  // namespace norvik::test
