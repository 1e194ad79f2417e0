#include "platforms/qt/QtControls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "framework/DialogHost.h"
#include "framework/DialogTemplates.h"
#include "framework/Framework.h"
#include "framework/Messages.h"

namespace norvik {

namespace {

constexpr std::uintptr_t kMkLButton = 0x0001;    // MK_LBUTTON
constexpr std::uintptr_t kMkRButton = 0x0002;    // MK_RBUTTON
constexpr std::uintptr_t kMkMButton = 0x0010;    // MK_MBUTTON
constexpr std::uint32_t kStaticTypeMask = 0x1F;  // SS_TYPEMASK

// Mouse messages carry the point in client coordinates: x in the low word,
// y in the high word, each as a signed 16-bit value.
std::intptr_t PointParam(const QPoint& point)
{
    const auto x = static_cast<std::uint16_t>(static_cast<std::int16_t>(point.x()));
    const auto y = static_cast<std::uint16_t>(static_cast<std::int16_t>(point.y()));
    return static_cast<std::intptr_t>(std::uintptr_t(x) | (std::uintptr_t(y) << 16));
}

std::uintptr_t MouseKeys(Qt::MouseButtons buttons)
{
    std::uintptr_t keys = 0;
    if (buttons & Qt::LeftButton)
        keys |= kMkLButton;
    if (buttons & Qt::RightButton)
        keys |= kMkRButton;
    if (buttons & Qt::MiddleButton)
        keys |= kMkMButton;
    return keys;
}

// The Windows virtual-key code of a Qt key, for the keys a control's window
// object can tell apart; 0 for the others.
std::uintptr_t VirtualKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::uintptr_t('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return std::uintptr_t('0' + (key - Qt::Key_0));
    switch (key) {
    case Qt::Key_Space:
        return kVkSpace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kVkReturn;
    case Qt::Key_Escape:
        return kVkEscape;
    case Qt::Key_Tab:
        return 0x09;
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    default:
        return 0;
    }
}

QColor FromColorRef(std::uint32_t colour)
{
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

}  // namespace

// --- StaticControl -------------------------------------------------------

StaticControl::StaticControl(ControlEvents& events, int controlId, std::uint32_t style, QWidget* parent)
    : QWidget(parent), events_(events), controlId_(controlId), style_(style)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoSystemBackground, false);
}

void StaticControl::SetText(const QString& text)
{
    text_ = text;
    update();
}

void StaticControl::SetIcon(const QPixmap& icon)
{
    icon_ = icon;
    update();
}

void StaticControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlColours colours;
    QColor textColour =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    if (events_.StaticColours(controlId_, colours)) {
        textColour = FromColorRef(colours.textColour);
        if (!colours.transparentBackground && !colours.nullBrush)
            painter.fillRect(rect(), palette().color(QPalette::Window));
    }

    if ((style_ & kStaticTypeMask) == style::kSsIcon) {
        if (!icon_.isNull())
            painter.drawPixmap(QRect(0, 0, icon_.width(), icon_.height()), icon_);
        return;
    }

    int flags = 0;
    switch (style_ & kStaticTypeMask) {
    case style::kSsCenter:
        flags |= Qt::AlignHCenter;
        break;
    case style::kSsRight:
        flags |= Qt::AlignRight;
        break;
    default:
        flags |= Qt::AlignLeft;
        break;
    }
    if (style_ & style::kSsCenterImage) {
        flags |= Qt::AlignVCenter;
    } else {
        flags |= Qt::AlignTop;
        // A static wraps its words when the text is wider than the control;
        // a text that fits stays on one line whatever the rounding of its
        // measured width.
        const QFontMetricsF metrics(font());
        if (metrics.horizontalAdvance(text_) > width() + 0.5)
            flags |= Qt::TextWordWrap;
    }
    // "&x" underlines x, as in a dialog's statics, unless SS_NOPREFIX asks
    // for the text exactly as held.
    if (!(style_ & style::kSsNoPrefix))
        flags |= Qt::TextShowMnemonic;

    painter.setPen(textColour);
    painter.setFont(font());
    painter.drawText(rect(), flags, text_);
}

bool StaticControl::TakesMouse()
{
    if (events_.HasCapture(controlId_))
        return true;
    const Message hitTest{msg::kNcHitTest, 0, PointParam(mapToGlobal(QPoint(0, 0)))};
    return events_.Send(controlId_, hitTest) == std::intptr_t(kHtClient);
}

void StaticControl::UpdateCursor()
{
    // WM_SETCURSOR: hit-test code in the low word, the mouse message in the
    // high word. An unanswered one leaves the ordinary arrow.
    const Message setCursor{msg::kSetCursor, 0,
                            static_cast<std::intptr_t>(kHtClient | (std::uintptr_t(msg::kMouseMove) << 16))};
    if (events_.Send(controlId_, setCursor) == 0)
        unsetCursor();
}

