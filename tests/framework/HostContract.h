#pragma once
// The rules every dialog host keeps, facet by facet, as the program's
// dialog relies on them. One typed suite: each host's test program
// instantiates it with an adapter that runs a dialog of the main template
// through that host's real machinery (memory, Qt offscreen, Win32).
//
// An adapter is a default-constructible type with
//   static constexpr const char* kName;
//   DialogHost& Host();
//   // Runs body while the dialog is up, then ends it.
//   void Run(ContractDialog& dialog, const std::function<void(DialogWindow&)>& body);
//   // Whether a text the program sets in the picker's edit field comes back
//   // to the dialog as CBN_EDITCHANGE (Wine's extended combo box sends it,
//   // also when the program selects an item; the memory and Qt hosts only
//   // notify the operator's typing).
//   static constexpr bool kProgramTextNotifies;

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/DialogHost.h"
#include "framework/DialogTemplates.h"
#include "framework/Framework.h"
#include "framework/Messages.h"
#include "framework/ResourceIds.h"

namespace norvik::test {

// A dialog of the main template that binds nothing and counts the picker's
// edit-change notifications.
class ContractDialog : public CDialog {
public:
    explicit ContractDialog(DialogHost& host) : CDialog(host, ids::kMainDialog, L"NorvikTests") {}

    // Run from WM_INITDIALOG when set (for hosts whose dialog runs only
    // inside the system's modal loop).
    std::function<void()> atInit;
    int editChanges = 0;

protected:
    const MessageMap* GetMessageMap() const override
    {
        using T = ContractDialog;
        static const MessageMapEntry entries[] = {
            OnCommand<T, &T::OnEditChange>(ids::kPicker, notify::kComboEditChange),
        };
        static const MessageMap map{nullptr, entries, sizeof entries / sizeof entries[0]};
        return &map;
    }

    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (atInit)
            atInit();
        return true;
    }

private:
    void OnEditChange() { ++editChanges; }
};

template <class Adapter>
class HostContract : public ::testing::Test {
protected:
    // Runs body on a fresh dialog of the host under test.
    void WithDialog(const std::function<void(DialogWindow&, ContractDialog&)>& body)
    {
        ContractDialog dialog(adapter.Host());
        bool ran = false;
        adapter.Run(dialog, [&](DialogWindow& window) {
            ran = true;
            body(window, dialog);
        });
        EXPECT_TRUE(ran) << "the dialog did not come up on " << Adapter::kName;
    }

    static std::vector<std::wstring> ComboTexts(DialogWindow& w)
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < w.ComboCount(ids::kPicker); ++i)
            texts.push_back(w.ComboItemText(ids::kPicker, i));
        return texts;
    }

    static void FillCombo(DialogWindow& w, const std::vector<std::wstring>& texts)
    {
        for (const auto& text : texts)
            w.ComboInsertItem(ids::kPicker, w.ComboCount(ids::kPicker), text);
    }

    static void AddColumns(DialogWindow& w, int count)
    {
        for (int c = 0; c < count; ++c)
            w.ListInsertColumn(ids::kLogList, c, L"列" + std::to_wstring(c), 60 + 10 * c);
    }

    Adapter adapter;
};

TYPED_TEST_SUITE_P(HostContract);

using std::wstring;
constexpr std::uint32_t kCbErr = 0xFFFFFFFFu;

// --- Any window ----------------------------------------------------------

