#include "platforms/win32/Win32DialogHost.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "framework/Messages.h"
#include "platforms/win32/WindowsApi.h"

namespace norvik {

namespace {

// The window property that links a subclassed window to its record.
constexpr wchar_t kSubclassProperty[] = L"Norvik.Subclass";

struct Subclassed {
    HWND hwnd = nullptr;
    int id = kSelf;
    WNDPROC original = nullptr;
    CWnd* target = nullptr;
    Win32DialogWindow* owner = nullptr;
};

Subclassed* RecordOf(HWND hwnd)
{
    return hwnd ? static_cast<Subclassed*>(::GetPropW(hwnd, kSubclassProperty)) : nullptr;
}

Rect ToRect(const RECT& r) { return {int(r.left), int(r.top), int(r.right), int(r.bottom)}; }

std::wstring WindowText(HWND hwnd)
{
    if (!hwnd)
        return std::wstring();
    const int length = ::GetWindowTextLengthW(hwnd);
    if (length <= 0)
        return std::wstring();
    std::wstring text(std::size_t(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(std::size_t(copied > 0 ? copied : 0));
    return text;
}

std::wstring ClassName(HWND hwnd)
{
    wchar_t name[64] = {};
    const int length = ::GetClassNameW(hwnd, name, 64);
    return std::wstring(name, std::size_t(length > 0 ? length : 0));
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace

class Win32DialogWindow final : public DialogWindow {
public:
    explicit Win32DialogWindow(CDialog& dialog) : dialog_(&dialog) {}
    ~Win32DialogWindow() override { ReleaseAll(); }

    HWND Handle() const { return hwnd_; }

    // Called with the dialog's window at WM_INITDIALOG: subclasses it and
    // hands the framework its window.
    void Attach(HWND hwnd)
    {
        hwnd_ = hwnd;
        Hook(hwnd, kSelf, dialog_, &DialogWindowProc);
        dialog_->AttachDialogWindow(this);
    }

    // After the modal loop: the framework object may be gone from now on.
    void Detach() { dialog_ = nullptr; }

    std::intptr_t DispatchToDialog(const Message& message)
    {
        if (IsWithheldEditChange(message))
            return 0;
        return dialog_ ? dialog_->Dispatch(message) : 0;
    }

    // The framework's pre-translation of one message of the modal loop.
    // True: the message is swallowed.
    bool PreTranslate(const MSG& msg)
    {
        if (!dialog_ || !hwnd_)
            return false;
        const MSG* outer = preTranslating_;
        preTranslating_ = &msg;
        const Message message{msg.message, msg.wParam, msg.lParam};
        bool swallowed = false;
        for (HWND h = msg.hwnd; h && h != hwnd_ && !swallowed; h = ::GetParent(h)) {
            Subclassed* record = RecordOf(h);
            if (record && record->owner == this && record->target)
                swallowed = record->target->PreTranslateMessage(message);
        }
        if (!swallowed && dialog_)
            swallowed = dialog_->PreTranslateMessage(message);
        if (!swallowed)
            swallowed = CancelFromMultiLineEdit(msg);
        preTranslating_ = outer;
        return swallowed;
    }

    // The window (dialog or control) is being destroyed: its original
    // procedure is put back and the record dropped.
    void Unhook(Subclassed* record)
    {
        if (::GetWindowLongPtrW(record->hwnd, GWLP_WNDPROC) ==
            LONG_PTR(record->id == kSelf ? &DialogWindowProc : &ControlWindowProc))
            ::SetWindowLongPtrW(record->hwnd, GWLP_WNDPROC, LONG_PTR(record->original));
        ::RemovePropW(record->hwnd, kSubclassProperty);
        if (record->hwnd == hwnd_)
            hwnd_ = nullptr;
        subclassed_.erase(record->hwnd);
    }

    // DialogWindow ------------------------------------------------------

    void SetText(int id, const std::wstring& text) override
    {
        if (HWND h = Item(id))
            ::SetWindowTextW(h, text.c_str());
    }

    std::wstring GetText(int id) override { return WindowText(Item(id)); }

    void Show(int id, int showCommand) override
    {
        if (HWND h = Item(id))
            ::ShowWindow(h, showCommand);
    }

    bool IsVisible(int id) override { return (Style(id) & WS_VISIBLE) != 0; }

    std::uint32_t Style(int id) override
    {
        HWND h = Item(id);
        return h ? std::uint32_t(::GetWindowLongW(h, GWL_STYLE)) : 0;
    }

    Rect WindowRect(int id) override
    {
        RECT r{};
        if (HWND h = Item(id))
            ::GetWindowRect(h, &r);
        return ToRect(r);
    }

    Rect WindowRectInParent(int id) override
    {
        RECT r{};
        if (HWND h = Item(id)) {
            ::GetWindowRect(h, &r);
            if (HWND parent = ::GetParent(h); parent && id != kSelf)
                ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        }
        return ToRect(r);
    }

    Rect ClientRect(int id) override
    {
        RECT r{};
        if (HWND h = Item(id))
            ::GetClientRect(h, &r);
        return ToRect(r);
    }

    void Move(int id, const Rect& rect, bool repaint) override
    {
        if (HWND h = Item(id))
            ::MoveWindow(h, rect.left, rect.top, rect.Width(), rect.Height(), repaint ? TRUE : FALSE);
    }

    void Invalidate(int id, bool erase) override
    {
        if (HWND h = Item(id))
            ::InvalidateRect(h, nullptr, erase ? TRUE : FALSE);
    }

    int GetCheck(int id) override { return int(Send(id, BM_GETCHECK, 0, 0)); }
    void SetCheck(int id, int state) override { Send(id, BM_SETCHECK, WPARAM(state), 0); }

    void ComboReset(int id) override
    {
        Send(id, CB_RESETCONTENT, 0, 0);
        EmptyComboEdit(id);
    }

    int ComboInsertItem(int id, int index, const std::wstring& text) override
    {
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT;
        item.iItem = index;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        return int(Send(id, CBEM_INSERTITEMW, 0, LPARAM(&item)));
    }

    void ComboSetItemData(int id, int index, std::uint32_t data) override
    {
        Send(id, CB_SETITEMDATA, WPARAM(index), LPARAM(data));
    }

    std::uint32_t ComboItemData(int id, int index) override
    {
        return std::uint32_t(Send(id, CB_GETITEMDATA, WPARAM(index), 0));
    }

    int ComboCurSel(int id) override { return int(Send(id, CB_GETCURSEL, 0, 0)); }
    void ComboSetCurSel(int id, int index) override
    {
        Send(id, CB_SETCURSEL, WPARAM(index), 0);
        if (index < 0 || index >= ComboCount(id))
            EmptyComboEdit(id);
    }

    std::wstring ComboItemText(int id, int index) override
    {
        if (index < 0 || index >= ComboCount(id))
            return std::wstring();
        std::vector<wchar_t> buffer(1024, L'\0');
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT;
        item.iItem = index;
        item.pszText = buffer.data();
        item.cchTextMax = int(buffer.size());
        if (!Send(id, CBEM_GETITEMW, 0, LPARAM(&item)))
            return std::wstring();
        // The control may answer with a pointer of its own.
        return std::wstring(item.pszText ? item.pszText : L"");
    }

    int ComboCount(int id) override
    {
        const LRESULT count = Send(id, CB_GETCOUNT, 0, 0);
        return count < 0 ? 0 : int(count);
    }

    void ListInsertColumn(int id, int index, const std::wstring& title, int width) override
    {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = const_cast<wchar_t*>(title.c_str());
        Send(id, LVM_INSERTCOLUMNW, WPARAM(index), LPARAM(&column));
    }

    int ListColumnWidth(int id, int column) override
    {
        if (column < 0 || column >= HeaderItemCount(id))
            return 0;
        return int(Send(id, LVM_GETCOLUMNWIDTH, WPARAM(column), 0));
    }

    void ListSetExtendedStyle(int id, std::uint32_t mask, std::uint32_t exStyle) override
    {
        Send(id, LVM_SETEXTENDEDLISTVIEWSTYLE, WPARAM(mask), LPARAM(exStyle));
    }

    void ListDeleteAllItems(int id) override { Send(id, LVM_DELETEALLITEMS, 0, 0); }

    int ListInsertItem(int id, int index, const std::wstring& text) override
    {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        return int(Send(id, LVM_INSERTITEMW, 0, LPARAM(&item)));
    }

    void ListSetItemText(int id, int row, int column, const std::wstring& text) override
    {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        Send(id, LVM_SETITEMTEXTW, WPARAM(row), LPARAM(&item));
    }

    std::wstring ListItemText(int id, int row, int column) override
    {
        // LVM_GETITEMTEXTW answers with the number of characters copied; a
        // text that fills the buffer may have been cut, so the buffer grows.
        for (std::size_t size = 256; size <= (std::size_t(1) << 20); size *= 2) {
            std::vector<wchar_t> buffer(size, L'\0');
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = buffer.data();
            item.cchTextMax = int(size);
            const LRESULT copied = Send(id, LVM_GETITEMTEXTW, WPARAM(row), LPARAM(&item));
            if (copied < LRESULT(size) - 1)
                return std::wstring(buffer.data(), std::size_t(copied > 0 ? copied : 0));
        }
        return std::wstring();
    }

    int ListItemCount(int id) override { return int(Send(id, LVM_GETITEMCOUNT, 0, 0)); }

    bool ListHasHeader(int id) override { return Header(id) != nullptr; }

    int HeaderItemCount(int id) override
    {
        HWND header = Header(id);
        return header ? int(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    }

    std::wstring HeaderItemTitle(int id, int index, int maxChars) override
    {
        HWND header = Header(id);
        if (!header || maxChars < 0)
            return std::wstring();
        std::vector<wchar_t> buffer(std::size_t(maxChars) + 1, L'\0');
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = buffer.data();
        item.cchTextMax = maxChars + 1;
        if (!::SendMessageW(header, HDM_GETITEMW, WPARAM(index), LPARAM(&item)))
            return std::wstring();
        return std::wstring(buffer.data());
    }

    void SetRedraw(int id, bool redraw) override { Send(id, WM_SETREDRAW, redraw ? TRUE : FALSE, 0); }
    void ScrollToBottom(int id) override { Send(id, WM_VSCROLL, SB_BOTTOM, 0); }

    bool IsIconic() override { return hwnd_ && ::IsIconic(hwnd_); }
    bool HasSystemMenu() override { return hwnd_ && ::GetSystemMenu(hwnd_, FALSE) != nullptr; }

    void AppendSystemMenu(std::uint32_t flags, std::uint32_t commandId, const std::wstring& text) override
    {
        HMENU menu = hwnd_ ? ::GetSystemMenu(hwnd_, FALSE) : nullptr;
        if (!menu)
            return;
        ::AppendMenuW(menu, flags, UINT_PTR(commandId), (flags & MF_SEPARATOR) ? nullptr : text.c_str());
    }

    void SetIcon(bool big, IconHandle icon) override
    {
        if (hwnd_)
            ::SendMessageW(hwnd_, WM_SETICON, big ? ICON_BIG : ICON_SMALL, LPARAM(icon));
    }

    void EndDialog(int result) override
    {
        if (hwnd_)
            ::EndDialog(hwnd_, result);
    }

    int MessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t flags) override
    {
        return ::MessageBoxW(hwnd_, text.c_str(), caption.c_str(), flags);
    }

    void PaintIconic(IconHandle icon, int x, int y) override
    {
        if (!hwnd_)
            return;
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(hwnd_, &paint);
        if (!dc)
            return;
        ::SendMessageW(hwnd_, WM_ICONERASEBKGND, WPARAM(dc), 0);
        ::DrawIcon(dc, x, y, reinterpret_cast<HICON>(icon));
        ::EndPaint(hwnd_, &paint);
    }

    FontHandle GetFont(int id) override { return FontHandle(Send(id, WM_GETFONT, 0, 0)); }

    FontHandle CopyFont(FontHandle font) override
    {
        LOGFONTW description{};
        if (!font || ::GetObjectW(reinterpret_cast<HFONT>(font), sizeof description, &description) == 0)
            return 0;
        return FontHandle(::CreateFontIndirectW(&description));
    }

    void DeleteFont(FontHandle font) override
    {
        if (font)
            ::DeleteObject(reinterpret_cast<HFONT>(font));
    }

    void SetFont(int id, FontHandle font, bool redraw) override
    {
        Send(id, WM_SETFONT, WPARAM(font), redraw ? TRUE : FALSE);
    }

    Size TextExtent(int id, FontHandle font, const std::wstring& text) override
    {
        HWND h = Item(id);
        HDC dc = h ? ::GetDC(h) : nullptr;
        if (!dc)
            return {};
        HGDIOBJ selected = font ? reinterpret_cast<HGDIOBJ>(font)
                                : reinterpret_cast<HGDIOBJ>(::SendMessageW(h, WM_GETFONT, 0, 0));
        HGDIOBJ old = selected ? ::SelectObject(dc, selected) : nullptr;
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &extent);
        if (old)
            ::SelectObject(dc, old);
        ::ReleaseDC(h, dc);
        return {int(extent.cx), int(extent.cy)};
    }

    void SetCapture(int id) override
    {
        if (HWND h = Item(id))
            ::SetCapture(h);
    }

    void ReleaseCapture() override { ::ReleaseCapture(); }

    void SetFocus(int id) override
    {
        if (HWND h = Item(id))
            ::SetFocus(h);
    }

    // The system's hand cursor, kept as a copy that stays valid for the life
    // of the process. The help program of the Windows directory is loaded
    // around it; when it cannot be, no hand cursor is taken.
    CursorHandle LoadHandCursor() override
    {
        wchar_t directory[MAX_PATH] = {};
        const UINT length = ::GetWindowsDirectoryW(directory, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return 0;
        const std::wstring helper = std::wstring(directory) + L"\\winhlp32.exe";
        HMODULE module = ::LoadLibraryW(helper.c_str());
        if (!module)
            return 0;
        HCURSOR copy = nullptr;
        if (HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND))
            copy = ::CopyIcon(hand);
        ::FreeLibrary(module);
        return CursorHandle(copy);
    }

    void SetCursor(CursorHandle cursor) override { ::SetCursor(reinterpret_cast<HCURSOR>(cursor)); }

    bool CreateTooltip(int id) override
    {
        HWND owner = Item(id);
        if (!owner)
            return false;
        DestroyTooltip(id);
        HWND tooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
        if (!tooltip)
            return false;
        tooltips_[id] = tooltip;
        return true;
    }

    void DestroyTooltip(int id) override
    {
        auto it = tooltips_.find(id);
        if (it == tooltips_.end())
            return;
        if (::IsWindow(it->second))
            ::DestroyWindow(it->second);
        tooltips_.erase(it);
    }

    void AddTool(int id, int toolId, const std::wstring& text, const Rect& area) override
    {
        TOOLINFOW tool = Tool(id, toolId, text);
        tool.rect = RECT{area.left, area.top, area.right, area.bottom};
        SendTooltip(id, TTM_ADDTOOLW, 0, LPARAM(&tool));
    }

    void UpdateTipText(int id, int toolId, const std::wstring& text) override
    {
        TOOLINFOW tool = Tool(id, toolId, text);
        SendTooltip(id, TTM_UPDATETIPTEXTW, 0, LPARAM(&tool));
    }

    void RelayTooltipEvent(int id, const Message& message) override
    {
        MSG msg{};
        if (preTranslating_ && preTranslating_->message == message.id &&
            preTranslating_->wParam == message.wParam && preTranslating_->lParam == message.lParam) {
            msg = *preTranslating_;
        } else {
            msg.hwnd = Item(id);
            msg.message = message.id;
            msg.wParam = message.wParam;
            msg.lParam = message.lParam;
            msg.time = DWORD(::GetMessageTime());
            const DWORD position = ::GetMessagePos();
            msg.pt = POINT{short(LOWORD(position)), short(HIWORD(position))};
        }
        SendTooltip(id, TTM_RELAYEVENT, 0, LPARAM(&msg));
    }

    void Subclass(int id, CWnd* target) override
    {
        if (id == kSelf || !target)
            return;
        if (HWND h = Item(id))
            Hook(h, id, target, &ControlWindowProc);
    }

    std::intptr_t DefaultProcessing(int id, const Message& message) override
    {
        // A reflected message is the program's own; no window procedure of
        // the system knows it.
        if (message.id == msg::kReflectedCtlColor)
            return 0;
        HWND h = Item(id);
        if (!h)
            return 0;
        Subclassed* record = RecordOf(h);
        if (record && record->owner == this)
            return ::CallWindowProcW(record->original, h, message.id, message.wParam, message.lParam);
        return ::SendMessageW(h, message.id, message.wParam, message.lParam);
    }

private:
    HWND Item(int id) const
    {
        if (!hwnd_)
            return nullptr;
        return id == kSelf ? hwnd_ : ::GetDlgItem(hwnd_, id);
    }

    LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam)
    {
        HWND h = Item(id);
        return h ? ::SendMessageW(h, message, wParam, lParam) : 0;
    }

    // An extended combo box empties its edit field on CB_SETCURSEL with -1
    // and on CB_RESETCONTENT on Windows; some implementations (Wine's) keep
    // the text, so it is emptied here. The CBN_EDITCHANGE that emptying
    // raises is withheld: the dialog takes that notification for the
    // operator's typing.
    void EmptyComboEdit(int id)
    {
        HWND combo = Item(id);
        if (!combo || ::GetWindowTextLengthW(combo) == 0)
            return;
        const int outer = withheldEditChange_;
        withheldEditChange_ = id;
        ::SetWindowTextW(combo, L"");
        withheldEditChange_ = outer;
    }

    bool IsWithheldEditChange(const Message& message) const
    {
        return withheldEditChange_ != 0 && message.id == WM_COMMAND &&
               LOWORD(message.wParam) == withheldEditChange_ && HIWORD(message.wParam) == CBN_EDITCHANGE;
    }

    HWND Header(int id) { return reinterpret_cast<HWND>(Send(id, LVM_GETHEADER, 0, 0)); }

    TOOLINFOW Tool(int id, int toolId, const std::wstring& text)
    {
        TOOLINFOW tool{};
        // The version 2 size is understood by every version of the control.
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = Item(id);
        tool.uId = UINT_PTR(toolId);
        tool.lpszText = const_cast<wchar_t*>(text.c_str());
        return tool;
    }

    void SendTooltip(int id, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto it = tooltips_.find(id);
        if (it != tooltips_.end() && ::IsWindow(it->second))
            ::SendMessageW(it->second, message, wParam, lParam);
    }

    void Hook(HWND hwnd, int id, CWnd* target, WNDPROC procedure)
    {
        if (Subclassed* existing = RecordOf(hwnd)) {
            if (existing->owner == this) {
                existing->target = target;
                return;
            }
        }
        auto record = std::make_unique<Subclassed>();
        record->hwnd = hwnd;
        record->id = id;
        record->target = target;
        record->owner = this;
        if (!::SetPropW(hwnd, kSubclassProperty, record.get()))
            return;
        record->original =
            reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(procedure)));
        if (!record->original) {
            ::RemovePropW(hwnd, kSubclassProperty);
            return;
        }
        subclassed_[hwnd] = std::move(record);
    }

