#pragma once
// The dialog host port: the dialog framework's window system. A host
// creates a dialog's controls from its template, delivers every message
// through CWnd::Dispatch, and gives the framework the operations on the
// dialog and its controls that the program uses. Implemented in memory
// (platforms/sim), on Qt (platforms/qt) and on Win32 (platforms/win32).

#include <cstdint>
#include <string>

namespace norvik {

class CDialog;
class CWnd;
struct Message;

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int cx = 0, cy = 0;
};

using IconHandle = std::uintptr_t;
using FontHandle = std::uintptr_t;
using CursorHandle = std::uintptr_t;

// The colours a static control asks for in a reflected WM_CTLCOLOR; the
// pointer travels in the message's lParam.
struct ControlColours {
    std::uint32_t textColour = 0;  // COLORREF
    bool transparentBackground = false;
    bool nullBrush = false;
};

constexpr int kSelf = 0;  // "control id" that names the dialog itself

// The operations on a created dialog and its controls, in facets: each
// names one kind of window and what the program asks of it, so a host's
// behaviour can be checked facet by facet (the same rules on every host).
// Every call takes the control id (kSelf for the dialog where allowed).

// Any window (kSelf or a control id), and check boxes.
class WindowFacet {
public:
    virtual ~WindowFacet() = default;

    virtual void SetText(int id, const std::wstring& text) = 0;
    virtual std::wstring GetText(int id) = 0;
    virtual void Show(int id, int showCommand) = 0;
    // Visible means the window's own WS_VISIBLE bit, as Style reports it.
    virtual bool IsVisible(int id) = 0;
    virtual std::uint32_t Style(int id) = 0;
    virtual Rect WindowRect(int id) = 0;          // screen coordinates
    virtual Rect WindowRectInParent(int id) = 0;  // the parent's client coordinates
    virtual Rect ClientRect(int id) = 0;
    virtual void Move(int id, const Rect& rect, bool repaint) = 0;
    virtual void Invalidate(int id, bool erase) = 0;

    virtual int GetCheck(int id) = 0;
    virtual void SetCheck(int id, int state) = 0;
};

// Extended combo box: items keep insertion order, one 32-bit datum each.
// Selecting -1 and resetting the content both leave the edit field empty.
class ComboBoxFacet {
public:
    virtual ~ComboBoxFacet() = default;

    virtual void ComboReset(int id) = 0;
    virtual int ComboInsertItem(int id, int index, const std::wstring& text) = 0;
    virtual void ComboSetItemData(int id, int index, std::uint32_t data) = 0;
    virtual std::uint32_t ComboItemData(int id, int index) = 0;
    virtual int ComboCurSel(int id) = 0;  // -1: no selection
    virtual void ComboSetCurSel(int id, int index) = 0;
    virtual std::wstring ComboItemText(int id, int index) = 0;
    virtual int ComboCount(int id) = 0;
};

// List view in report mode and its header.
class ListViewFacet {
public:
    virtual ~ListViewFacet() = default;

    virtual void ListInsertColumn(int id, int index, const std::wstring& title, int width) = 0;
    virtual int ListColumnWidth(int id, int column) = 0;  // pixels; 0 for no such column
    virtual void ListSetExtendedStyle(int id, std::uint32_t mask, std::uint32_t exStyle) = 0;
    virtual void ListDeleteAllItems(int id) = 0;
    virtual int ListInsertItem(int id, int index, const std::wstring& text) = 0;
    virtual void ListSetItemText(int id, int row, int column, const std::wstring& text) = 0;
    virtual std::wstring ListItemText(int id, int row, int column) = 0;
    virtual int ListItemCount(int id) = 0;
    virtual bool ListHasHeader(int id) = 0;
    virtual int HeaderItemCount(int id) = 0;
    virtual std::wstring HeaderItemTitle(int id, int index, int maxChars) = 0;
    // Off: changes are kept but not painted; on again repaints them.
    virtual void SetRedraw(int id, bool redraw) = 0;
    virtual void ScrollToBottom(int id) = 0;
};

// The dialog window itself: its frame, system menu, icons, end and the
// message boxes it owns.
class DialogFrameFacet {
public:
    virtual ~DialogFrameFacet() = default;

    virtual bool IsIconic() = 0;
    virtual bool HasSystemMenu() = 0;
    virtual void AppendSystemMenu(std::uint32_t flags, std::uint32_t commandId, const std::wstring& text) = 0;
    virtual void SetIcon(bool big, IconHandle icon) = 0;
    virtual void EndDialog(int result) = 0;
    virtual int MessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t flags) = 0;
    // BeginPaint, WM_ICONERASEBKGND with the paint context, DrawIcon, EndPaint.
    virtual void PaintIconic(IconHandle icon, int x, int y) = 0;
};

// What a hyperlink static asks of its host: fonts, text extents, mouse
// capture, focus, the hand cursor and a tooltip.
class LinkSupportFacet {
public:
    virtual ~LinkSupportFacet() = default;

    virtual FontHandle GetFont(int id) = 0;
    virtual FontHandle CopyFont(FontHandle font) = 0;  // LOGFONT copy; 0 on failure
    virtual void DeleteFont(FontHandle font) = 0;
    virtual void SetFont(int id, FontHandle font, bool redraw) = 0;
    virtual Size TextExtent(int id, FontHandle font, const std::wstring& text) = 0;
    virtual void SetCapture(int id) = 0;
    virtual void ReleaseCapture() = 0;
    virtual void SetFocus(int id) = 0;
    virtual CursorHandle LoadHandCursor() = 0;  // 0 when there is none
    virtual void SetCursor(CursorHandle cursor) = 0;
    virtual bool CreateTooltip(int id) = 0;
    virtual void DestroyTooltip(int id) = 0;
    virtual void AddTool(int id, int toolId, const std::wstring& text, const Rect& area) = 0;
    virtual void UpdateTipText(int id, int toolId, const std::wstring& text) = 0;
    virtual void RelayTooltipEvent(int id, const Message& message) = 0;
};

// How messages of a control reach framework objects.
class MessageRoutingFacet {
public:
    virtual ~MessageRoutingFacet() = default;

    // Routes the messages of control id to a framework object (subclassing).
    virtual void Subclass(int id, CWnd* target) = 0;
    // The host's own processing of a message the framework did not handle.
    virtual std::intptr_t DefaultProcessing(int id, const Message& message) = 0;
};

// One created dialog with its child controls: every facet.
class DialogWindow : public WindowFacet,
                     public ComboBoxFacet,
                     public ListViewFacet,
                     public DialogFrameFacet,
                     public LinkSupportFacet,
                     public MessageRoutingFacet {};

class DialogHost {
public:
    virtual ~DialogHost() = default;
    // InitCommonControlsEx; the application calls it once at start.
    virtual void InitCommonControls(std::uint32_t size, std::uint32_t classes) = 0;
    // Creates the dialog from its template, sends WM_INITDIALOG and runs it
    // until EndDialog; returns the end result (-1 when it cannot be created).
    virtual int RunModal(CDialog& dialog, int templateId) = 0;
    // The dialog object is being destroyed. Its own part and its control
    // members are gone already, so nothing can call the windows it ran in
    // any more: a host may drop what it kept of them.
    virtual void DialogDestroyed(CDialog& /*dialog*/) {}
    virtual IconHandle LoadIcon(int resourceId) = 0;
    virtual std::wstring LoadString(unsigned id) = 0;
    virtual int SystemMetric(int index) = 0;
};

}  // namespace norvik