TYPED_TEST_P(HostContract, TextsRoundTripInEveryKindOfWindow)
{
    this->WithDialog([](DialogWindow& w, ContractDialog&) {
        const wstring chinese = L"设备XU选择 {B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}";
        for (int id : {ids::kInfoEdit, ids::kCsEdit, ids::kPickerLabel, ids::kOpenButton, ids::kHexSendCheck,
                       ids::kPicker, kSelf}) {
            SCOPED_TRACE(id);
            w.SetText(id, chinese);
            EXPECT_EQ(w.GetText(id), chinese);
            w.SetText(id, L"");
            EXPECT_EQ(w.GetText(id), L"");
        }
        // The multi-line edit keeps CR LF line breaks as the program writes them.
        const wstring lines = L"第一行\r\n第二行\r\n";
        w.SetText(ids::kDataEdit, lines);
        EXPECT_EQ(w.GetText(ids::kDataEdit), lines);
        // The template's own texts are there from the start.
        EXPECT_EQ(w.GetText(ids::kCloseButton), L"关闭");
    });
}

TYPED_TEST_P(HostContract, ShowAndHideAgreeWithVisibilityAndStyle)
{
    this->WithDialog([](DialogWindow& w, ContractDialog&) {
        // Hidden in the template, shown by the program, hidden again.
        const int id = ids::kHexReceiveCheck;
        EXPECT_FALSE(w.IsVisible(id));
        EXPECT_EQ(w.Style(id) & style::kVisible, 0u);
        w.Show(id, kSwShow);
        EXPECT_TRUE(w.IsVisible(id));
        EXPECT_NE(w.Style(id) & style::kVisible, 0u);
        w.Show(id, kSwHide);
        EXPECT_FALSE(w.IsVisible(id));
        EXPECT_EQ(w.Style(id) & style::kVisible, 0u);
        // The other bits of the style stay the template's.
        EXPECT_EQ(w.Style(id) & 0xFu, style::kBsAutoCheckBox);
        EXPECT_NE(w.Style(id) & style::kChild, 0u);

        EXPECT_TRUE(w.IsVisible(ids::kLogList));
        w.Show(ids::kLogList, kSwHide);
        EXPECT_EQ(w.Style(ids::kLogList) & style::kVisible, 0u);
        EXPECT_EQ(w.Style(ids::kLogList) & style::kLvsReport, style::kLvsReport);
    });
}

TYPED_TEST_P(HostContract, CheckBoxesKeepTheirState)
{
    this->WithDialog([](DialogWindow& w, ContractDialog&) {
        EXPECT_EQ(w.GetCheck(ids::kHexSendCheck), 0);
        w.SetCheck(ids::kHexSendCheck, 1);
        EXPECT_EQ(w.GetCheck(ids::kHexSendCheck), 1);
        EXPECT_EQ(w.GetCheck(ids::kManualGuidCheck), 0);
        w.SetCheck(ids::kHexSendCheck, 0);
        EXPECT_EQ(w.GetCheck(ids::kHexSendCheck), 0);
    });
}

TYPED_TEST_P(HostContract, RectanglesOfOneControlAgree)
{
    this->WithDialog([](DialogWindow& w, ContractDialog&) {
        const Rect dialogClient = w.ClientRect(kSelf);
        EXPECT_EQ(dialogClient.left, 0);
        EXPECT_EQ(dialogClient.top, 0);
        Rect origin{};
        bool first = true;
        for (int id : {ids::kPicker, ids::kInfoEdit, ids::kLogList, ids::kOpenButton}) {
            SCOPED_TRACE(id);
            const Rect screen = w.WindowRect(id);
            const Rect inParent = w.WindowRectInParent(id);
            const Rect client = w.ClientRect(id);
            EXPECT_GT(inParent.Width(), 0);
            EXPECT_GT(inParent.Height(), 0);
            EXPECT_EQ(screen.Width(), inParent.Width());
            EXPECT_EQ(screen.Height(), inParent.Height());
            // Every control of the dialog is offset by the same client origin.
            const Rect offset{screen.left - inParent.left, screen.top - inParent.top, 0, 0};
            if (first)
                origin = offset;
            EXPECT_EQ(offset, origin);
            first = false;
            // The client area is the window less any border, at 0,0.
            EXPECT_EQ(client.left, 0);
            EXPECT_EQ(client.top, 0);
            EXPECT_LE(client.right, inParent.Width());
            EXPECT_LE(client.bottom, inParent.Height());
            EXPECT_GE(client.right, inParent.Width() - 6);
            // The template places the control inside the dialog.
            EXPECT_GE(inParent.left, 0);
            EXPECT_LE(inParent.right, dialogClient.right);
            EXPECT_LE(inParent.bottom, dialogClient.bottom);
        }
        // A push button has no border: its client area is the whole window.
        const Rect button = w.WindowRect(ids::kOpenButton);
        EXPECT_EQ(w.ClientRect(ids::kOpenButton), (Rect{0, 0, button.Width(), button.Height()}));
    });
}