    void ReleaseAll()
    {
        while (!subclassed_.empty())
            Unhook(subclassed_.begin()->second.get());
        for (auto& [id, tooltip] : tooltips_)
            if (::IsWindow(tooltip))
                ::DestroyWindow(tooltip);
        tooltips_.clear();
    }

    // Escape or Ctrl+Break in a multi-line edit: the edit would keep the key,
    // and a dialog without an enabled Cancel button would not end, so the
    // cancel command is sent here.
    bool CancelFromMultiLineEdit(const MSG& msg)
    {
        if (msg.message != WM_KEYDOWN || (msg.wParam != VK_ESCAPE && msg.wParam != VK_CANCEL))
            return false;
        if (!(::GetWindowLongW(msg.hwnd, GWL_STYLE) & ES_MULTILINE) ||
            ::lstrcmpiW(ClassName(msg.hwnd).c_str(), L"Edit") != 0)
            return false;
        HWND cancel = ::GetDlgItem(hwnd_, IDCANCEL);
        if (cancel && !::IsWindowEnabled(cancel))
            return false;
        ::SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return true;
    }

    HWND hwnd_ = nullptr;
    CDialog* dialog_;
    std::map<HWND, std::unique_ptr<Subclassed>> subclassed_;
    std::map<int, HWND> tooltips_;
    const MSG* preTranslating_ = nullptr;
    int withheldEditChange_ = 0;  // the combo box whose CBN_EDITCHANGE is withheld
};

namespace {

LRESULT CallOriginal(Subclassed* record, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(record->original, record->hwnd, message, wParam, lParam);
}

// A WM_CTLCOLORSTATIC for a bound control goes to that control's object
// first; when it fills in colours, they are applied to the device context.
bool ReflectControlColour(HWND dialog, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    Subclassed* child = RecordOf(reinterpret_cast<HWND>(lParam));
    if (!child || !child->target || ::GetParent(child->hwnd) != dialog)
        return false;
    ControlColours colours;
    if (child->target->Dispatch({msg::kReflectedCtlColor, wParam, std::intptr_t(&colours)}) == 0)
        return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(dc, colours.textColour);
    if (colours.transparentBackground)
        ::SetBkMode(dc, TRANSPARENT);
    *result =
        colours.nullBrush ? LRESULT(::GetStockObject(NULL_BRUSH)) : LRESULT(::GetSysColorBrush(COLOR_3DFACE));
    return true;
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Subclassed* record = RecordOf(hwnd);
    if (!record)
        return ::DefDlgProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const WNDPROC original = record->original;
        record->owner->Unhook(record);
        return ::CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    try {
        if (message == WM_CTLCOLORSTATIC) {
            LRESULT brush = 0;
            if (ReflectControlColour(hwnd, wParam, lParam, &brush))
                return brush;
        }
        if (!record->target)
            return CallOriginal(record, message, wParam, lParam);
        return record->owner->DispatchToDialog({message, wParam, lParam});
    } catch (...) {
        // Nothing may unwind through the system's code.
        return 0;
    }
}

LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Subclassed* record = RecordOf(hwnd);
    if (!record)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const WNDPROC original = record->original;
        record->owner->Unhook(record);
        return ::CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    try {
        if (!record->target)
            return CallOriginal(record, message, wParam, lParam);
        return record->target->Dispatch({message, wParam, lParam});
    } catch (...) {
        return 0;
    }
}

INT_PTR CALLBACK StartDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;  // everything else is the subclass procedure's
    auto* window = reinterpret_cast<Win32DialogWindow*>(lParam);
    try {
        window->Attach(hwnd);
        return window->DispatchToDialog({msg::kInitDialog, wParam, 0}) ? TRUE : FALSE;
    } catch (...) {
        return TRUE;
    }
}

