#pragma once
// The in-memory dialog host: builds a dialog's controls from its template
// and keeps everything an operator would see (texts, check states, combo
// items, list rows, message boxes, menus, icons, capture and focus) so that
// tests and headless runs can drive and inspect the dialog. Input is
// delivered through the same dispatch entry a real host uses.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/DialogHost.h"
#include "framework/DialogTemplates.h"
#include "framework/Framework.h"

namespace norvik {

struct ShownMessageBox {
    std::wstring text;
    std::wstring caption;
    std::uint32_t flags;
};

struct MemoryControl {
    int id = 0;
    ControlClass kind = ControlClass::Static;
    std::wstring text;
    std::uint32_t style = 0;
    Rect rect;  // pixels, in the dialog's client coordinates
    bool visible = false;
    int check = 0;
    FontHandle font = 0;
    CWnd* subclass = nullptr;
    // Combo box.
    struct Item {
        std::wstring text;
        std::uint32_t data = 0;
    };
    std::vector<Item> items;
    int curSel = -1;
    // List view.
    struct Column {
        std::wstring title;
        int width = 0;
    };
    std::vector<Column> columns;
    std::vector<std::vector<std::wstring>> rows;
    std::uint32_t extendedStyle = 0;
    bool hasHeader = true;
    int redrawSuspended = 0;
    int repaints = 0;
    int scrollsToBottom = 0;
    // Tooltip of a link.
    bool hasTooltip = false;
    std::map<int, std::wstring> tools;
    int relayedEvents = 0;
};

class MemoryDialog : public DialogWindow {
public:
    MemoryDialog(CDialog& dialog, const DialogTemplate& dialogTemplate);
    ~MemoryDialog() override;

    // Inspection.
    MemoryControl& Control(int id);
    bool HasControl(int id) const;
    const DialogTemplate& Template() const { return template_; }
    bool Ended() const { return ended_; }
    int Result() const { return result_; }
    const std::vector<ShownMessageBox>& MessageBoxes() const { return messageBoxes_; }
    struct MenuItem {
        std::uint32_t flags;
        std::uint32_t id;
        std::wstring text;
    };
    const std::vector<MenuItem>& SystemMenu() const { return systemMenu_; }
    IconHandle BigIcon() const { return bigIcon_; }
    IconHandle SmallIcon() const { return smallIcon_; }
    int CaptureId() const { return capture_; }
    int FocusId() const { return focus_; }
    CursorHandle Cursor() const { return cursor_; }
    struct IconPaint {
        IconHandle icon;
        int x, y;
    };
    const std::vector<IconPaint>& IconPaints() const { return iconPaints_; }
    std::vector<std::wstring> ListRow(int id, int row);

    // Settings a test may change.
    void SetIconic(bool iconic) { iconic_ = iconic; }
    void SetHasSystemMenu(bool has) { hasSystemMenu_ = has; }
    void RemoveFont(int id) { Control(id).font = 0; }

    // Operator input, delivered as the real host delivers it.
    std::intptr_t Send(const Message& message);  // to the dialog
    std::intptr_t SendToControl(int id, const Message& message);
    void Click(int id);
    void TypeText(int id, const std::wstring& text);  // an edit, or the picker's edit field
    void DropDown(int comboId);                       // opens and closes the list, no choice
    void ChooseItem(int comboId, int index);          // opens the list and picks an item
    void PressEnter();
    void PressEscape();
    void CloseBox();
    void SystemCommand(std::uint32_t command);

