// The Qt dialog window: the picker, an extended combo box.

#include "platforms/qt/QtDialogHost.h"

#include <QLineEdit>

#include "framework/Messages.h"
#include "platforms/qt/QtDialogSupport.h"

namespace norvik {

using namespace qtsupport;

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

}  // namespace norvik
