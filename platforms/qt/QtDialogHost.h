#pragma once
// The dialog host on Qt 6 Widgets, for the Linux desktop. A dialog template
// becomes a QDialog whose controls sit where the template puts them, in
// pixels from the dialog font's base units; every message reaches the
// framework through CWnd::Dispatch:
//
//   buttons and check boxes   BN_CLICKED when the operator clicks them (or
//                             presses the space bar on them)
//   the picker                CBN_DROPDOWN before its list opens,
//                             CBN_CLOSEUP when it closes, CBN_SELCHANGE when
//                             the operator chooses an item (a choice that
//                             closes the list comes first, so the closing
//                             sees the chosen item), CBN_EDITCHANGE
//                             when the operator types (never for a text the
//                             program sets)
//   Escape                    WM_COMMAND IDCANCEL, which ends the dialog
//                             without its close handler
//   Enter                     the focused push button's BN_CLICKED, else
//                             WM_COMMAND IDOK (a multi-line edit with
//                             ES_WANTRETURN takes it as a line break)
//   the close box, Alt+F4     WM_SYSCOMMAND SC_CLOSE, which becomes WM_CLOSE
//   the context menu          stands for the system menu: Minimize, Close
//                             and the items the dialog appends; an item
//                             sends WM_SYSCOMMAND with its command id
//   static controls           mouse, key and focus messages and the
//                             reflected WM_CTLCOLOR for their window object
//
// A QApplication must exist while the host runs dialogs.
//
// QtDialogWindow's operations are defined in one file per facet of the
// port: QtWindowFacet.cpp, QtComboBox.cpp, QtListView.cpp,
// QtDialogFrame.cpp and QtLinkSupport.cpp; creation, events and message
// routing stay in QtDialogHost.cpp.

#include <QIcon>
#include <QPointer>
#include <QScrollArea>
#include <QSize>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/DialogHost.h"
#include "framework/DialogTemplates.h"
#include "framework/Framework.h"
#include "platforms/qt/DialogFont.h"
#include "platforms/qt/QtControls.h"

class QMenu;
class QTableView;

namespace norvik {

class QtDialogHost;

struct QtMessageBoxRecord {
    std::wstring text;
    std::wstring caption;
    std::uint32_t flags = 0;
};

class QtDialogWindow final : public DialogWindow, private ControlEvents {
public:
    QtDialogWindow(QtDialogHost& host, CDialog& dialog, const DialogTemplate& dialogTemplate,
                   QWidget* parent);
    ~QtDialogWindow() override;

    QtDialogWindow(const QtDialogWindow&) = delete;
    QtDialogWindow& operator=(const QtDialogWindow&) = delete;

    // Sends WM_INITDIALOG and, unless the dialog ended already, runs the
    // modal loop until EndDialog. Returns the end result.
    int Run(const std::function<void(QtDialogWindow&)>& interaction);
    // Releases the widgets; the window object stays usable (every call on
    // it does nothing), since control objects may outlive their dialog.
    void Close();

    // Read by tests and tools.
    QDialog* Widget() const { return widget_; }
    QWidget* ControlWidget(int id) const;  // nullptr for an unknown id
    // The scroll area the controls sit in when the dialog is larger than
    // the screen (see FitToScreen); nullptr while they sit on the dialog.
    QScrollArea* ScrollArea() const { return scrollArea_; }
    const DialogTemplate& Template() const { return template_; }
    const BaseUnits& Units() const { return units_; }
    bool Ended() const { return ended_; }
    int Result() const { return result_; }
    const std::vector<QtMessageBoxRecord>& MessageBoxes() const { return messageBoxes_; }
    int CaptureId() const { return capture_; }
    // The menu standing for the system menu (built when it is shown).
    std::unique_ptr<QMenu> BuildSystemMenu();
    // Operator input that has no widget of its own.
    void PressEscape();
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

    static constexpr FontHandle kDialogFont = 1;
    static constexpr CursorHandle kHandCursor = 32649;  // IDC_HAND

    // Tooltip state of a control, as tests read it.
    struct Tooltip {
        bool exists = false;
        std::map<int, std::wstring> tools;
        int relayedEvents = 0;
    };
    const Tooltip* TooltipOf(int id) const;

private:
    void FitToScreen();

