#pragma once
// The widgets the Qt dialog host builds a template's controls from, where a
// stock Qt widget does not behave as the dialog framework expects:
//
//   StaticControl  a static text or icon; paints with the colours its window
//                  object gives in the reflected WM_CTLCOLOR, and passes
//                  mouse, key and focus input to that object.
//   PickerCombo    the editable extended combo box; announces the drop-down
//                  before its list opens (CBN_DROPDOWN), so that the list can
//                  be filled first, and its closing (CBN_CLOSEUP).
//   LogModel       the rows and columns of a report-mode list view; the
//                  table view shows it and cannot edit it.
//   DialogWidget   the dialog's own window: keys the dialog manager handles
//                  (Escape, Enter), the close box, the context menu that
//                  stands for the system menu, painting.
//
// Each widget reports to a ControlEvents sink, the dialog window it belongs
// to, which turns the report into the framework's messages.

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QStaticText>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace norvik {

struct ControlColours;
struct Message;

// What the widgets of a dialog tell the dialog window.
class ControlEvents {
public:
    virtual ~ControlEvents() = default;
    // A control notification (WM_COMMAND with the control's id).
    virtual void Notify(int controlId, int notification) = 0;
    // Input for a control's window object: pre-translated, then dispatched.
    virtual std::intptr_t Input(int controlId, const Message& message) = 0;
    // A message sent to a control's window object (no pre-translation).
    virtual std::intptr_t Send(int controlId, const Message& message) = 0;
    // The colours a static paints with; false: the widget's own palette.
    virtual bool StaticColours(int controlId, ControlColours& colours) = 0;
    virtual bool HasCapture(int controlId) const = 0;

    // The dialog window's own input.
    virtual bool DialogKey(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers) = 0;
    virtual void DialogCloseBox() = 0;
    virtual void DialogContextMenu(const QPoint& globalPosition) = 0;
    virtual void DialogPaint() = 0;
};

class StaticControl final : public QWidget {
    Q_OBJECT
public:
    StaticControl(ControlEvents& events, int controlId, std::uint32_t style, QWidget* parent);

    void SetText(const QString& text);
    const QString& Text() const { return text_; }
    void SetIcon(const QPixmap& icon);
    bool HasIcon() const { return !icon_.isNull(); }
    std::uint32_t Style() const { return style_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // True when the control takes mouse input at this moment (WM_NCHITTEST
    // answers HTCLIENT, or the control holds the capture).
    bool TakesMouse();
    void UpdateCursor();
    bool DeliverMouse(std::uint32_t message, QMouseEvent* event, std::uintptr_t keys);

    ControlEvents& events_;
    int controlId_;
    std::uint32_t style_;
    QString text_;
    QPixmap icon_;
};

class PickerCombo final : public QComboBox {
    Q_OBJECT
public:
    PickerCombo(ControlEvents& events, int controlId, QWidget* parent);

    void showPopup() override;
    void hidePopup() override;
    bool PopupOpen() const { return popupOpen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SendPendingCloseUp();

    ControlEvents& events_;
    int controlId_;
    bool popupOpen_ = false;
    bool hidingPopup_ = false;      // inside hidePopup(): its hiding is announced there
    bool choiceMayFollow_ = false;  // the list saw Enter or a click release: a choice may come
    bool closeUpPending_ = false;   // the list closed; its CBN_CLOSEUP is still to come
};

class LogModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LogModel(QObject* parent = nullptr);

    // Column and row operations with the list view's index rules: an index
    // past the end appends. Return the index used.
    int InsertColumn(int index, const QString& title);
    int InsertRow(int index, const QString& firstCell);
    void RemoveAllRows();
    // False when the row or column does not exist.
    bool SetCell(int row, int column, const QString& text);
    QString Cell(int row, int column) const;
    QString Title(int column) const;
    int Rows() const { return static_cast<int>(rows_.size()); }
    int Columns() const { return static_cast<int>(titles_.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList titles_;
    // Each row holds one cell per column.
    std::vector<std::vector<QString>> rows_;
};

// Paints the log's cells: one line of text, cut with an ellipsis when it
// does not fit, on the selection colour when selected. The visible rows are
// repainted after every transfer; laying text out is what costs, so each
// cell text is laid out once, for its column width, and kept.
class LogDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    const QStaticText& LaidOut(const QString& text, int width, const QStyleOptionViewItem& option) const;

    static constexpr int kCacheLimit = 4096;  // texts kept before starting afresh
    mutable QHash<QPair<QString, int>, QStaticText> cache_;
    mutable QFont cacheFont_;
};

class DialogWidget final : public QDialog {
    Q_OBJECT
public:
    DialogWidget(ControlEvents& events, QWidget* parent);
    ~DialogWidget() override;

    // Set while the dialog is being ended, so that closing is not taken for
    // the operator's close box.
    void SetEnding(bool ending) { ending_ = ending; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ControlEvents& events_;
    bool ending_ = false;
};

}  // namespace norvik