// The message filter hook of the modal loops of this thread, installed while
// at least one dialog runs.
thread_local HHOOK t_filterHook = nullptr;
thread_local int t_filterUsers = 0;

LRESULT CALLBACK MessageFilter(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX && lParam) {
        const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        Subclassed* record = RecordOf(root);
        if (record && record->id == kSelf && record->owner) {
            try {
                if (record->owner->PreTranslate(msg))
                    return 1;
            } catch (...) {
            }
        }
    }
    return ::CallNextHookEx(t_filterHook, code, wParam, lParam);
}

class FilterHookUse {
public:
    FilterHookUse()
    {
        if (t_filterUsers++ == 0)
            t_filterHook = ::SetWindowsHookExW(WH_MSGFILTER, &MessageFilter, nullptr, ::GetCurrentThreadId());
    }
    ~FilterHookUse()
    {
        if (--t_filterUsers == 0 && t_filterHook) {
            ::UnhookWindowsHookEx(t_filterHook);
            t_filterHook = nullptr;
        }
    }
    FilterHookUse(const FilterHookUse&) = delete;
    FilterHookUse& operator=(const FilterHookUse&) = delete;
};

}  // namespace

Win32DialogHost::Win32DialogHost(void* resourceModule)
    : module_(resourceModule ? resourceModule : ::GetModuleHandleW(nullptr))
{
}

