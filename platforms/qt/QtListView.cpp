// The Qt dialog window: the report-mode list view and its header.

#include "platforms/qt/QtDialogHost.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>

#include "framework/Messages.h"
#include "platforms/qt/QtDialogSupport.h"

namespace norvik {

using namespace qtsupport;

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

int QtDialogWindow::ListColumnWidth(int id, int column)
{
    auto* view = qobject_cast<QTableView*>(ControlWidget(id));
    LogModel* model = ModelOf(view);
    if (!model || column < 0 || column >= model->columnCount())
        return 0;
    return view->columnWidth(column);
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

}  // namespace norvik