TYPED_TEST_P(HostContract, MoveSetsThePlaceInTheParent)
{
    this->WithDialog([](DialogWindow& w, ContractDialog&) {
        const Rect before = w.WindowRect(ids::kInfoEdit);
        const Rect beforeInParent = w.WindowRectInParent(ids::kInfoEdit);
        const Rect target{20, 30, 220, 52};
        w.Move(ids::kInfoEdit, target, true);
        EXPECT_EQ(w.WindowRectInParent(ids::kInfoEdit), target);
        const Rect after = w.WindowRect(ids::kInfoEdit);
        EXPECT_EQ(after.left - before.left, target.left - beforeInParent.left);
        EXPECT_EQ(after.top - before.top, target.top - beforeInParent.top);
        EXPECT_EQ(after.Width(), target.Width());
        EXPECT_EQ(after.Height(), target.Height());
        // Its neighbours stay where they were.
        const Rect cs = w.WindowRectInParent(ids::kCsEdit);
        w.Move(ids::kInfoEdit, beforeInParent, false);
        EXPECT_EQ(w.WindowRectInParent(ids::kCsEdit), cs);
        EXPECT_EQ(w.WindowRect(ids::kInfoEdit), before);
    });
}

// --- The extended combo box ----------------------------------------------

TYPED_TEST_P(HostContract, ItemsKeepTheOrderTheyWereInsertedIn)
{
    this->WithDialog([this](DialogWindow& w, ContractDialog&) {
        EXPECT_EQ(w.ComboCount(ids::kPicker), 0);
        EXPECT_EQ(w.ComboInsertItem(ids::kPicker, 0, L"乙"), 0);
        EXPECT_EQ(w.ComboInsertItem(ids::kPicker, 1, L"丁"), 1);
        EXPECT_EQ(w.ComboInsertItem(ids::kPicker, 0, L"甲"), 0);
        EXPECT_EQ(w.ComboInsertItem(ids::kPicker, 2, L"丙"), 2);
        // Not sorted: 甲乙丙丁 would sort differently by code point.
        EXPECT_EQ(this->ComboTexts(w), (std::vector<wstring>{L"甲", L"乙", L"丙", L"丁"}));
        EXPECT_EQ(w.ComboItemText(ids::kPicker, 4), L"");
        EXPECT_EQ(w.ComboItemText(ids::kPicker, -1), L"");
    });
}

TYPED_TEST_P(HostContract, ItemDataStaysWithItsItemAcrossInsertsInTheMiddle)
{
    this->WithDialog([this](DialogWindow& w, ContractDialog&) {
        this->FillCombo(w, {L"A", L"B", L"C"});
        w.ComboSetItemData(ids::kPicker, 0, 7);
        w.ComboSetItemData(ids::kPicker, 1, 0x80000001u);
        w.ComboSetItemData(ids::kPicker, 2, 0);
        w.ComboInsertItem(ids::kPicker, 1, L"X");
        w.ComboInsertItem(ids::kPicker, 0, L"Y");
        EXPECT_EQ(this->ComboTexts(w), (std::vector<wstring>{L"Y", L"A", L"X", L"B", L"C"}));
        EXPECT_EQ(w.ComboItemData(ids::kPicker, 1), 7u);
        EXPECT_EQ(w.ComboItemData(ids::kPicker, 3), 0x80000001u);
        EXPECT_EQ(w.ComboItemData(ids::kPicker, 4), 0u);
        // A new item carries no datum until one is set.
        EXPECT_EQ(w.ComboItemData(ids::kPicker, 2), 0u);
        EXPECT_EQ(w.ComboItemData(ids::kPicker, 5), kCbErr);
    });
}

