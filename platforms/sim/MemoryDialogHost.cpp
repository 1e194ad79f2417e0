#include "platforms/sim/MemoryDialogHost.h"

#include <algorithm>
#include <stdexcept>

#include "framework/Messages.h"

namespace norvik {

namespace {

// MulDiv: the product divided, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator)
{
    const long long product = (long long)value * numerator;
    const long long half = denominator / 2;
    return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

constexpr int kDialogLeft = 100;  // where the dialog sits on the "screen"
constexpr int kDialogTop = 80;
constexpr int kFrame = 3;     // border width of a modal frame
constexpr int kCaption = 22;  // caption bar height

}  // namespace

Rect MemoryDialog::DialogUnitsToPixels(int x, int y, int cx, int cy)
{
    const int left = MulDiv(x, kCharWidth, 4);
    const int top = MulDiv(y, kCharHeight, 8);
    return {left, top, left + MulDiv(cx, kCharWidth, 4), top + MulDiv(cy, kCharHeight, 8)};
}

MemoryDialog::MemoryDialog(CDialog& dialog, const DialogTemplate& dialogTemplate)
    : dialog_(&dialog), template_(dialogTemplate), caption_(dialogTemplate.caption)
{
    dialogRect_ = DialogUnitsToPixels(0, 0, template_.cx, template_.cy);
    int anonymous = -1000;
    for (const auto& t : template_.controls) {
        MemoryControl c;
        c.id = t.id;
        c.kind = t.kind;
        c.text = t.caption;
        c.style = t.style;
        c.rect = DialogUnitsToPixels(t.x, t.y, t.cx, t.cy);
        c.visible = (t.style & style::kVisible) != 0;
        c.font = 1;  // every control gets the dialog font
        // Controls without an id are kept under distinct negative keys.
        const int key = t.id == -1 ? anonymous-- : t.id;
        controls_[key] = std::move(c);
    }
}

MemoryDialog::~MemoryDialog() = default;

void MemoryDialog::Detach()
{
    dialog_ = nullptr;
    for (auto& [id, c] : controls_)
        c.subclass = nullptr;
}

MemoryControl& MemoryDialog::Control(int id)
{
    auto it = controls_.find(id);
    if (it == controls_.end())
        throw std::out_of_range("no control " + std::to_string(id));
    return it->second;
}

bool MemoryDialog::HasControl(int id) const { return controls_.count(id) != 0; }

std::vector<std::wstring> MemoryDialog::ListRow(int id, int row)
{
    auto& c = Control(id);
    if (row < 0 || row >= int(c.rows.size()))
        return {};
    return c.rows[std::size_t(row)];
}

std::intptr_t MemoryDialog::Send(const Message& message)
{
    if (!dialog_ || ended_)
        return 0;
    if (dialog_->PreTranslateMessage(message))
        return 0;
    return dialog_->Dispatch(message);
}

std::intptr_t MemoryDialog::SendToControl(int id, const Message& message)
{
    auto& c = Control(id);
    if (c.subclass) {
        if (c.subclass->PreTranslateMessage(message))
            return 0;
        return c.subclass->Dispatch(message);
    }
    return DefaultProcessing(id, message);
}

void MemoryDialog::Click(int id)
{
    auto& c = Control(id);
    if (c.kind == ControlClass::Button && (c.style & 0xF) == style::kBsAutoCheckBox)
        c.check = c.check ? 0 : 1;
    Send({msg::kCommand, MakeCommandParam(id, notify::kButtonClicked), 0});
}

void MemoryDialog::TypeText(int id, const std::wstring& text)
{
    auto& c = Control(id);
    c.text = text;
    if (c.kind == ControlClass::ComboBoxEx)
        Send({msg::kCommand, MakeCommandParam(id, notify::kComboEditChange), 0});
}

void MemoryDialog::DropDown(int comboId)
{
    Send({msg::kCommand, MakeCommandParam(comboId, notify::kComboDropDown), 0});
    Send({msg::kCommand, MakeCommandParam(comboId, notify::kComboCloseUp), 0});
}

void MemoryDialog::ChooseItem(int comboId, int index)
{
    Send({msg::kCommand, MakeCommandParam(comboId, notify::kComboDropDown), 0});
    ComboSetCurSel(comboId, index);
    Send({msg::kCommand, MakeCommandParam(comboId, notify::kComboSelChange), 0});
    Send({msg::kCommand, MakeCommandParam(comboId, notify::kComboCloseUp), 0});
}

void MemoryDialog::PressEnter() { Send({msg::kCommand, MakeCommandParam(kIdOk, 0), 0}); }
void MemoryDialog::PressEscape() { Send({msg::kCommand, MakeCommandParam(kIdCancel, 0), 0}); }
void MemoryDialog::CloseBox() { Send({msg::kSysCommand, kScClose, 0}); }
void MemoryDialog::SystemCommand(std::uint32_t command) { Send({msg::kSysCommand, command, 0}); }

void MemoryDialog::SetText(int id, const std::wstring& text)
{
    if (id == kSelf)
        caption_ = text;
    else
        Control(id).text = text;
}

std::wstring MemoryDialog::GetText(int id) { return id == kSelf ? caption_ : Control(id).text; }

void MemoryDialog::Show(int id, int showCommand)
{
    if (id != kSelf)
        Control(id).visible = showCommand != kSwHide;
}

bool MemoryDialog::IsVisible(int id) { return id == kSelf ? !ended_ : Control(id).visible; }

std::uint32_t MemoryDialog::Style(int id)
{
    // WS_VISIBLE follows Show, as the system keeps it in the window's style.
    const std::uint32_t kept = (id == kSelf ? template_.style : Control(id).style) & ~style::kVisible;
    return IsVisible(id) ? kept | style::kVisible : kept;
}

Rect MemoryDialog::WindowRect(int id)
{
    const int originX = kDialogLeft + kFrame, originY = kDialogTop + kFrame + kCaption;
    if (id == kSelf)
        return {kDialogLeft, kDialogTop, originX + dialogRect_.right + kFrame,
                originY + dialogRect_.bottom + kFrame};
    Rect r = Control(id).rect;
    return {r.left + originX, r.top + originY, r.right + originX, r.bottom + originY};
}

Rect MemoryDialog::WindowRectInParent(int id) { return id == kSelf ? dialogRect_ : Control(id).rect; }

Rect MemoryDialog::ClientRect(int id)
{
    if (id == kSelf)
        return {0, 0, dialogRect_.Width(), dialogRect_.Height()};
    const auto& c = Control(id);
    const int border = (c.style & style::kBorder) ? 1 : 0;
    return {0, 0, c.rect.Width() - 2 * border, c.rect.Height() - 2 * border};
}

void MemoryDialog::Move(int id, const Rect& rect, bool repaint)
{
    auto& c = Control(id);
    c.rect = rect;
    if (repaint)
        ++c.repaints;
}

void MemoryDialog::Invalidate(int id, bool)
{
    if (id != kSelf)
        ++Control(id).repaints;
}

int MemoryDialog::GetCheck(int id) { return Control(id).check; }
void MemoryDialog::SetCheck(int id, int state) { Control(id).check = state; }

void MemoryDialog::ComboReset(int id)
{
    auto& c = Control(id);
    c.items.clear();
    c.curSel = -1;
    c.text.clear();  // CB_RESETCONTENT empties the edit field too
}

int MemoryDialog::ComboInsertItem(int id, int index, const std::wstring& text)
{
    auto& c = Control(id);
    if (index < 0 || index > int(c.items.size()))
        index = int(c.items.size());
    c.items.insert(c.items.begin() + index, MemoryControl::Item{text, 0});
    if (c.curSel >= index)
        ++c.curSel;
    return index;
}

void MemoryDialog::ComboSetItemData(int id, int index, std::uint32_t data)
{
    auto& c = Control(id);
    if (index >= 0 && index < int(c.items.size()))
        c.items[std::size_t(index)].data = data;
}

std::uint32_t MemoryDialog::ComboItemData(int id, int index)
{
    auto& c = Control(id);
    if (index < 0 || index >= int(c.items.size()))
        return 0xFFFFFFFFu;  // CB_ERR
    return c.items[std::size_t(index)].data;
}

int MemoryDialog::ComboCurSel(int id) { return Control(id).curSel; }

void MemoryDialog::ComboSetCurSel(int id, int index)
{
    auto& c = Control(id);
    if (index < 0 || index >= int(c.items.size())) {
        c.curSel = -1;
        c.text.clear();  // CB_SETCURSEL with -1 empties the edit field
        return;
    }
    c.curSel = index;
    c.text = c.items[std::size_t(index)].text;
}

std::wstring MemoryDialog::ComboItemText(int id, int index)
{
    auto& c = Control(id);
    if (index < 0 || index >= int(c.items.size()))
        return L"";
    return c.items[std::size_t(index)].text;
}

int MemoryDialog::ComboCount(int id) { return int(Control(id).items.size()); }

void MemoryDialog::ListInsertColumn(int id, int index, const std::wstring& title, int width)
{
    auto& c = Control(id);
    if (index < 0 || index > int(c.columns.size()))
        index = int(c.columns.size());
    c.columns.insert(c.columns.begin() + index, MemoryControl::Column{title, width});
    for (auto& row : c.rows)
        row.resize(c.columns.size());
}

int MemoryDialog::ListColumnWidth(int id, int column)
{
    auto& c = Control(id);
    if (column < 0 || column >= int(c.columns.size()))
        return 0;
    return c.columns[std::size_t(column)].width;
}

void MemoryDialog::ListSetExtendedStyle(int id, std::uint32_t mask, std::uint32_t exStyle)
{
    auto& c = Control(id);
    if (mask == 0)
        mask = 0xFFFFFFFFu;  // a zero mask means every bit
    c.extendedStyle = (c.extendedStyle & ~mask) | (exStyle & mask);
}

void MemoryDialog::ListDeleteAllItems(int id) { Control(id).rows.clear(); }

int MemoryDialog::ListInsertItem(int id, int index, const std::wstring& text)
{
    auto& c = Control(id);
    if (index < 0 || index > int(c.rows.size()))
        index = int(c.rows.size());
    std::vector<std::wstring> row(std::max<std::size_t>(c.columns.size(), 1));
    row[0] = text;
    c.rows.insert(c.rows.begin() + index, std::move(row));
    return index;
}

void MemoryDialog::ListSetItemText(int id, int row, int column, const std::wstring& text)
{
    auto& c = Control(id);
    if (row < 0 || row >= int(c.rows.size()) || column < 0)
        return;
    auto& cells = c.rows[std::size_t(row)];
    if (column >= int(cells.size())) {
        if (column >= int(c.columns.size()))
            return;
        cells.resize(c.columns.size());
    }
    cells[std::size_t(column)] = text;
}

std::wstring MemoryDialog::ListItemText(int id, int row, int column)
{
    auto& c = Control(id);
    if (row < 0 || row >= int(c.rows.size()) || column < 0)
        return L"";
    const auto& cells = c.rows[std::size_t(row)];
    return column < int(cells.size()) ? cells[std::size_t(column)] : L"";
}

int MemoryDialog::ListItemCount(int id) { return int(Control(id).rows.size()); }
bool MemoryDialog::ListHasHeader(int id) { return Control(id).hasHeader; }
int MemoryDialog::HeaderItemCount(int id) { return int(Control(id).columns.size()); }

std::wstring MemoryDialog::HeaderItemTitle(int id, int index, int maxChars)
{
    auto& c = Control(id);
    if (index < 0 || index >= int(c.columns.size()))
        return L"";
    std::wstring title = c.columns[std::size_t(index)].title;
    if (maxChars >= 0 && int(title.size()) > maxChars)
        title.resize(std::size_t(maxChars));
    return title;
}

void MemoryDialog::SetRedraw(int id, bool redraw)
{
    auto& c = Control(id);
    if (!redraw) {
        c.redrawSuspended = 1;
    } else {
        if (c.redrawSuspended)
            ++c.repaints;
        c.redrawSuspended = 0;
    }
}

void MemoryDialog::ScrollToBottom(int id) { ++Control(id).scrollsToBottom; }

bool MemoryDialog::IsIconic() { return iconic_; }
bool MemoryDialog::HasSystemMenu() { return hasSystemMenu_; }

void MemoryDialog::AppendSystemMenu(std::uint32_t flags, std::uint32_t commandId, const std::wstring& text)
{
    systemMenu_.push_back({flags, commandId, text});
}

void MemoryDialog::SetIcon(bool big, IconHandle icon) { (big ? bigIcon_ : smallIcon_) = icon; }

void MemoryDialog::EndDialog(int result)
{
    ended_ = true;
    result_ = result;
}

int MemoryDialog::MessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t flags)
{
    messageBoxes_.push_back({text, caption, flags});
    return kIdOk;
}

void MemoryDialog::PaintIconic(IconHandle icon, int x, int y) { iconPaints_.push_back({icon, x, y}); }

FontHandle MemoryDialog::GetFont(int id) { return id == kSelf ? 1 : Control(id).font; }
FontHandle MemoryDialog::CopyFont(FontHandle font) { return font ? nextFont_++ : 0; }
void MemoryDialog::DeleteFont(FontHandle) {}

void MemoryDialog::SetFont(int id, FontHandle font, bool redraw)
{
    auto& c = Control(id);
    c.font = font;
    if (redraw)
        ++c.repaints;
}

Size MemoryDialog::TextExtent(int, FontHandle, const std::wstring& text)
{
    return {int(text.size()) * kCharWidth, kCharHeight};
}

void MemoryDialog::SetCapture(int id) { capture_ = id; }
void MemoryDialog::ReleaseCapture() { capture_ = -1; }

void MemoryDialog::SetFocus(int id)
{
    if (focus_ == id)
        return;
    const int previous = focus_;
    focus_ = id;
    if (previous > 0 && HasControl(previous))
        SendToControl(previous, {msg::kKillFocus, std::uintptr_t(id), 0});
    if (id > 0 && HasControl(id))
        SendToControl(id, {msg::kSetFocus, std::uintptr_t(previous), 0});
}

CursorHandle MemoryDialog::LoadHandCursor() { return 32649; }
void MemoryDialog::SetCursor(CursorHandle cursor) { cursor_ = cursor; }

bool MemoryDialog::CreateTooltip(int id)
{
    Control(id).hasTooltip = true;
    return true;
}

void MemoryDialog::DestroyTooltip(int id)
{
    if (HasControl(id)) {
        Control(id).hasTooltip = false;
        Control(id).tools.clear();
    }
}

void MemoryDialog::AddTool(int id, int toolId, const std::wstring& text, const Rect&)
{
    Control(id).tools[toolId] = text;
}

void MemoryDialog::UpdateTipText(int id, int toolId, const std::wstring& text)
{
    auto& c = Control(id);
    if (c.tools.count(toolId))
        c.tools[toolId] = text;
}

void MemoryDialog::RelayTooltipEvent(int id, const Message&) { ++Control(id).relayedEvents; }

void MemoryDialog::Subclass(int id, CWnd* target)
{
    if (HasControl(id))
        Control(id).subclass = target;
}

std::intptr_t MemoryDialog::DefaultProcessing(int id, const Message& message)
{
    if (id == kSelf)
        return 0;
    if (message.id == msg::kSetFocus)
        focus_ = id;
    return 0;
}

void MemoryDialogHost::OnModal(int templateId, Interaction interaction)
{
    interactions_[templateId] = std::move(interaction);
}

MemoryDialog& MemoryDialogHost::Create(CDialog& dialog, int templateId)
{
    const DialogTemplate* t = FindDialogTemplate(templateId);
    if (!t)
        throw std::invalid_argument("unknown dialog template");
    live_.push_back(std::make_unique<MemoryDialog>(dialog, *t));
    MemoryDialog& window = *live_.back();
    dialog.AttachDialogWindow(&window);
    window.Send({msg::kInitDialog, 0, 0});
    return window;
}

void MemoryDialogHost::Destroy(MemoryDialog& window)
{
    window.Detach();
    for (auto it = live_.begin(); it != live_.end(); ++it) {
        if (it->get() == &window) {
            finished_.push_back(std::move(*it));
            live_.erase(it);
            return;
        }
    }
}

void MemoryDialogHost::InitCommonControls(std::uint32_t, std::uint32_t) { commonControls_ = true; }

int MemoryDialogHost::RunModal(CDialog& dialog, int templateId)
{
    if (!FindDialogTemplate(templateId))
        return -1;
    MemoryDialog& window = Create(dialog, templateId);
    auto it = interactions_.find(templateId);
    if (!window.Ended()) {
        if (it != interactions_.end() && it->second)
            it->second(window);
        if (!window.Ended())
            window.PressEscape();
    }
    const int result = window.Result();
    dialog.DetachFromWindow();
    Destroy(window);
    return result;
}

IconHandle MemoryDialogHost::LoadIcon(int resourceId) { return resourceId == 128 ? kMainIconHandle : 0; }

std::wstring MemoryDialogHost::LoadString(unsigned id) { return LoadResourceString(id); }

int MemoryDialogHost::SystemMetric(int index)
{
    if (index == kSmCxIcon || index == kSmCyIcon)
        return 32;
    return 0;
}

}  // namespace norvik