    struct Control {
        int id = 0;
        ControlClass kind = ControlClass::Static;
        std::uint32_t style = 0;
        QPointer<QWidget> widget;
        CWnd* subclass = nullptr;
        FontHandle font = kDialogFont;
        Tooltip tooltip;
        std::wstring listText;  // a list view's own window text
        bool scrollPending = false;
        std::uint32_t listExStyle = 0;  // a list view's extended style
    };

    void CreateControls();
    // key: the id the control is kept under (a negative one for a control
    // without an id).
    QWidget* CreateControl(const ControlTemplate& control, int key);
    Control* Find(int id);
    const Control* Find(int id) const;
    int ControlIdOf(QWidget* widget) const;
    // Sends a message to the dialog object: nothing once it has ended or
    // been detached.
    std::intptr_t SendToDialog(const Message& message);
    void FocusFirstTabStop();
    void ApplyListStyle(Control& control);
    void SetFocusWithoutNotice(int id);

    // ControlEvents.
    void Notify(int controlId, int notification) override;
    std::intptr_t Input(int controlId, const Message& message) override;
    std::intptr_t Send(int controlId, const Message& message) override;
    bool StaticColours(int controlId, ControlColours& colours) override;
    bool HasCapture(int controlId) const override;
    bool DialogKey(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers) override;
    void DialogCloseBox() override;
    void DialogContextMenu(const QPoint& globalPosition) override;
    void DialogPaint() override;

    QtDialogHost& host_;
    CDialog* dialog_;
    const DialogTemplate& template_;
    QPointer<DialogWidget> widget_;
    QPointer<QScrollArea> scrollArea_;
    QFont dialogFont_;
    BaseUnits units_;
    std::map<int, Control> controls_;
    std::unordered_map<const QWidget*, int> widgetIds_;
    std::map<FontHandle, QFont> fonts_;
    FontHandle nextFont_ = kDialogFont + 1;
    struct MenuItem {
        std::uint32_t flags;
        std::uint32_t id;
        std::wstring text;
    };
    std::vector<MenuItem> systemMenu_;
    std::vector<QtMessageBoxRecord> messageBoxes_;
    bool ended_ = false;
    bool running_ = false;
    int result_ = 0;
    int capture_ = -1;
    int activeControl_ = -1;  // the control whose message is being handled
    bool painting_ = false;
    IconHandle bigIcon_ = 0, smallIcon_ = 0;
};

class QtDialogHost final : public DialogHost {
public:
    QtDialogHost();
    ~QtDialogHost() override;

    QtDialogHost(const QtDialogHost&) = delete;
    QtDialogHost& operator=(const QtDialogHost&) = delete;

    // What runs once a modal dialog of a template is up (tests drive the
    // dialog with it); a dialog left running afterwards gets Escape.
    using Interaction = std::function<void(QtDialogWindow&)>;
    void OnModal(int templateId, Interaction interaction);

    // The dialog windows now running, innermost last.
    const std::vector<QtDialogWindow*>& Running() const { return running_; }
    bool CommonControlsInitialised() const { return commonControls_; }

    QIcon Icon(IconHandle handle) const;

    // The area a dialog has to fit into: the available geometry of the
    // screen it is shown on, unless one is set here (tests).
    void SetScreenArea(QSize area) { screenArea_ = area; }
    QSize ScreenArea(const QWidget& dialog) const;

    void InitCommonControls(std::uint32_t size, std::uint32_t classes) override;
    int RunModal(CDialog& dialog, int templateId) override;
    IconHandle LoadIcon(int resourceId) override;
    std::wstring LoadString(unsigned id) override;
    int SystemMetric(int index) override;

    static constexpr int kIconSize = 32;  // SM_CXICON, SM_CYICON

private:
    std::map<int, Interaction> interactions_;
    std::vector<QtDialogWindow*> running_;
    // Ended dialogs' window objects: control objects of a dialog are
    // destroyed after its modal loop and still release fonts and tooltips
    // through their window.
    std::vector<std::unique_ptr<QtDialogWindow>> finished_;
    std::map<IconHandle, QIcon> icons_;
    bool commonControls_ = false;
    QSize screenArea_;  // empty: the screen's own
};

}  // namespace norvik