TYPED_TEST_P(HostContract, SelectingShowsTheItemAndSelectingNoneEmptiesTheEdit)
{
    this->WithDialog([this](DialogWindow& w, ContractDialog& dialog) {
        this->FillCombo(w, {L"第一项", L"第二项"});
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
        w.ComboSetCurSel(ids::kPicker, 1);
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), 1);
        EXPECT_EQ(w.GetText(ids::kPicker), L"第二项");
        w.ComboSetCurSel(ids::kPicker, 0);
        EXPECT_EQ(w.GetText(ids::kPicker), L"第一项");

        const int changesBefore = dialog.editChanges;
        w.ComboSetCurSel(ids::kPicker, -1);
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
        EXPECT_EQ(w.GetText(ids::kPicker), L"");
        // The program's own emptying is no typing of the operator.
        EXPECT_EQ(dialog.editChanges, changesBefore);
        EXPECT_EQ(w.ComboCount(ids::kPicker), 2);

        // The program deselects, then writes a typed GUID: the text stays.
        w.ComboSetCurSel(ids::kPicker, 1);
        w.ComboSetCurSel(ids::kPicker, -1);
        w.SetText(ids::kPicker, L"{5A7C0D13-88E4-4F19-B6A2-D94E3170C85F}");
        EXPECT_EQ(w.GetText(ids::kPicker), L"{5A7C0D13-88E4-4F19-B6A2-D94E3170C85F}");
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
    });
}

TYPED_TEST_P(HostContract, InsertingLeavesTheSelectionAndTheEditAlone)
{
    this->WithDialog([this](DialogWindow& w, ContractDialog&) {
        // The first item of an empty list is not selected by inserting it.
        w.SetText(ids::kPicker, L"typed");
        w.ComboInsertItem(ids::kPicker, 0, L"only");
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
        EXPECT_EQ(w.GetText(ids::kPicker), L"typed");
        this->FillCombo(w, {L"second", L"third"});
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
        EXPECT_EQ(w.GetText(ids::kPicker), L"typed");
    });
}

TYPED_TEST_P(HostContract, ResetEmptiesTheItemsAndTheEdit)
{
    this->WithDialog([this](DialogWindow& w, ContractDialog& dialog) {
        this->FillCombo(w, {L"甲", L"乙"});
        w.ComboSetItemData(ids::kPicker, 0, 5);
        w.ComboSetCurSel(ids::kPicker, 1);
        const int changesBefore = dialog.editChanges;
        w.ComboReset(ids::kPicker);
        EXPECT_EQ(w.ComboCount(ids::kPicker), 0);
        EXPECT_EQ(w.ComboCurSel(ids::kPicker), -1);
        EXPECT_EQ(w.GetText(ids::kPicker), L"");
        EXPECT_EQ(w.ComboItemData(ids::kPicker, 0), kCbErr);
        EXPECT_EQ(dialog.editChanges, changesBefore);

        // A text written with nothing selected goes as well.
        w.SetText(ids::kPicker, L"手动");
        w.ComboReset(ids::kPicker);
        EXPECT_EQ(w.GetText(ids::kPicker), L"");

        // Items put in afterwards start afresh.
        this->FillCombo(w, {L"new"});
        EXPECT_EQ(this->ComboTexts(w), (std::vector<wstring>{L"new"}));
        EXPECT_EQ(w.ComboItemData(ids::kPicker, 0), 0u);
    });
}

