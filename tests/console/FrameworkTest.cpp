#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "framework/Framework.h"
#include "framework/ResourceIds.h"
#include "platforms/sim/MemoryDialogHost.h"

namespace norvik {
namespace {

// A dialog on the About template whose map records what reached it.
class RecordingDialog : public CDialog {
public:
    explicit RecordingDialog(DialogHost& host) : CDialog(host, ids::kAboutDialog, L"norvik") {}

    std::vector<std::string> calls;

    void OnButton() { calls.push_back("button"); }
    void OnOutOfMemory() { throw std::bad_alloc(); }
    std::intptr_t OnClose(const Message&)
    {
        calls.push_back("close");
        return Default();
    }
    std::intptr_t OnSysCommand(const Message& message)
    {
        calls.push_back("sys " + std::to_string(message.wParam));
        return Default();
    }

protected:
    const MessageMap* GetMessageMap() const override { return &kMap; }
    bool OnInitDialog() override
    {
        calls.push_back("init");
        return CDialog::OnInitDialog();
    }

private:
    static const MessageMapEntry kEntries[];
    static const MessageMap kMap;
};

const MessageMapEntry RecordingDialog::kEntries[] = {
    OnCommand<RecordingDialog, &RecordingDialog::OnButton>(ids::kMailLink, notify::kButtonClicked),
    OnMessage<RecordingDialog, &RecordingDialog::OnClose>(msg::kClose),
    OnMessage<RecordingDialog, &RecordingDialog::OnSysCommand>(msg::kSysCommand),
    OnCommand<RecordingDialog, &RecordingDialog::OnOutOfMemory>(ids::kMailLink, notify::kComboSelChange),
};
const MessageMap RecordingDialog::kMap = {nullptr, kEntries, 4};

TEST(Framework, RoutesCommandsByControlAndNotification)
{
    MemoryDialogHost host;
    RecordingDialog dialog(host);
    MemoryDialog& window = host.Create(dialog, ids::kAboutDialog);
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"init"});

    window.Send({msg::kCommand, MakeCommandParam(ids::kMailLink, notify::kButtonClicked), 0});
    window.Send({msg::kCommand, MakeCommandParam(ids::kMailLink, notify::kComboDropDown), 0});
    window.Send({msg::kCommand, MakeCommandParam(ids::kVersionText, notify::kButtonClicked), 0});
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"init", "button"}));
    EXPECT_FALSE(window.Ended());
    host.Destroy(window);
}

TEST(Framework, AHandlerOutOfMemoryIsReportedInTheTitledBox)
{
    MemoryDialogHost host;
    RecordingDialog dialog(host);
    MemoryDialog& window = host.Create(dialog, ids::kAboutDialog);
    window.Send({msg::kCommand, MakeCommandParam(ids::kMailLink, notify::kComboSelChange), 0});
    ASSERT_EQ(window.MessageBoxes().size(), 1u);
    EXPECT_EQ(window.MessageBoxes().back().text, L"内存不足。");
    EXPECT_EQ(window.MessageBoxes().back().caption, L"norvik");
    EXPECT_FALSE(window.Ended());
    host.Destroy(window);
}

TEST(Framework, CloseBoxRunsTheCloseHandlerThenEndsWithCancel)
{
    MemoryDialogHost host;
    RecordingDialog dialog(host);
    MemoryDialog& window = host.Create(dialog, ids::kAboutDialog);
    window.CloseBox();
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"init", "sys 61536", "close"}));
    EXPECT_TRUE(window.Ended());
    EXPECT_EQ(window.Result(), kIdCancel);
    host.Destroy(window);
}

TEST(Framework, EscapeEndsWithoutTheCloseHandlerAndEnterEndsWithOk)
{
    MemoryDialogHost host;
    RecordingDialog escaped(host);
    MemoryDialog& first = host.Create(escaped, ids::kAboutDialog);
    first.PressEscape();
    EXPECT_TRUE(first.Ended());
    EXPECT_EQ(first.Result(), kIdCancel);
    EXPECT_EQ(escaped.calls, std::vector<std::string>{"init"});
    host.Destroy(first);

    RecordingDialog entered(host);
    MemoryDialog& second = host.Create(entered, ids::kAboutDialog);
    second.PressEnter();
    EXPECT_EQ(second.Result(), kIdOk);
    host.Destroy(second);
}

TEST(Framework, RunModalHandsTheDialogToTheInteraction)
{
    MemoryDialogHost host;
    RecordingDialog dialog(host);
    bool ran = false;
    host.OnModal(ids::kAboutDialog, [&](MemoryDialog& window) {
        ran = true;
        window.Click(ids::kMailLink);
        window.PressEnter();
    });
    EXPECT_EQ(dialog.DoModal(), kIdOk);
    EXPECT_TRUE(ran);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"init", "button"}));
    EXPECT_FALSE(dialog.HasWindow());
}

TEST(MemoryDialogHost, ConvertsDialogUnitsLikeTheDialogManager)
{
    // 6 x 12 pixel characters: 1.5 pixels per horizontal and vertical unit.
    EXPECT_EQ(MemoryDialog::DialogUnitsToPixels(18, 207, 449, 252), (Rect{27, 311, 27 + 674, 311 + 378}));
}

}  // namespace
}  // namespace norvik
