// The transfer log: its rows, "清空接收" and the CSV file.
#include <algorithm>
#include <string>
#include <vector>

#include "console/NorvikDlg.h"
#include "session/OperatorTexts.h"

namespace norvik {

RowSource CNorvikDlg::CurrentRowSource()
{
    RowSource source;
    if (IsManualEntry()) {
        source.typed = true;
        source.typedText = picker.GetWindowText();
        return source;
    }
    const std::uint32_t itemData = picker.GetItemData(picker.GetCurSel());
    source.device = UnitSession::DeviceOfItem(itemData);
    source.unit = UnitSession::UnitOfItem(itemData);
    return source;
}

bool CNorvikDlg::AppendTransferRow(int row, bool isSet)
{
    TransferRecord record;
    const SessionResult described = session.BeginRecord(isSet, unsigned(row + 1), CurrentRowSource(), record);
    logList.InsertItem(row, record.line);
    logList.SetItemText(row, 1, record.direct);
    if (!Reported(described))
        return false;
    if (!record.device.empty() || !record.xuGuid.empty()) {
        logList.SetItemText(row, 4, record.device);
        logList.SetItemText(row, 5, record.xuGuid);
    }
    return true;
}

void CNorvikDlg::WriteHexCell(int row)
{
    if (session.Length() == 0)
        return;
    logList.SetItemText(row, 2, session.HexCellText());
}

bool CNorvikDlg::WriteFailureCell(int row, const std::wstring& failureText)
{
    std::wstring cell;
    if (!Reported(session.FailureCellText(failureText.c_str(), cell)))
        return false;
    logList.SetItemText(row, 2, cell);
    return true;
}

void CNorvikDlg::ClearTransferLog()
{
    logList.DeleteAllItems();
    for (int i = 0; i < blankTailRows; ++i)
        logList.InsertItem(i, L"");
}

void CNorvikDlg::SaveTransferLog()
{
    const int records = logList.GetItemCount() - blankTailRows;
    if (records < 1) {
        ShowMessage(texts::kLogEmpty);
        return;
    }
    DialogWindow& window = Window();
    const int list = logList.ControlId();
    if (!window.ListHasHeader(list)) {
        ShowMessage(texts::kLogHasNoHeader);
        return;
    }
    const int columns = std::max(window.HeaderItemCount(list), 0);
    std::vector<std::wstring> titles(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c)
        titles[std::size_t(c)] = window.HeaderItemTitle(list, c, 258);
    std::vector<std::vector<std::wstring>> rows(std::size_t(records),
                                                std::vector<std::wstring>(titles.size()));
    for (int r = 0; r < records; ++r)
        for (int c = 0; c < columns; ++c)
            rows[std::size_t(r)][std::size_t(c)] = logList.GetItemText(r, c);
    // Success or failure, the session's text is the message to show; the log
    // itself stays as it is.
    ShowMessage(session.SaveCsv(titles, rows).text);
}

}  // namespace norvik
