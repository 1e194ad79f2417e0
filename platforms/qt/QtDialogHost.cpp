#include "platforms/qt/QtDialogHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "framework/Messages.h"
#include "framework/ResourceIds.h"

// The icons are compiled into this library; a static library's resources
// are registered by name from the global namespace.
static void RegisterNorvikQtResources() { Q_INIT_RESOURCE(norvik_qt); }

namespace norvik {

namespace {

constexpr std::uint32_t kButtonTypeMask = 0xF;
constexpr std::uint32_t kStaticTypeMask = 0x1F;
constexpr std::uint32_t kDisabled = 0x08000000;      // WS_DISABLED
constexpr std::uint32_t kScMinimize = 0xF020;        // SC_MINIMIZE
constexpr std::uint32_t kScRestore = 0xF120;         // SC_RESTORE
constexpr std::intptr_t kHtTransparent = -1;         // HTTRANSPARENT
constexpr std::uint32_t kCbErr = 0xFFFFFFFFu;        // CB_ERR as item data
constexpr std::uint32_t kLvsExGridLines = 0x1;       // LVS_EX_GRIDLINES
constexpr std::uint32_t kLvsExFullRowSelect = 0x20;  // LVS_EX_FULLROWSELECT
constexpr std::uint32_t kMbIconMask = 0xF0;
constexpr std::uint32_t kMbIconError = 0x10;
constexpr std::uint32_t kMbIconQuestion = 0x20;
constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr int kMainIconResource = 128;

QString ToQt(const std::wstring& text) { return QString::fromStdWString(text); }
std::wstring FromQt(const QString& text) { return text.toStdWString(); }

bool IsPushButton(std::uint32_t style)
{
    const std::uint32_t type = style & kButtonTypeMask;
    return type == style::kBsPushButton || type == style::kBsDefPushButton;
}

bool IsCheckBox(std::uint32_t style)
{
    // BS_CHECKBOX, BS_AUTOCHECKBOX, BS_3STATE, BS_AUTO3STATE
    const std::uint32_t type = style & kButtonTypeMask;
    return type == 0x2 || type == 0x3 || type == 0x5 || type == 0x6;
}

// The multi-line edit's text uses CR LF line breaks, as the framework reads
// and writes it; Qt holds bare line feeds.
QString ToEditLines(const std::wstring& text)
{
    QString lines = ToQt(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines;
}

std::wstring FromEditLines(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return FromQt(lines);
}

Rect ToRect(const QRect& rect) { return Rect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()}; }

}  // namespace

// --- QtDialogWindow ------------------------------------------------------

QtDialogWindow::QtDialogWindow(QtDialogHost& host, CDialog& dialog, const DialogTemplate& dialogTemplate,
                               QWidget* parent)
    : host_(host), dialog_(&dialog), template_(dialogTemplate)
{
    widget_ = new DialogWidget(*this, parent);
    dialogFont_ = MakeDialogFont(dialogTemplate);
    units_ = DialogBaseUnits(dialogFont_);
    fonts_[kDialogFont] = dialogFont_;

    widget_->setFont(dialogFont_);
    widget_->setWindowTitle(ToQt(dialogTemplate.caption));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (dialogTemplate.style & style::kSysMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dialogTemplate.style & style::kMinimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    widget_->setWindowFlags(flags);
    // A modal frame: the client area has the template's size and keeps it.
    const Rect client = DialogUnitsToPixels(units_, 0, 0, dialogTemplate.cx, dialogTemplate.cy);
    widget_->setFixedSize(client.Width(), client.Height());

    CreateControls();
}

QtDialogWindow::~QtDialogWindow() { Close(); }

void QtDialogWindow::CreateControls()
{
    int anonymous = -1000;
    std::vector<QWidget*> groupBoxes;
    for (const auto& t : template_.controls) {
        // Controls without an id are kept under distinct negative keys.
        const int key = t.id == ids::kNoId ? anonymous-- : t.id;
        QWidget* widget = CreateControl(t, key);
        Control control;
        control.kind = t.kind;
        control.style = t.style;
        control.widget = widget;
        control.id = key;
        widgetIds_[widget] = key;
        controls_[key] = std::move(control);
        if (t.kind == ControlClass::Button && (t.style & kButtonTypeMask) == style::kBsGroupBox)
            groupBoxes.push_back(widget);
    }
    // A group box only frames the controls inside it: below them, and
    // transparent to the mouse.
    for (QWidget* box : groupBoxes)
        box->lower();
}

QWidget* QtDialogWindow::CreateControl(const ControlTemplate& t, int key)
{
    Rect r = DialogUnitsToPixels(units_, t.x, t.y, t.cx, t.cy);
    const QString caption = ToQt(t.caption);
    const bool tabStop = (t.style & style::kTabStop) != 0;
    QWidget* widget = nullptr;
    int height = r.Height();
    const int id = t.id;

    switch (t.kind) {
    case ControlClass::Button:
        if ((t.style & kButtonTypeMask) == style::kBsGroupBox) {
            auto* box = new QGroupBox(caption, widget_);
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            widget = box;
        } else if (IsCheckBox(t.style)) {
            auto* check = new QCheckBox(caption, widget_);
            QObject::connect(check, &QCheckBox::clicked, widget_,
                             [this, id](bool) { Notify(id, notify::kButtonClicked); });
            widget = check;
        } else {
            auto* button = new QPushButton(caption, widget_);
            // The dialog manager, not Qt, decides what Enter presses.
            button->setAutoDefault(false);
            button->setDefault((t.style & kButtonTypeMask) == style::kBsDefPushButton);
            QObject::connect(button, &QPushButton::clicked, widget_,
                             [this, id](bool) { Notify(id, notify::kButtonClicked); });
            widget = button;
        }
        if (widget->focusPolicy() != Qt::NoFocus)
            widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        break;

    case ControlClass::Edit:
        if (t.style & style::kEsMultiline) {
            auto* edit = new QPlainTextEdit(widget_);
            edit->setTabChangesFocus(true);
            edit->setReadOnly((t.style & style::kEsReadOnly) != 0);
            edit->setVerticalScrollBarPolicy((t.style & style::kVScroll) ? Qt::ScrollBarAlwaysOn
                                                                         : Qt::ScrollBarAlwaysOff);
            edit->setLineWrapMode((t.style & style::kEsAutoHScroll) ? QPlainTextEdit::NoWrap
                                                                   : QPlainTextEdit::WidgetWidth);
            if (!(t.style & style::kBorder))
                edit->setFrameShape(QFrame::NoFrame);
            edit->setPlainText(caption);
            widget = edit;
        } else {
            auto* edit = new QLineEdit(caption, widget_);
            edit->setReadOnly((t.style & style::kEsReadOnly) != 0);
            edit->setFrame((t.style & style::kBorder) != 0);
            if (t.style & style::kEsNumber)
                edit->setValidator(
                    new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            widget = edit;
        }
        widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        break;

    case ControlClass::Static: {
        auto* label = new StaticControl(*this, key, t.style, widget_);
        if ((t.style & kStaticTypeMask) == style::kSsIcon) {
            // An icon static takes the icon's size at its position.
            const QIcon icon = host_.Icon(host_.LoadIcon(caption.toInt()));
            label->SetIcon(icon.pixmap(QtDialogHost::kIconSize, QtDialogHost::kIconSize));
            r.right = r.left + QtDialogHost::kIconSize;
            r.bottom = r.top + QtDialogHost::kIconSize;
            height = r.Height();
        } else {
            label->SetText(caption);
        }
        widget = label;
        break;
    }

    case ControlClass::ComboBoxEx: {
        auto* combo = new PickerCombo(*this, id, widget_);
        combo->setFont(dialogFont_);
        // The template's height is that of the dropped list; the field
        // itself is as high as its font needs.
        height = std::min(r.Height(), combo->sizeHint().height());
        const int itemHeight = QFontMetrics(dialogFont_).height() + 2;
        combo->setMaxVisibleItems(std::max(1, (r.Height() - height) / itemHeight));
        combo->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        widget = combo;
        break;
    }

    case ControlClass::ListView: {
        auto* view = new QTableView(widget_);
        auto* model = new LogModel(view);
        view->setModel(model);
        view->setItemDelegate(new LogDelegate(view));
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode((t.style & style::kLvsSingleSel) ? QAbstractItemView::SingleSelection
                                                                : QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectItems);
        view->setShowGrid(false);
        view->setWordWrap(false);
        view->setTabKeyNavigation(false);
        view->setCornerButtonEnabled(false);
        view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        view->verticalHeader()->hide();
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setMinimumSectionSize(1);
        view->verticalHeader()->setDefaultSectionSize(QFontMetrics(dialogFont_).height() + 2);
        view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        view->horizontalHeader()->setHighlightSections(false);
        view->horizontalHeader()->setStretchLastSection(false);
        view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        if (!(t.style & style::kBorder))
            view->setFrameShape(QFrame::NoFrame);
        view->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        widget = view;
        break;
    }
    }

    widget->setGeometry(r.left, r.top, r.Width(), height);
    if (!(t.style & style::kVisible))
        widget->hide();
    if (t.style & kDisabled)
        widget->setEnabled(false);
    return widget;
}

QtDialogWindow::Control* QtDialogWindow::Find(int id)
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

const QtDialogWindow::Control* QtDialogWindow::Find(int id) const
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

QWidget* QtDialogWindow::ControlWidget(int id) const
{
    if (id == kSelf)
        return widget_;
    const Control* control = Find(id);
    return control ? control->widget.data() : nullptr;
}

int QtDialogWindow::ControlIdOf(QWidget* widget) const
{
    for (QWidget* w = widget; w && w != widget_; w = w->parentWidget()) {
        auto it = widgetIds_.find(w);
        if (it != widgetIds_.end())
            return it->second;
    }
    return kSelf;
}

const QtDialogWindow::Tooltip* QtDialogWindow::TooltipOf(int id) const
{
    const Control* control = Find(id);
    return control ? &control->tooltip : nullptr;
}

std::intptr_t QtDialogWindow::SendToDialog(const Message& message)
{
    if (!dialog_ || ended_)
        return 0;
    return dialog_->Dispatch(message);
}

int QtDialogWindow::Run(const std::function<void(QtDialogWindow&)>& interaction)
{
    const std::intptr_t focusByDialogManager = SendToDialog(Message{msg::kInitDialog, 0, 0});
    if (ended_ || !widget_)
        return result_;
    if (focusByDialogManager != 0)
        FocusFirstTabStop();

    running_ = true;
    if (interaction) {
        QTimer::singleShot(0, widget_, [this, interaction] {
            interaction(*this);
            if (!ended_)
                PressEscape();
        });
    }
    widget_->exec();
    running_ = false;
    if (!ended_) {
        // The loop ended without EndDialog (the widget went away).
        ended_ = true;
        result_ = kIdCancel;
    }
    return result_;
}

void QtDialogWindow::Close()
{
    ReleaseCapture();
    dialog_ = nullptr;
    for (auto& [id, control] : controls_)
        control.subclass = nullptr;
    widgetIds_.clear();
    if (widget_) {
        widget_->SetEnding(true);
        delete widget_.data();
    }
}

void QtDialogWindow::FocusFirstTabStop()
{
    for (const auto& t : template_.controls) {
        const Control* control = Find(t.id);
        if (!control || !control->widget || !(control->style & style::kTabStop))
            continue;
        if (control->widget->isHidden() || !control->widget->isEnabled())
            continue;
        control->widget->setFocus(Qt::TabFocusReason);
        return;
    }
}

void QtDialogWindow::PressEscape()
{
    QWidget* focus = widget_ ? widget_->focusWidget() : nullptr;
    DialogKey(focus ? focus : widget_.data(), Qt::Key_Escape, Qt::NoModifier);
}

void QtDialogWindow::SystemCommand(std::uint32_t command) { SendToDialog(Message{msg::kSysCommand, command, 0}); }

std::unique_ptr<QMenu> QtDialogWindow::BuildSystemMenu()
{
    auto menu = std::make_unique<QMenu>(widget_);
    if (!HasSystemMenu())
        return menu;
    // Linux windows have no system menu of their own; this menu stands for
    // it, with the standard commands a dialog's system menu offers.
    if (template_.style & style::kMinimizeBox)
        menu->addAction(QStringLiteral("最小化(&N)"))->setData(kScMinimize);
    menu->addSeparator();
    menu->addAction(QStringLiteral("关闭(&C)\tAlt+F4"))->setData(kScClose);
    for (const auto& item : systemMenu_) {
        if (item.flags & kMfSeparator)
            menu->addSeparator();
        else
            menu->addAction(ToQt(item.text))->setData(item.id);
    }
    return menu;
}

// --- ControlEvents -------------------------------------------------------

void QtDialogWindow::Notify(int controlId, int notification)
{
    SendToDialog(Message{msg::kCommand, MakeCommandParam(controlId, notification), 0});
}

std::intptr_t QtDialogWindow::Input(int controlId, const Message& message)
{
    if (!dialog_ || ended_)
        return 0;
    Control* control = Find(controlId);
    if (!control)
        return 0;
    // Queued input goes through the pre-translation of the control's window
    // object and then of the dialog before it is dispatched.
    CWnd* target = control->subclass;
    if (target && target->PreTranslateMessage(message))
        return 0;
    if (dialog_->PreTranslateMessage(message))
        return 0;
    return Send(controlId, message);
}

std::intptr_t QtDialogWindow::Send(int controlId, const Message& message)
{
    Control* control = Find(controlId);
    if (!control)
        return 0;
    const int outer = activeControl_;
    activeControl_ = controlId;
    const std::intptr_t result =
        control->subclass ? control->subclass->Dispatch(message) : DefaultProcessing(controlId, message);
    activeControl_ = outer;
    return result;
}

bool QtDialogWindow::StaticColours(int controlId, ControlColours& colours)
{
    const Control* control = Find(controlId);
    if (!control || !control->subclass)
        return false;
    return Send(controlId, Message{msg::kReflectedCtlColor, 0, reinterpret_cast<std::intptr_t>(&colours)}) != 0;
}

bool QtDialogWindow::HasCapture(int controlId) const { return capture_ == controlId; }

bool QtDialogWindow::DialogKey(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers)
{
    if (!dialog_ || ended_)
        return false;
    const int focusId = ControlIdOf(receiver);
    const Control* focus = Find(focusId);

    // Ctrl+Break cancels like Escape.
    const bool ctrlBreak = key == Qt::Key_Pause && (modifiers & Qt::ControlModifier);
    if (!ctrlBreak && (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;

    if (key == Qt::Key_Escape || ctrlBreak) {
        const Message keyDown{msg::kKeyDown, kVkEscape, 1};
        if (focus && focus->subclass && focus->subclass->PreTranslateMessage(keyDown))
            return true;
        if (dialog_->PreTranslateMessage(keyDown))
            return true;
        Notify(kIdCancel, 0);
        return true;
    }

    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (focus && focus->kind == ControlClass::Edit && (focus->style & style::kEsMultiline) &&
            (focus->style & style::kEsWantReturn))
            return false;  // a line break in the edit
        const Message keyDown{msg::kKeyDown, kVkReturn, 1};
        if (focus && focus->subclass && focus->subclass->PreTranslateMessage(keyDown))
            return true;
        if (dialog_->PreTranslateMessage(keyDown))
            return true;
        if (focus && focus->kind == ControlClass::Button && IsPushButton(focus->style) && focus->widget) {
            static_cast<QPushButton*>(focus->widget.data())->click();
            return true;
        }
        Notify(kIdOk, 0);
        return true;
    }
    return false;
}

void QtDialogWindow::DialogCloseBox() { SendToDialog(Message{msg::kSysCommand, kScClose, 0}); }

void QtDialogWindow::DialogContextMenu(const QPoint& globalPosition)
{
    if (!HasSystemMenu())
        return;
    std::unique_ptr<QMenu> menu = BuildSystemMenu();
    QAction* chosen = menu->exec(globalPosition);
    if (chosen)
        SystemCommand(chosen->data().toUInt());
}

void QtDialogWindow::DialogPaint()
{
    painting_ = true;
    SendToDialog(Message{msg::kPaint, 0, 0});
    painting_ = false;
}

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

// --- The picker ----------------------------------------------------------

void QtDialogWindow::ComboReset(int id)
{
    auto* combo = qobject_cast<PickerCombo*>(ControlWidget(id));
    if (!combo)
        return;
    combo->clear();
    // CB_RESETCONTENT empties the edit field too.
    combo->lineEdit()->clear();
}

int QtDialogWindow::ComboInsertItem(int id, int index, const std::wstring& text)
{
    auto* combo = qobject_cast<PickerCombo*>(ControlWidget(id));
    if (!combo)
        return -1;
    if (index < 0 || index > combo->count())
        index = combo->count();
    const int selectedBefore = combo->currentIndex();
    const QString editText = combo->lineEdit()->text();
    combo->insertItem(index, ToQt(text), QVariant::fromValue<uint>(0));
    // Qt selects the first item put into an empty list; the list control
    // does not: inserting never changes the selection or the edit field.
    if (selectedBefore == -1 && combo->currentIndex() != -1) {
        combo->setCurrentIndex(-1);
        combo->lineEdit()->setText(editText);
    }
    return index;
}

void QtDialogWindow::ComboSetItemData(int id, int index, std::uint32_t data)
{
    auto* combo = qobject_cast<PickerCombo*>(ControlWidget(id));
    if (combo && index >= 0 && index < combo->count())
        combo->setItemData(index, QVariant::fromValue<uint>(data));
}

std::uint32_t QtDialogWindow::ComboItemData(int id, int index)
{
    auto* combo = qobject_cast<PickerCombo*>(ControlWidget(id));
    if (!combo || index < 0 || index >= combo->count())
        return kCbErr;
    return combo->itemData(index).toUInt();
}

int QtDialogWindow::ComboCurSel(int id)
{
    auto* combo = qobject_cast<PickerCombo*>(ControlWidget(id));
    return combo ? combo->currentIndex() : -1;
}

void QtDialogWindow::ComboSetCurSel(int id, int index)
{
    auto* combo = qobject_cast<PickerCombo*>(ControlWidget(id));
    if (!combo)
        return;
    if (index < 0 || index >= combo->count()) {
        // No selection, and like CB_SETCURSEL with -1 an empty edit field.
        combo->setCurrentIndex(-1);
        combo->lineEdit()->clear();
        return;
    }
    combo->setCurrentIndex(index);
    // Selecting an item shows its text, even when the operator had edited
    // the field while the same item stayed selected.
    combo->lineEdit()->setText(combo->itemText(index));
}

std::wstring QtDialogWindow::ComboItemText(int id, int index)
{
    auto* combo = qobject_cast<PickerCombo*>(ControlWidget(id));
    if (!combo || index < 0 || index >= combo->count())
        return std::wstring();
    return FromQt(combo->itemText(index));
}

int QtDialogWindow::ComboCount(int id)
{
    auto* combo = qobject_cast<PickerCombo*>(ControlWidget(id));
    return combo ? combo->count() : 0;
}

// --- The list view -------------------------------------------------------

namespace {

LogModel* ModelOf(QTableView* view) { return view ? qobject_cast<LogModel*>(view->model()) : nullptr; }

}  // namespace

void QtDialogWindow::ListInsertColumn(int id, int index, const std::wstring& title, int width)
{
    auto* view = qobject_cast<QTableView*>(ControlWidget(id));
    LogModel* model = ModelOf(view);
    if (!model)
        return;
    const int column = model->InsertColumn(index, ToQt(title));
    view->setColumnWidth(column, width);
}

void QtDialogWindow::ListSetExtendedStyle(int id, std::uint32_t mask, std::uint32_t exStyle)
{
    Control* control = Find(id);
    auto* view = control ? qobject_cast<QTableView*>(control->widget.data()) : nullptr;
    if (!view)
        return;
    if (mask == 0)
        mask = 0xFFFFFFFFu;  // a zero mask means every bit
    const std::uint32_t value = (control->listExStyle & ~mask) | (exStyle & mask);
    control->listExStyle = value;
    view->setShowGrid((value & kLvsExGridLines) != 0);
    view->setSelectionBehavior((value & kLvsExFullRowSelect) ? QAbstractItemView::SelectRows
                                                              : QAbstractItemView::SelectItems);
    // LVS_EX_DOUBLEBUFFER: Qt paints every widget double-buffered.
}

void QtDialogWindow::ListDeleteAllItems(int id)
{
    if (LogModel* model = ModelOf(qobject_cast<QTableView*>(ControlWidget(id))))
        model->RemoveAllRows();
}

int QtDialogWindow::ListInsertItem(int id, int index, const std::wstring& text)
{
    LogModel* model = ModelOf(qobject_cast<QTableView*>(ControlWidget(id)));
    return model ? model->InsertRow(index, ToQt(text)) : -1;
}

void QtDialogWindow::ListSetItemText(int id, int row, int column, const std::wstring& text)
{
    if (LogModel* model = ModelOf(qobject_cast<QTableView*>(ControlWidget(id))))
        model->SetCell(row, column, ToQt(text));
}

std::wstring QtDialogWindow::ListItemText(int id, int row, int column)
{
    LogModel* model = ModelOf(qobject_cast<QTableView*>(ControlWidget(id)));
    return model ? FromQt(model->Cell(row, column)) : std::wstring();
}

int QtDialogWindow::ListItemCount(int id)
{
    LogModel* model = ModelOf(qobject_cast<QTableView*>(ControlWidget(id)));
    return model ? model->Rows() : 0;
}

bool QtDialogWindow::ListHasHeader(int id)
{
    auto* view = qobject_cast<QTableView*>(ControlWidget(id));
    return view && view->horizontalHeader() != nullptr;
}

int QtDialogWindow::HeaderItemCount(int id)
{
    auto* view = qobject_cast<QTableView*>(ControlWidget(id));
    return view && view->horizontalHeader() ? view->horizontalHeader()->count() : 0;
}

std::wstring QtDialogWindow::HeaderItemTitle(int id, int index, int maxChars)
{
    auto* view = qobject_cast<QTableView*>(ControlWidget(id));
    if (!view || !view->horizontalHeader() || index < 0 || index >= view->horizontalHeader()->count())
        return std::wstring();
    // The title as the header shows it.
    QHeaderView* header = view->horizontalHeader();
    QString title = header->model()->headerData(index, Qt::Horizontal, Qt::DisplayRole).toString();
    if (maxChars >= 0 && title.size() > maxChars)
        title.truncate(maxChars);
    return FromQt(title);
}

void QtDialogWindow::SetRedraw(int id, bool redraw)
{
    QWidget* w = ControlWidget(id);
    if (!w)
        return;
    w->setUpdatesEnabled(redraw);
    if (redraw) {
        if (auto* view = qobject_cast<QTableView*>(w))
            view->viewport()->update();
    }
}

void QtDialogWindow::ScrollToBottom(int id)
{
    Control* control = Find(id);
    auto* view = control ? qobject_cast<QTableView*>(control->widget.data()) : nullptr;
    if (!view || control->scrollPending)
        return;
    // Scrolling lays out every row of the view first; done once when the
    // handler has returned, so that transfers made in one go cost one
    // layout, not one per row.
    control->scrollPending = true;
    QTimer::singleShot(0, view, [this, id, view] {
        if (Control* pending = Find(id))
            pending->scrollPending = false;
        view->scrollToBottom();
    });
}

// --- The dialog window ---------------------------------------------------

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
    return Size{static_cast<int>(std::ceil(metrics.horizontalAdvance(ToQt(text)))), QFontMetrics(measured).height()};
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

void QtDialogWindow::Subclass(int id, CWnd* target)
{
    if (Control* control = Find(id))
        control->subclass = target;
}

std::intptr_t QtDialogWindow::DefaultProcessing(int id, const Message& message)
{
    if (id == kSelf) {
        if (message.id == msg::kSysCommand && widget_) {
            switch (message.wParam & 0xFFF0) {
            case kScMinimize:
                widget_->showMinimized();
                break;
            case kScRestore:
                widget_->showNormal();
                break;
            default:
                break;
            }
        }
        return 0;
    }
    const Control* control = Find(id);
    if (!control)
        return 0;
    if (message.id == msg::kNcHitTest) {
        // A static without SS_NOTIFY lets the mouse through to the dialog.
        if (control->kind == ControlClass::Static && !(control->style & style::kSsNotify))
            return kHtTransparent;
        return kHtClient;
    }
    // Focus, cursor, colour, key and mouse messages need nothing more: the
    // widget has done its own part.
    return 0;
}

// --- QtDialogHost --------------------------------------------------------

QtDialogHost::QtDialogHost() { RegisterNorvikQtResources(); }

QtDialogHost::~QtDialogHost()
{
    for (auto& window : finished_)
        window->Close();
}

void QtDialogHost::OnModal(int templateId, Interaction interaction)
{
    interactions_[templateId] = std::move(interaction);
}

QIcon QtDialogHost::Icon(IconHandle handle) const
{
    auto it = icons_.find(handle);
    return it == icons_.end() ? QIcon() : it->second;
}

void QtDialogHost::InitCommonControls(std::uint32_t, std::uint32_t) { commonControls_ = true; }

int QtDialogHost::RunModal(CDialog& dialog, int templateId)
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(templateId);
    if (!dialogTemplate || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return -1;
    // A dialog opened from a running one is owned by it, as the framework
    // makes the main window the owner of a dialog created without a parent.
    QWidget* parent = running_.empty() ? nullptr : running_.back()->Widget();
    finished_.push_back(std::make_unique<QtDialogWindow>(*this, dialog, *dialogTemplate, parent));
    QtDialogWindow& window = *finished_.back();
    running_.push_back(&window);
    dialog.AttachDialogWindow(&window);

    auto it = interactions_.find(templateId);
    const int result = window.Run(it != interactions_.end() ? it->second : Interaction());

    dialog.DetachFromWindow();
    window.Close();
    running_.pop_back();
    return result;
}

IconHandle QtDialogHost::LoadIcon(int resourceId)
{
    if (resourceId != kMainIconResource)
        return 0;
    const IconHandle handle = IconHandle(kMainIconResource);
    if (!icons_.count(handle)) {
        QIcon icon;
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            icon.addFile(QStringLiteral(":/norvik/icons/norvik-%1.png").arg(size), QSize(size, size));
        if (icon.availableSizes().isEmpty())
            return 0;
        icons_[handle] = icon;
    }
    return handle;
}

std::wstring QtDialogHost::LoadString(unsigned id) { return LoadResourceString(id); }

int QtDialogHost::SystemMetric(int index)
{
    if (index == kSmCxIcon || index == kSmCyIcon)
        return kIconSize;
    return 0;
}

}  // namespace norvik