TYPED_TEST_P(HostContract, ProgramSetTextNotifiesAsTheHostDocuments)
{
    this->WithDialog([](DialogWindow& w, ContractDialog& dialog) {
        const int before = dialog.editChanges;
        w.SetText(ids::kPicker, L"{B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}");
        EXPECT_EQ(dialog.editChanges > before, TypeParam::kProgramTextNotifies) << TypeParam::kName;
    });
}

// --- The list view -------------------------------------------------------

TYPED_TEST_P(HostContract, ColumnsGiveTheHeaderItsTitles)
{
    this->WithDialog([](DialogWindow& w, ContractDialog&) {
        ASSERT_TRUE(w.ListHasHeader(ids::kLogList));
        EXPECT_EQ(w.HeaderItemCount(ids::kLogList), 0);
        w.ListInsertColumn(ids::kLogList, 0, L"序号", 50);
        w.ListInsertColumn(ids::kLogList, 1, L"数据", 70);
        w.ListInsertColumn(ids::kLogList, 1, L"时间", 60);
        EXPECT_EQ(w.HeaderItemCount(ids::kLogList), 3);
        EXPECT_EQ(w.HeaderItemTitle(ids::kLogList, 0, 258), L"序号");
        EXPECT_EQ(w.HeaderItemTitle(ids::kLogList, 1, 258), L"时间");
        EXPECT_EQ(w.HeaderItemTitle(ids::kLogList, 2, 258), L"数据");
        // A title is cut to the characters asked for.
        EXPECT_EQ(w.HeaderItemTitle(ids::kLogList, 2, 1), L"数");
        EXPECT_EQ(w.HeaderItemTitle(ids::kLogList, 3, 258), L"");
    });
}

TYPED_TEST_P(HostContract, ColumnWidthsFromTheWindowRectangleAreKept)
{
    this->WithDialog([](DialogWindow& w, ContractDialog&) {
        // As the dialog lays out its log: one column takes what the list's
        // window rectangle leaves.
        const int width = w.WindowRect(ids::kLogList).Width();
        ASSERT_GT(width, 280);
        const int widths[] = {50, 70, width - 280, 150, 150, 250};
        for (int c = 0; c < 6; ++c)
            w.ListInsertColumn(ids::kLogList, c, L"列", widths[c]);
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(w.ListColumnWidth(ids::kLogList, c), widths[c]) << c;
        EXPECT_EQ(w.ListColumnWidth(ids::kLogList, 6), 0);
        // Rows and extended styles leave the widths alone.
        w.ListSetExtendedStyle(ids::kLogList, 0, 0x10021);
        w.ListInsertItem(ids::kLogList, 0, L"1");
        EXPECT_EQ(w.ListColumnWidth(ids::kLogList, 2), width - 280);
    });
}