    // DialogWindow.
    void SetText(int id, const std::wstring& text) override;
    std::wstring GetText(int id) override;
    void Show(int id, int showCommand) override;
    bool IsVisible(int id) override;
    std::uint32_t Style(int id) override;
    Rect WindowRect(int id) override;
    Rect WindowRectInParent(int id) override;
    Rect ClientRect(int id) override;
    void Move(int id, const Rect& rect, bool repaint) override;
    void Invalidate(int id, bool erase) override;
    int GetCheck(int id) override;
    void SetCheck(int id, int state) override;
    void ComboReset(int id) override;
    int ComboInsertItem(int id, int index, const std::wstring& text) override;
    void ComboSetItemData(int id, int index, std::uint32_t data) override;
    std::uint32_t ComboItemData(int id, int index) override;
    int ComboCurSel(int id) override;
    void ComboSetCurSel(int id, int index) override;
    std::wstring ComboItemText(int id, int index) override;
    int ComboCount(int id) override;
    void ListInsertColumn(int id, int index, const std::wstring& title, int width) override;
    int ListColumnWidth(int id, int column) override;
    void ListSetExtendedStyle(int id, std::uint32_t mask, std::uint32_t exStyle) override;
    void ListDeleteAllItems(int id) override;
    int ListInsertItem(int id, int index, const std::wstring& text) override;
    void ListSetItemText(int id, int row, int column, const std::wstring& text) override;
    std::wstring ListItemText(int id, int row, int column) override;
    int ListItemCount(int id) override;
    bool ListHasHeader(int id) override;
    int HeaderItemCount(int id) override;
    std::wstring HeaderItemTitle(int id, int index, int maxChars) override;
    void SetRedraw(int id, bool redraw) override;
    void ScrollToBottom(int id) override;
    bool IsIconic() override;
    bool HasSystemMenu() override;
    void AppendSystemMenu(std::uint32_t flags, std::uint32_t commandId, const std::wstring& text) override;
    void SetIcon(bool big, IconHandle icon) override;
    void EndDialog(int result) override;
    int MessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t flags) override;
    void PaintIconic(IconHandle icon, int x, int y) override;
    FontHandle GetFont(int id) override;
    FontHandle CopyFont(FontHandle font) override;
    void DeleteFont(FontHandle font) override;
    void SetFont(int id, FontHandle font, bool redraw) override;
    Size TextExtent(int id, FontHandle font, const std::wstring& text) override;
    void SetCapture(int id) override;
    void ReleaseCapture() override;
    void SetFocus(int id) override;
    CursorHandle LoadHandCursor() override;
    void SetCursor(CursorHandle cursor) override;
    bool CreateTooltip(int id) override;
    void DestroyTooltip(int id) override;
    void AddTool(int id, int toolId, const std::wstring& text, const Rect& area) override;
    void UpdateTipText(int id, int toolId, const std::wstring& text) override;
    void RelayTooltipEvent(int id, const Message& message) override;
    void Subclass(int id, CWnd* target) override;
    std::intptr_t DefaultProcessing(int id, const Message& message) override;

    // Pixels of one character of the dialog font: text extents and the
    // dialog-unit conversion use it.
    static constexpr int kCharWidth = 6;
    static constexpr int kCharHeight = 12;
    static Rect DialogUnitsToPixels(int x, int y, int cx, int cy);

    // Called by the host when the framework object goes away.
    void Detach();

private:
    CDialog* dialog_;
    const DialogTemplate& template_;
    std::wstring caption_;
    std::map<int, MemoryControl> controls_;
    Rect dialogRect_;
    bool ended_ = false;
    int result_ = 0;
    bool iconic_ = false;
    bool hasSystemMenu_ = true;
    IconHandle bigIcon_ = 0, smallIcon_ = 0;
    std::vector<MenuItem> systemMenu_;
    std::vector<ShownMessageBox> messageBoxes_;
    std::vector<IconPaint> iconPaints_;
    int capture_ = -1;
    int focus_ = -1;
    CursorHandle cursor_ = 0;
    FontHandle nextFont_ = 100;
};

class MemoryDialogHost : public DialogHost {
public:
    // What the "operator" does while a modal dialog of a template runs; a
    // dialog without one ends at once with IDCANCEL (a headless run).
    using Interaction = std::function<void(MemoryDialog&)>;
    void OnModal(int templateId, Interaction interaction);

    // Creates a dialog without running it modally: tests drive it and then
    // call Destroy. WM_INITDIALOG has been sent when it returns.
    MemoryDialog& Create(CDialog& dialog, int templateId);
    void Destroy(MemoryDialog& dialog);

    // Every dialog run modally so far, in order, kept for inspection.
    const std::vector<std::unique_ptr<MemoryDialog>>& Finished() const { return finished_; }

    bool CommonControlsInitialised() const { return commonControls_; }

    void InitCommonControls(std::uint32_t size, std::uint32_t classes) override;
    int RunModal(CDialog& dialog, int templateId) override;
    IconHandle LoadIcon(int resourceId) override;
    std::wstring LoadString(unsigned id) override;
    int SystemMetric(int index) override;

    static constexpr IconHandle kMainIconHandle = 0x128;

private:
    std::map<int, Interaction> interactions_;
    std::vector<std::unique_ptr<MemoryDialog>> live_;
    std::vector<std::unique_ptr<MemoryDialog>> finished_;
    bool commonControls_ = false;
};

}  // namespace norvik
