// The Qt dialog window: what a hyperlink static asks of its host (fonts,
// text extents, capture, focus, cursor, tooltip).

#include "platforms/qt/QtDialogHost.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <cmath>

#include "framework/Messages.h"
#include "platforms/qt/QtDialogSupport.h"

namespace norvik {

using namespace qtsupport;

// --- What a hyperlink static asks of its host ----------------------------

FontHandle QtDialogWindow::GetFont(int id)
{
    if (id == kSelf)
        return kDialogFont;
    const Control* control = Find(id);
    return control ? control->font : 0;
}

FontHandle QtDialogWindow::CopyFont(FontHandle font)
{
    auto it = fonts_.find(font);
    if (it == fonts_.end())
        return 0;
    const FontHandle copy = nextFont_++;
    fonts_[copy] = it->second;
    return copy;
}

void QtDialogWindow::DeleteFont(FontHandle font)
{
    if (font != kDialogFont)
        fonts_.erase(font);
}

void QtDialogWindow::SetFont(int id, FontHandle font, bool redraw)
{
    Control* control = Find(id);
    if (!control)
        return;
    auto it = fonts_.find(font);
    if (it == fonts_.end())
        return;
    control->font = font;
    if (control->widget) {
        control->widget->setFont(it->second);
        if (redraw)
            control->widget->update();
    }
}

Size QtDialogWindow::TextExtent(int id, FontHandle font, const std::wstring& text)
{
    QFont measured = dialogFont_;
    auto it = fonts_.find(font);
    if (it != fonts_.end())
        measured = it->second;
    else if (QWidget* w = ControlWidget(id))
        measured = w->font();
    const QFontMetricsF metrics(measured);
    return Size{static_cast<int>(std::ceil(metrics.horizontalAdvance(ToQt(text)))),
                QFontMetrics(measured).height()};
}

void QtDialogWindow::SetCapture(int id)
{
    if (capture_ == id)
        return;
    ReleaseCapture();
    QWidget* w = ControlWidget(id);
    if (!w || !w->isVisible())
        return;
    w->grabMouse();
    capture_ = id;
}

void QtDialogWindow::ReleaseCapture()
{
    if (capture_ == -1)
        return;
    if (QWidget* w = ControlWidget(capture_))
        w->releaseMouse();
    capture_ = -1;
}

void QtDialogWindow::SetFocus(int id)
{
    // The focus messages follow from Qt's focus events.
    if (QWidget* w = ControlWidget(id))
        w->setFocus(Qt::OtherFocusReason);
}

CursorHandle QtDialogWindow::LoadHandCursor() { return kHandCursor; }

void QtDialogWindow::SetCursor(CursorHandle cursor)
{
    QWidget* w = ControlWidget(activeControl_);
    if (!w || activeControl_ == kSelf)
        return;
    if (cursor == kHandCursor)
        w->setCursor(Qt::PointingHandCursor);
    else
        w->unsetCursor();
}

bool QtDialogWindow::CreateTooltip(int id)
{
    Control* control = Find(id);
    if (!control)
        return false;
    control->tooltip = Tooltip{};
    control->tooltip.exists = true;
    return true;
}

void QtDialogWindow::DestroyTooltip(int id)
{
    Control* control = Find(id);
    if (!control)
        return;
    control->tooltip = Tooltip{};
    if (control->widget)
        control->widget->setToolTip(QString());
}

void QtDialogWindow::AddTool(int id, int toolId, const std::wstring& text, const Rect&)
{
    Control* control = Find(id);
    if (!control || !control->tooltip.exists)
        return;
    control->tooltip.tools[toolId] = text;
    // The one tool covers the control's client area: Qt shows it on hover.
    if (control->widget)
        control->widget->setToolTip(ToQt(text));
}

void QtDialogWindow::UpdateTipText(int id, int toolId, const std::wstring& text)
{
    Control* control = Find(id);
    if (!control || !control->tooltip.tools.count(toolId))
        return;
    control->tooltip.tools[toolId] = text;
    if (control->widget)
        control->widget->setToolTip(ToQt(text));
}

void QtDialogWindow::RelayTooltipEvent(int id, const Message&)
{
    // Qt watches the mouse over the control itself; relayed messages only
    // count.
    if (Control* control = Find(id))
        ++control->tooltip.relayedEvents;
}

}  // namespace norvik
