// The Qt dialog window: the dialog itself, its icons, end and message boxes.

#include "platforms/qt/QtDialogHost.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "framework/Messages.h"
#include "platforms/qt/QtDialogSupport.h"

namespace norvik {

using namespace qtsupport;

// --- The dialog window ---------------------------------------------------

QSize QtDialogHost::ScreenArea(const QWidget& dialog) const
{
    if (!screenArea_.isEmpty())
        return screenArea_;
    const QScreen* screen = dialog.screen();
    return screen ? screen->availableGeometry().size() : QSize();
}

// The dialog keeps the template's size. On a screen whose available area is
// smaller (1366 x 768 against about 850 x 1010 with a CJK font) its lower
// part, the log's horizontal scroll bar with it, would be out of reach: the
// controls then move, where they are, onto a page of that size inside a
// scroll area, and the window shrinks to the screen. A dialog that fits is
// left exactly as it is.
void QtDialogWindow::FitToScreen()
{
    if (!widget_ || scrollArea_)
        return;
    const QSize client = widget_->size();
    const QSize area = host_.ScreenArea(*widget_);
    if (area.isEmpty())
        return;
    // The frame is not known before the window is shown; the title bar is
    // the part of it that counts.
    const int titleBar = widget_->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, widget_);
    const QSize room(area.width(), area.height() - titleBar);
    if (client.width() <= room.width() && client.height() <= room.height())
        return;

    QWidget* const focus = widget_->focusWidget();
    auto* scroll = new QScrollArea(widget_);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* page = new QWidget;
    page->setFixedSize(client);
    scroll->setWidget(page);
    // In the order of the dialog's children, which is their stacking order
    // (group boxes below the controls they frame).
    const QList<QWidget*> children = widget_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child == scroll || child->isWindow())
            continue;
        const bool hidden = child->isHidden();
        child->setParent(page);
        child->setVisible(!hidden);
    }
    if (focus)
        focus->setFocus();

    auto* layout = new QVBoxLayout(widget_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    // Scroll bars only where the page does not fit, and room for them.
    const int bar = widget_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
    int width = client.width(), height = client.height();
    if (height > room.height())
        width += bar;
    if (width > room.width())
        height += bar;
    if (height > room.height() && width == client.width())
        width += bar;
    widget_->setFixedSize(std::min(width, room.width()), std::min(height, room.height()));
    scrollArea_ = scroll;
}

bool QtDialogWindow::IsIconic() { return widget_ && widget_->isMinimized(); }

bool QtDialogWindow::HasSystemMenu() { return (template_.style & style::kSysMenu) != 0; }

void QtDialogWindow::AppendSystemMenu(std::uint32_t flags, std::uint32_t commandId, const std::wstring& text)
{
    systemMenu_.push_back(MenuItem{flags, commandId, text});
}

void QtDialogWindow::SetIcon(bool big, IconHandle icon)
{
    (big ? bigIcon_ : smallIcon_) = icon;
    if (widget_)
        widget_->setWindowIcon(host_.Icon(icon));
}

void QtDialogWindow::EndDialog(int result)
{
    ended_ = true;
    result_ = result;
    ReleaseCapture();
    if (widget_ && running_) {
        widget_->SetEnding(true);
        widget_->done(result);
    }
}

int QtDialogWindow::MessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t flags)
{
    messageBoxes_.push_back(QtMessageBoxRecord{text, caption, flags});
    // The application's title is the executable's name.
    const QString title = caption.empty() ? QCoreApplication::applicationName() : ToQt(caption);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & kMbIconMask) {
    case kMbIconError:
        icon = QMessageBox::Critical;
        break;
    case kMbIconQuestion:
        icon = QMessageBox::Question;
        break;
    case kMbIconWarning:
        icon = QMessageBox::Warning;
        break;
    case kMbIconInformation:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    QMessageBox box(icon, title, ToQt(text), QMessageBox::Ok, widget_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return kIdOk;
}

void QtDialogWindow::PaintIconic(IconHandle icon, int x, int y)
{
    // Only inside the dialog's own painting (WM_PAINT).
    if (!painting_ || !widget_)
        return;
    QPainter painter(widget_);
    painter.fillRect(widget_->rect(), widget_->palette().color(QPalette::Window));  // WM_ICONERASEBKGND
    const int size = QtDialogHost::kIconSize;
    painter.drawPixmap(x, y, host_.Icon(icon).pixmap(size, size));
}

}  // namespace norvik