bool StaticControl::DeliverMouse(std::uint32_t message, QMouseEvent* event, std::uintptr_t keys)
{
    if (!TakesMouse())
        return false;
    events_.Input(controlId_, Message{message, keys, PointParam(event->position().toPoint())});
    return true;
}

void StaticControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton &&
        DeliverMouse(msg::kLButtonDown, event, MouseKeys(event->buttons())))
        event->accept();
    else
        event->ignore();
}

void StaticControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton &&
        DeliverMouse(msg::kLButtonUp, event, MouseKeys(event->buttons())))
        event->accept();
    else
        event->ignore();
}

void StaticControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!events_.HasCapture(controlId_)) {
        if (!TakesMouse()) {
            unsetCursor();
            event->ignore();
            return;
        }
        // Without the capture the cursor is set before the move arrives.
        UpdateCursor();
    }
    events_.Input(controlId_, Message{msg::kMouseMove, MouseKeys(event->buttons()),
                                      PointParam(event->position().toPoint())});
    event->accept();
}

void StaticControl::keyPressEvent(QKeyEvent* event)
{
    // lParam: a repeat count of 1.
    events_.Input(controlId_, Message{msg::kKeyDown, VirtualKey(event->key()), 1});
    event->accept();
}

void StaticControl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        events_.Send(controlId_, Message{msg::kSetFocus, 0, 0});
}

void StaticControl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        events_.Send(controlId_, Message{msg::kKillFocus, 0, 0});
}

// --- PickerCombo ---------------------------------------------------------

PickerCombo::PickerCombo(ControlEvents& events, int controlId, QWidget* parent)
    : QComboBox(parent), events_(events), controlId_(controlId)
{
    setEditable(true);
    // The list keeps exactly the items inserted, in insertion order: nothing
    // typed is added, nothing is sorted, nothing is completed.
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
    setCompleter(nullptr);

    // Chosen from the list or stepped to with the arrow keys: CBN_SELCHANGE,
    // then the closing of the list that the choice ended, if any, so that
    // its handler sees the chosen item.
    connect(this, &QComboBox::activated, this, [this](int) {
        events_.Notify(controlId_, notify::kComboSelChange);
        SendPendingCloseUp();
    });
    // Typed by the operator (never a text set by the program): CBN_EDITCHANGE.
    connect(lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString&) { events_.Notify(controlId_, notify::kComboEditChange); });
    // The list also closes without hidePopup() (a click elsewhere); its
    // window's hiding is what says the list closed.
    view()->window()->installEventFilter(this);
    // Installed after the list's own filters, so these see a key or a click
    // before the list acts on it.
    view()->installEventFilter(this);
    view()->viewport()->installEventFilter(this);
}

void PickerCombo::showPopup()
{
    if (popupOpen_)
        return;
    SendPendingCloseUp();  // the last closing is announced before the next opening
    choiceMayFollow_ = false;
    popupOpen_ = true;
    // The handler may fill the list (discovery) before it opens.
    events_.Notify(controlId_, notify::kComboDropDown);
    if (!isVisible()) {
        popupOpen_ = false;
        return;
    }
    QComboBox::showPopup();
    if (!view()->isVisible()) {
        // An empty list does not open; it is closed at once.
        popupOpen_ = false;
        events_.Notify(controlId_, notify::kComboCloseUp);
    }
}

void PickerCombo::hidePopup()
{
    // Qt hides the list before it applies a choice made in it (Enter, or a
    // click on an item), so after such a key or click the closing waits for
    // the choice and is announced right after it; should no choice come
    // after all, it goes out on the next turn of the event loop. Any other
    // closing (Escape, F4, a program's call) is announced at once.
    const bool choiceMayFollow = choiceMayFollow_;
    choiceMayFollow_ = false;
    hidingPopup_ = true;
    QComboBox::hidePopup();
    hidingPopup_ = false;
    if (!popupOpen_ || view()->isVisible())
        return;
    popupOpen_ = false;
    if (!choiceMayFollow) {
        events_.Notify(controlId_, notify::kComboCloseUp);
        return;
    }
    closeUpPending_ = true;
    QMetaObject::invokeMethod(this, &PickerCombo::SendPendingCloseUp, Qt::QueuedConnection);
}

void PickerCombo::SendPendingCloseUp()
{
    if (!closeUpPending_)
        return;
    closeUpPending_ = false;
    events_.Notify(controlId_, notify::kComboCloseUp);
}

bool PickerCombo::eventFilter(QObject* watched, QEvent* event)
{
    if (popupOpen_ && (watched == view() || watched == view()->viewport())) {
        const auto type = event->type();
        if (type == QEvent::MouseButtonRelease)
            choiceMayFollow_ = true;
        else if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            choiceMayFollow_ = key == Qt::Key_Return || key == Qt::Key_Enter;
        }
    }
    // A click elsewhere closes the list without hidePopup(); no choice
    // follows, so the closing is announced at once.
    if (event->type() == QEvent::Hide && watched == view()->window() && popupOpen_ && !hidingPopup_) {
        popupOpen_ = false;
        events_.Notify(controlId_, notify::kComboCloseUp);
    }
    return QComboBox::eventFilter(watched, event);
}

