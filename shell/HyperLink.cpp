#include "shell/HyperLink.h"

#include <utility>

#include "framework/DialogTemplates.h"
#include "framework/Messages.h"
#include "runtime/Runtime.h"

namespace norvik {

namespace {

// One hand cursor for every link of the process, loaded by the first link
// that wants it and kept until the process ends.
CursorHandle g_handCursor = 0;

// Mouse messages carry the point in client coordinates: x in the low word,
// y in the high word, each a signed 16-bit value.
int PointX(std::intptr_t lParam) { return std::int16_t(std::uint16_t(std::uintptr_t(lParam) & 0xFFFF)); }
int PointY(std::intptr_t lParam)
{
    return std::int16_t(std::uint16_t((std::uintptr_t(lParam) >> 16) & 0xFFFF));
}

bool Contains(const Rect& rect, int x, int y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

}  // namespace

std::wstring BuildFallbackCommandLine(const std::wstring& registeredCommand, const std::wstring& target)
{
    std::wstring commandLine = registeredCommand;
    std::size_t placeholder = commandLine.find(L"\"%1\"");
    if (placeholder == std::wstring::npos)
        placeholder = commandLine.find(L"%1");
    if (placeholder != std::wstring::npos)
        commandLine.resize(placeholder);
    commandLine += L' ';
    commandLine += target;
    return commandLine;
}

bool CHyperLink::LinkFont::Attach(DialogWindow& window, FontHandle font)
{
    Delete();
    if (font == 0)
        return false;
    window_ = &window;
    handle_ = font;
    return true;
}

void CHyperLink::LinkFont::Delete()
{
    if (window_ && handle_)
        window_->DeleteFont(handle_);
    window_ = nullptr;
    handle_ = 0;
}

bool CHyperLink::Tooltip::Create(DialogWindow& window, int ownerId)
{
    Destroy();
    if (!window.CreateTooltip(ownerId))
        return false;
    window_ = &window;
    ownerId_ = ownerId;
    return true;
}

void CHyperLink::Tooltip::Destroy()
{
    if (window_)
        window_->DestroyTooltip(ownerId_);
    window_ = nullptr;
}

void CHyperLink::Tooltip::AddTool(int toolId, const std::wstring& text, const Rect& area)
{
    if (window_)
        window_->AddTool(ownerId_, toolId, text, area);
}

void CHyperLink::Tooltip::UpdateTipText(int toolId, const std::wstring& text)
{
    if (window_)
        window_->UpdateTipText(ownerId_, toolId, text);
}

void CHyperLink::Tooltip::Relay(const Message& message)
{
    if (window_)
        window_->RelayTooltipEvent(ownerId_, message);
}

CHyperLink::CHyperLink(Runtime& runtime) : runtime_(runtime) {}

CHyperLink::~CHyperLink()
{
    // The font first, then the tooltip, then the target with the members.
    linkFont.Delete();
    tooltip.Destroy();
}

CursorHandle CHyperLink::HandCursor() { return g_handCursor; }

const MessageMap* CHyperLink::GetMessageMap() const
{
    using L = CHyperLink;
    static const MessageMapEntry entries[] = {
        OnMessage<L, &L::OnCtlColor>(msg::kReflectedCtlColor),
        OnMessage<L, &L::OnKeyDown>(msg::kKeyDown),
        OnMessage<L, &L::OnKillFocus>(msg::kKillFocus),
        OnMessage<L, &L::OnLButtonDown>(msg::kLButtonDown),
        OnMessage<L, &L::OnLButtonUp>(msg::kLButtonUp),
        OnMessage<L, &L::OnMouseMove>(msg::kMouseMove),
        OnMessage<L, &L::OnNcHitTest>(msg::kNcHitTest),
        OnMessage<L, &L::OnSetCursor>(msg::kSetCursor),
        OnMessage<L, &L::OnSetFocus>(msg::kSetFocus),
    };
    static const MessageMap map{CStatic::GetMessageMap(), entries, sizeof entries / sizeof entries[0]};
    return &map;
}

void CHyperLink::OnAttached()
{
    DialogWindow& window = Window();
    const int id = ControlId();

    if (target.empty())
        target = GetWindowText();
    if (GetWindowText().empty())
        SetWindowText(target);

    const FontHandle font = window.GetFont(id);
    if (font != 0) {
        if (linkFont.Attach(window, window.CopyFont(font)))
            window.SetFont(id, linkFont.Handle(), true);
        ResizeToText();
    } else {
        style &= ~FitToText;
    }

    if (!(style & KeepArrowCursor))
        LoadHandCursor();

    if (tooltip.Create(window, id))
        tooltip.AddTool(kToolId, target, window.ClientRect(id));
}

bool CHyperLink::PreTranslateMessage(const Message& message)
{
    tooltip.Relay(message);
    return CStatic::PreTranslateMessage(message);
}

void CHyperLink::SetLinkTarget(std::wstring newTarget)
{
    target = std::move(newTarget);
    if (!HasWindow())
        return;
    ShowWindow(kSwHide);
    ResizeToText();
    tooltip.UpdateTipText(kToolId, target);
    ShowWindow(kSwShow);
}

std::intptr_t CHyperLink::OpenLinkTarget(const std::wstring& linkTarget)
{
    return runtime_.ShellOpen(linkTarget);
}

void CHyperLink::OpenTargetAndReport()
{
    if (OpenLinkTarget(target) > 32)
        Redraw();
    else
        runtime_.Beep(kFailureBeep);
}

void CHyperLink::Redraw()
{
    if (HasWindow())
        Window().Invalidate(ControlId(), true);
}

std::intptr_t CHyperLink::OnCtlColor(const Message& message)
{
    auto* colours = reinterpret_cast<ControlColours*>(message.lParam);
    if (!colours)
        return 0;
    colours->textColour = (hover && (style & HoverColour)) ? kHoverColour : kNormalColour;
    colours->transparentBackground = true;
    colours->nullBrush = true;
    return 1;  // handled: the host paints with the colours filled in
}

std::intptr_t CHyperLink::OnKeyDown(const Message& message)
{
    if (message.wParam == kVkSpace)
        OpenTargetAndReport();
    return Default();
}

std::intptr_t CHyperLink::OnKillFocus(const Message&)
{
    const std::intptr_t result = Default();
    hover = 0;
    pressed = 0;
    Redraw();
    return result;
}

std::intptr_t CHyperLink::OnLButtonDown(const Message&)
{
    if (style & TakeFocusOnClick)
        Window().SetFocus(ControlId());
    if (style & OpenOnPress)
        OpenTargetAndReport();
    pressed = 1;
    return Default();
}

std::intptr_t CHyperLink::OnLButtonUp(const Message&)
{
    if (pressed && !(style & OpenOnPress))
        OpenTargetAndReport();
    return Default();
}

std::intptr_t CHyperLink::OnMouseMove(const Message& message)
{
    DialogWindow& window = Window();
    const int id = ControlId();
    if (!hover) {
        hover = 1;
        Redraw();
        window.SetCapture(id);
        return Default();
    }
    if (Contains(window.ClientRect(id), PointX(message.lParam), PointY(message.lParam)))
        return Default();
    hover = 0;
    window.ReleaseCapture();
    Redraw();
    return 0;
}

std::intptr_t CHyperLink::OnNcHitTest(const Message&) { return kHtClient; }

std::intptr_t CHyperLink::OnSetCursor(const Message&)
{
    if (g_handCursor == 0)
        return 0;
    Window().SetCursor(g_handCursor);
    return 1;
}

std::intptr_t CHyperLink::OnSetFocus(const Message&)
{
    const std::intptr_t result = Default();
    pressed = 1;
    Redraw();
    return result;
}

void CHyperLink::ResizeToText()
{
    if (!(style & FitToText) || !HasWindow())
        return;
    DialogWindow& window = Window();
    const int id = ControlId();

    Rect rect = window.WindowRectInParent(id);
    const Rect client = window.ClientRect(id);
    const int borderWidth = rect.Width() - client.Width();
    const int borderHeight = rect.Height() - client.Height();

    const Size extent = window.TextExtent(id, linkFont.Handle(), GetWindowText());
    const std::uint32_t windowStyle = window.Style(id);

    if (windowStyle & norvik::style::kSsCenterImage) {
        const int shrink = (rect.Height() - extent.cy) / 2;
        rect.top += shrink;
        rect.bottom -= shrink;
    } else {
        rect.bottom = rect.top + extent.cy;
    }

    if (windowStyle & norvik::style::kSsCenter) {
        const int shrink = (rect.Width() - extent.cx) / 2;
        rect.left += shrink;
        rect.right -= shrink;
    } else if (windowStyle & norvik::style::kSsRight) {
        rect.left = rect.right - extent.cx;
    } else {
        rect.right = rect.left + extent.cx;
    }

    window.Move(id,
                Rect{rect.left, rect.top, rect.left + rect.Width() + borderWidth,
                     rect.top + rect.Height() + borderHeight},
                true);
}

void CHyperLink::LoadHandCursor()
{
    if (g_handCursor != 0)
        return;
    g_handCursor = Window().LoadHandCursor();
}

}  // namespace norvik
