// The device and unit picker: list building, item data, opening and closing.
#include "console/NorvikDlg.h"
#include "session/OperatorTexts.h"

namespace norvik {

bool CNorvikDlg::Reported(const SessionResult& result)
{
    if (!result)
        ShowMessage(result.text);
    if (result.failure == SessionFailure::Conversion)
        abandoned_ = true;
    return result.ok;
}

void CNorvikDlg::RefreshPicker()
{
    picker.ResetContent();
    session.Discover();
    int n = 0;
    for (const ListedUnit& item : session.ListedUnits()) {
        picker.InsertItem(n, item.text);
        picker.SetItemData(n, item.itemData);
        ++n;
    }
}

int CNorvikDlg::IsManualEntry()
{
    const int selected = picker.GetCurSel();
    if (selected < 0)
        return 1;
    return picker.GetWindowText() != picker.GetItemText(selected) ? 1 : 0;
}

void CNorvikDlg::ShowUnitInfo(std::uint32_t itemData)
{
    const auto line =
        session.ListedUnitInfo(UnitSession::DeviceOfItem(itemData), UnitSession::UnitOfItem(itemData));
    if (line)
        infoEdit.SetWindowText(*line);
}

void CNorvikDlg::OnPickerCloseUp()
{
    const int selected = picker.GetCurSel();
    if (selected >= 0)
        ShowUnitInfo(picker.GetItemData(selected));
}

void CNorvikDlg::OnPickerEditChange()
{
    if (picker.GetWindowText().size() < 40) {
        CloseUnit();
        infoEdit.SetWindowText(L"");
    }
}

void CNorvikDlg::CloseUnit()
{
    const bool hadLength = session.Close();
    statusEdit.SetWindowText(texts::kNotOpen);
    if (hadLength)
        csLengthEdit.SetWindowText(L"");
}

void CNorvikDlg::OpenUnit()
{
    CloseUnit();
    inputMode = IsManualEntry();
    if (inputMode != 0) {
        OpenByTypedGuid();
        return;
    }
    const int selected = picker.GetCurSel();
    if (selected < 0)
        return;
    const std::uint32_t itemData = picker.GetItemData(selected);
    const SessionResult opened =
        session.OpenListed(UnitSession::DeviceOfItem(itemData), UnitSession::UnitOfItem(itemData));
    if (opened.failure == SessionFailure::Conversion) {
        Reported(opened);
        return;
    }
    statusEdit.SetWindowText(opened ? texts::kOpenSucceeded : texts::kOpenFailed);
}

void CNorvikDlg::OpenByTypedGuid()
{
    const std::wstring text = picker.GetWindowText();
    Guid guid{};
    if (!Reported(UnitSession::ParseTypedGuid(text, guid)))
        return;
    CloseUnit();
    if (!session.OpenTyped(guid, text)) {
        statusEdit.SetWindowText(texts::kOpenFailed);
        return;
    }
    statusEdit.SetWindowText(texts::kOpenSucceeded);
    inputGuid = text;
    std::wstring line;
    if (!Reported(session.TypedUnitInfo(line)))
        return;
    if (!line.empty())
        infoEdit.SetWindowText(line);
}

}  // namespace norvik