TYPED_TEST_P(HostContract, RowsTakeTextsPerCellAndGoAllAtOnce)
{
    this->WithDialog([this](DialogWindow& w, ContractDialog&) {
        this->AddColumns(w, 3);
        EXPECT_EQ(w.ListItemCount(ids::kLogList), 0);
        EXPECT_EQ(w.ListInsertItem(ids::kLogList, 0, L"1"), 0);
        EXPECT_EQ(w.ListInsertItem(ids::kLogList, 1, L"3"), 1);
        EXPECT_EQ(w.ListInsertItem(ids::kLogList, 1, L"2"), 1);
        ASSERT_EQ(w.ListItemCount(ids::kLogList), 3);
        EXPECT_EQ(w.ListItemText(ids::kLogList, 0, 0), L"1");
        EXPECT_EQ(w.ListItemText(ids::kLogList, 1, 0), L"2");
        EXPECT_EQ(w.ListItemText(ids::kLogList, 2, 0), L"3");
        // A cell not yet written is empty.
        EXPECT_EQ(w.ListItemText(ids::kLogList, 1, 2), L"");

        const wstring longText(700, L'数');  // longer than a first read buffer
        w.ListSetItemText(ids::kLogList, 1, 1, L"成功");
        w.ListSetItemText(ids::kLogList, 1, 2, longText);
        w.ListSetItemText(ids::kLogList, 0, 0, L"一");
        EXPECT_EQ(w.ListItemText(ids::kLogList, 1, 1), L"成功");
        EXPECT_EQ(w.ListItemText(ids::kLogList, 1, 2), longText);
        EXPECT_EQ(w.ListItemText(ids::kLogList, 0, 0), L"一");
        EXPECT_EQ(w.ListItemText(ids::kLogList, 2, 1), L"");
        EXPECT_EQ(w.ListItemText(ids::kLogList, 5, 0), L"");

        w.ListDeleteAllItems(ids::kLogList);
        EXPECT_EQ(w.ListItemCount(ids::kLogList), 0);
        EXPECT_EQ(w.ListItemText(ids::kLogList, 0, 0), L"");
        // The columns stay.
        EXPECT_EQ(w.HeaderItemCount(ids::kLogList), 3);
        EXPECT_EQ(w.ListInsertItem(ids::kLogList, 0, L"again"), 0);
        EXPECT_EQ(w.ListItemCount(ids::kLogList), 1);
    });
}

TYPED_TEST_P(HostContract, RedrawOffThenOnKeepsWhatWasWrittenMeanwhile)
{
    this->WithDialog([this](DialogWindow& w, ContractDialog&) {
        this->AddColumns(w, 2);
        w.ListInsertItem(ids::kLogList, 0, L"before");
        w.SetRedraw(ids::kLogList, false);
        for (int row = 1; row <= 20; ++row) {
            w.ListInsertItem(ids::kLogList, row, std::to_wstring(row));
            w.ListSetItemText(ids::kLogList, row, 1, L"行" + std::to_wstring(row));
        }
        // Counted and readable while painting is off.
        EXPECT_EQ(w.ListItemCount(ids::kLogList), 21);
        EXPECT_EQ(w.ListItemText(ids::kLogList, 20, 1), L"行20");
        w.SetRedraw(ids::kLogList, true);
        w.ScrollToBottom(ids::kLogList);
        EXPECT_EQ(w.ListItemCount(ids::kLogList), 21);
        EXPECT_EQ(w.ListItemText(ids::kLogList, 0, 0), L"before");
        EXPECT_EQ(w.ListItemText(ids::kLogList, 7, 1), L"行7");
        EXPECT_TRUE(w.IsVisible(ids::kLogList));
        EXPECT_EQ(w.HeaderItemCount(ids::kLogList), 2);
    });
}

REGISTER_TYPED_TEST_SUITE_P(HostContract, TextsRoundTripInEveryKindOfWindow,
                            ShowAndHideAgreeWithVisibilityAndStyle, CheckBoxesKeepTheirState,
                            RectanglesOfOneControlAgree, MoveSetsThePlaceInTheParent,
                            ItemsKeepTheOrderTheyWereInsertedIn,
                            ItemDataStaysWithItsItemAcrossInsertsInTheMiddle,
                            SelectingShowsTheItemAndSelectingNoneEmptiesTheEdit,
                            InsertingLeavesTheSelectionAndTheEditAlone, ResetEmptiesTheItemsAndTheEdit,
                            ProgramSetTextNotifiesAsTheHostDocuments, ColumnsGiveTheHeaderItsTitles,
                            ColumnWidthsFromTheWindowRectangleAreKept, RowsTakeTextsPerCellAndGoAllAtOnce,
                            RedrawOffThenOnKeepsWhatWasWrittenMeanwhile);

// The test names read HostContract/<host>.
struct HostName {
    template <class Adapter>
    static std::string GetName(int)
    {
        return Adapter::kName;
    }
};

}  // namespace norvik::test
