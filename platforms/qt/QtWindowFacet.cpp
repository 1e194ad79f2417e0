// The Qt dialog window: operations on any window and on check boxes.

#include "platforms/qt/QtDialogHost.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>

#include "framework/Messages.h"
#include "platforms/qt/QtDialogSupport.h"

namespace norvik {

using namespace qtsupport;

// --- DialogWindow: any window --------------------------------------------

void QtDialogWindow::SetText(int id, const std::wstring& text)
{
    if (id == kSelf) {
        if (widget_)
            widget_->setWindowTitle(ToQt(text));
        return;
    }
    Control* control = Find(id);
    if (!control || !control->widget)
        return;
    QWidget* w = control->widget;
    if (auto* combo = qobject_cast<PickerCombo*>(w))
        combo->lineEdit()->setText(ToQt(text));
    else if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(ToQt(text));
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(w))
        edit->setPlainText(ToEditLines(text));
    else if (auto* label = qobject_cast<StaticControl*>(w))
        label->SetText(ToQt(text));
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(ToQt(text));
    else if (auto* box = qobject_cast<QGroupBox*>(w))
        box->setTitle(ToQt(text));
    else
        control->listText = text;
}

std::wstring QtDialogWindow::GetText(int id)
{
    if (id == kSelf)
        return widget_ ? FromQt(widget_->windowTitle()) : std::wstring();
    Control* control = Find(id);
    if (!control || !control->widget)
        return control ? control->listText : std::wstring();
    QWidget* w = control->widget;
    if (auto* combo = qobject_cast<PickerCombo*>(w))
        return FromQt(combo->lineEdit()->text());
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return FromQt(line->text());
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w))
        return FromEditLines(edit->toPlainText());
    if (auto* label = qobject_cast<StaticControl*>(w))
        return FromQt(label->Text());
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return FromQt(button->text());
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return FromQt(box->title());
    return control->listText;
}

void QtDialogWindow::Show(int id, int showCommand)
{
    QWidget* w = ControlWidget(id);
    if (w)
        w->setVisible(showCommand != kSwHide);
}

bool QtDialogWindow::IsVisible(int id)
{
    if (id == kSelf)
        return widget_ && widget_->isVisible();
    QWidget* w = ControlWidget(id);
    return w && !w->isHidden();
}

std::uint32_t QtDialogWindow::Style(int id)
{
    std::uint32_t value = 0;
    if (id == kSelf) {
        value = template_.style;
    } else if (const Control* control = Find(id)) {
        value = control->style;
    } else {
        return 0;
    }
    value &= ~style::kVisible;
    if (IsVisible(id))
        value |= style::kVisible;
    return value;
}

Rect QtDialogWindow::WindowRect(int id)
{
    if (id == kSelf)
        return widget_ ? ToRect(widget_->frameGeometry()) : Rect{};
    QWidget* w = ControlWidget(id);
    if (!w)
        return Rect{};
    const QPoint origin = w->mapToGlobal(QPoint(0, 0));
    return Rect{origin.x(), origin.y(), origin.x() + w->width(), origin.y() + w->height()};
}

Rect QtDialogWindow::WindowRectInParent(int id)
{
    if (id == kSelf)
        return widget_ ? ToRect(widget_->frameGeometry()) : Rect{};
    QWidget* w = ControlWidget(id);
    return w ? ToRect(w->geometry()) : Rect{};
}

Rect QtDialogWindow::ClientRect(int id)
{
    QWidget* w = ControlWidget(id);
    if (!w)
        return Rect{};
    if (id == kSelf)
        return Rect{0, 0, w->width(), w->height()};
    const Control* control = Find(id);
    // A WS_BORDER border is one pixel on each side, outside the client area.
    const int border = (control->style & style::kBorder) ? 1 : 0;
    return Rect{0, 0, std::max(0, w->width() - 2 * border), std::max(0, w->height() - 2 * border)};
}

void QtDialogWindow::Move(int id, const Rect& rect, bool repaint)
{
    QWidget* w = ControlWidget(id);
    if (!w)
        return;
    if (id == kSelf) {
        w->move(rect.left, rect.top);
        return;
    }
    w->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    if (repaint)
        w->update();
}

void QtDialogWindow::Invalidate(int id, bool)
{
    if (QWidget* w = ControlWidget(id))
        w->update();
}

// --- Check boxes ---------------------------------------------------------

int QtDialogWindow::GetCheck(int id)
{
    auto* check = qobject_cast<QCheckBox*>(ControlWidget(id));
    if (!check)
        return 0;
    switch (check->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

void QtDialogWindow::SetCheck(int id, int state)
{
    auto* check = qobject_cast<QCheckBox*>(ControlWidget(id));
    if (!check)
        return;
    if (state == 2)
        check->setTristate(true);
    check->setCheckState(state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

}  // namespace norvik