Win32DialogHost::~Win32DialogHost() = default;

void Win32DialogHost::InitCommonControls(std::uint32_t size, std::uint32_t classes)
{
    INITCOMMONCONTROLSEX init{};
    init.dwSize = size;
    init.dwICC = classes;
    ::InitCommonControlsEx(&init);
}

int Win32DialogHost::RunModal(CDialog& dialog, int templateId)
{
    windows_.push_back({&dialog, std::make_unique<Win32DialogWindow>(dialog)});
    Win32DialogWindow* window = windows_.back().window.get();
    // A dialog started while another runs belongs to it, which keeps it
    // above and disabled until it ends.
    HWND owner = running_.empty() ? nullptr : running_.back()->Handle();
    running_.push_back(window);
    INT_PTR result;
    {
        FilterHookUse filter;
        result = ::DialogBoxParamW(static_cast<HINSTANCE>(module_), MAKEINTRESOURCEW(templateId), owner,
                                   &StartDialogProc, LPARAM(window));
    }
    running_.pop_back();
    window->Detach();
    dialog.DetachFromWindow();
    return result == -1 ? -1 : int(result);
}

void Win32DialogHost::DialogDestroyed(CDialog& dialog)
{
    std::erase_if(windows_, [&](const WindowRecord& record) {
        return record.dialog == &dialog &&
               std::find(running_.begin(), running_.end(), record.window.get()) == running_.end();
    });
}

IconHandle Win32DialogHost::LoadIcon(int resourceId)
{
    return IconHandle(::LoadIconW(static_cast<HINSTANCE>(module_), MAKEINTRESOURCEW(resourceId)));
}

std::wstring Win32DialogHost::LoadString(unsigned id)
{
    // With a buffer size of 0 the call answers with a pointer to the
    // resource's own text, whatever its length.
    const wchar_t* text = nullptr;
    const int length =
        ::LoadStringW(static_cast<HINSTANCE>(module_), id, reinterpret_cast<wchar_t*>(&text), 0);
    if (length > 0 && text)
        return std::wstring(text, std::size_t(length));
    wchar_t buffer[512] = {};
    const int copied = ::LoadStringW(static_cast<HINSTANCE>(module_), id, buffer, 512);
    return std::wstring(buffer, std::size_t(copied > 0 ? copied : 0));
}

int Win32DialogHost::SystemMetric(int index) { return ::GetSystemMetrics(index); }

std::size_t Win32DialogHost::WindowRecordCount() const { return windows_.size(); }

void* Win32DialogHost::ActiveDialogWindow() const
{
    return running_.empty() ? nullptr : running_.back()->Handle();
}

}  // namespace norvik
