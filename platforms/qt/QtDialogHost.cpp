#include "platforms/qt/QtDialogHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QTimer>

#include <algorithm>

#include "framework/Messages.h"
#include "framework/ResourceIds.h"
#include "platforms/qt/QtDialogSupport.h"

// The icons are compiled into this library; a static library's resources
// are registered by name from the global namespace.
static void RegisterNorvikQtResources() { Q_INIT_RESOURCE(norvik_qt); }

namespace norvik {

using namespace qtsupport;

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
    FitToScreen();

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

void QtDialogWindow::SystemCommand(std::uint32_t command)
{
    SendToDialog(Message{msg::kSysCommand, command, 0});
}

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
    return Send(controlId, Message{msg::kReflectedCtlColor, 0, reinterpret_cast<std::intptr_t>(&colours)}) !=
           0;
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