// --- LogModel ------------------------------------------------------------

LogModel::LogModel(QObject* parent) : QAbstractTableModel(parent) {}

int LogModel::InsertColumn(int index, const QString& title)
{
    if (index < 0 || index > Columns())
        index = Columns();
    beginInsertColumns(QModelIndex(), index, index);
    titles_.insert(index, title);
    for (auto& row : rows_)
        row.insert(row.begin() + index, QString());
    endInsertColumns();
    return index;
}

int LogModel::InsertRow(int index, const QString& firstCell)
{
    if (index < 0 || index > Rows())
        index = Rows();
    beginInsertRows(QModelIndex(), index, index);
    std::vector<QString> row(static_cast<std::size_t>(std::max(Columns(), 1)));
    row[0] = firstCell;
    rows_.insert(rows_.begin() + index, std::move(row));
    endInsertRows();
    return index;
}

void LogModel::RemoveAllRows()
{
    beginResetModel();
    rows_.clear();
    endResetModel();
}

bool LogModel::SetCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= Rows() || column < 0 || column >= std::max(Columns(), 1))
        return false;
    auto& cells = rows_[std::size_t(row)];
    if (std::size_t(column) >= cells.size())
        cells.resize(std::size_t(column) + 1);
    cells[std::size_t(column)] = text;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
    return true;
}

QString LogModel::Cell(int row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0)
        return QString();
    const auto& cells = rows_[std::size_t(row)];
    return std::size_t(column) < cells.size() ? cells[std::size_t(column)] : QString();
}

QString LogModel::Title(int column) const
{
    return column >= 0 && column < Columns() ? titles_[column] : QString();
}

int LogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

int LogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns(); }

QVariant LogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    return Cell(index.row(), index.column());
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return Title(section);
}

Qt::ItemFlags LogModel::flags(const QModelIndex& index) const
{
    // Rows can be selected, cells never edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// --- LogDelegate ---------------------------------------------------------

const QStaticText& LogDelegate::LaidOut(const QString& text, int width,
                                        const QStyleOptionViewItem& option) const
{
    if (option.font != cacheFont_ || cache_.size() >= kCacheLimit) {
        cache_.clear();
        cacheFont_ = option.font;
    }
    const QPair<QString, int> key(text, width);
    auto it = cache_.find(key);
    if (it != cache_.end())
        return *it;
    const QFontMetrics& metrics = option.fontMetrics;
    QString shown = text;
    if (metrics.horizontalAdvance(text) > width)
        shown = metrics.elidedText(text, Qt::ElideRight, width);
    QStaticText laidOut(shown);
    laidOut.setTextFormat(Qt::PlainText);
    laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
    laidOut.prepare(QTransform(), option.font);
    return *cache_.insert(key, laidOut);
}

void LogDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    constexpr int kMargin = 3;  // the list view's text margin
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect area = option.rect.adjusted(kMargin, 0, -kMargin, 0);
    if (text.isEmpty() || area.width() <= 0)
        return;
    // One line: line breaks and tabs inside a cell show as blanks.
    QString line = text;
    for (QChar& ch : line)
        if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QLatin1Char('\t'))
            ch = QLatin1Char(' ');
    const QStaticText& laidOut = LaidOut(line, area.width(), option);
    painter->save();
    painter->setFont(option.font);
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setClipRect(area, Qt::IntersectClip);
    const int top = area.top() + (area.height() - int(laidOut.size().height())) / 2;
    painter->drawStaticText(QPoint(area.left(), top), laidOut);
    painter->restore();
}

// --- DialogWidget --------------------------------------------------------

DialogWidget::DialogWidget(ControlEvents& events, QWidget* parent) : QDialog(parent), events_(events)
{
    // Keys reach the dialog manager before the control that has the focus,
    // whatever that control would do with them.
    qApp->installEventFilter(this);
}

DialogWidget::~DialogWidget()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool DialogWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* receiver = static_cast<QWidget*>(watched);
        if (receiver->window() == this) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (events_.DialogKey(receiver, key->key(), key->modifiers()))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogWidget::keyPressEvent(QKeyEvent* event)
{
    if (events_.DialogKey(this, event->key(), event->modifiers()))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void DialogWidget::closeEvent(QCloseEvent* event)
{
    if (ending_) {
        event->accept();
        return;
    }
    // The close box, Alt+F4 or the window manager's Close: the dialog
    // decides (WM_SYSCOMMAND SC_CLOSE, then WM_CLOSE).
    event->ignore();
    events_.DialogCloseBox();
}

void DialogWidget::contextMenuEvent(QContextMenuEvent* event)
{
    events_.DialogContextMenu(event->globalPos());
    event->accept();
}

void DialogWidget::paintEvent(QPaintEvent*) { events_.DialogPaint(); }

}  // namespace norvik
