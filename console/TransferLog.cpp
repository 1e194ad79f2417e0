// The transfer log: its rows, "清空接收" and the CSV file.
#include <string>
#include <vector>

#include "console/Codecs.h"
#include "console/NorvikDlg.h"
#include "console/TransferOps.h"
#include "runtime/Runtime.h"

namespace norvik {

void CNorvikDlg::AppendTransferRow(int row, bool isSet)
{
    logList.InsertItem(row, std::to_wstring(row + 1));
    logList.SetItemText(row, 1, DirectionText(isSet, csSelector));
    if (IsManualEntry()) {
        if (channel && channel->deviceInfo.friendlyName[0] != 0) {
            logList.SetItemText(row, 4, DecodeAnsiText(runtime(), channel->deviceInfo.friendlyName,
                                                       sizeof channel->deviceInfo.friendlyName));
            logList.SetItemText(row, 5, picker.GetWindowText());
        }
        return;
    }
    const std::uint32_t itemData = picker.GetItemData(picker.GetCurSel());
    if (!HasItemEntry(itemData))
        return;
    const std::uint32_t device = (itemData >> 8) & 0xFF;
    logList.SetItemText(row, 4, std::wstring(deviceTable.Device(device)->FriendlyName()));
    logList.SetItemText(row, 5, FormatGuidWide(deviceTable.Unit(device, itemData & 0xFF)->guid));
}

void CNorvikDlg::WriteHexCell(int row)
{
    if (csLength == 0)
        return;
    logList.SetItemText(row, 2, FormatHexBytes(transferBuffer.get(), csLength));
}

void CNorvikDlg::WriteFailureCell(int row, const std::wstring& failureText)
{
    logList.SetItemText(row, 2,
                        FailureCellText(runtime(), failureText, channel != nullptr,
                                        channel ? channel->lastResult : 0));
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
        ShowMessage(L"列表木有数据，无需保存");
        return;
    }
    DialogWindow& window = Window();
    const int list = logList.ControlId();
    if (!window.ListHasHeader(list)) {
        ShowMessage(L"获取列表表头失败");
        return;
    }
    const std::wstring name = CsvFileName(runtime().Now());
    auto file = runtime().CreateOutputFile(name);
    if (!file) {
        ShowFormattedMessage(*this, L"创建文件%ls失败", name.c_str());
        return;
    }
    const int columns = window.HeaderItemCount(list);
    std::vector<std::wstring> cells(std::size_t(std::max(columns, 0)));
    for (int c = 0; c < columns; ++c)
        cells[std::size_t(c)] = window.HeaderItemTitle(list, c, 258);
    // A failed write or close is detected: the operator is told and the
    // incomplete file is removed; the log itself stays as it is.
    bool written = false;
    try {
        const std::string header = CsvLine(runtime(), cells);
        written = file->Write(header.data(), header.size());
        for (int r = 0; r < records && written; ++r) {
            for (int c = 0; c < columns; ++c)
                cells[std::size_t(c)] = logList.GetItemText(r, c);
            const std::string line = CsvLine(runtime(), cells);
            written = file->Write(line.data(), line.size());
        }
    } catch (const ConversionError&) {
        // A refused conversion is reported by the dispatcher; the partial
        // file goes, as after a failed write.
        file->Close();
        file.reset();
        runtime().RemoveFile(name);
        throw;
    }
    const bool closed = file->Close();
    file.reset();
    if (!written || !closed) {
        runtime().RemoveFile(name);
        ShowFormattedMessage(*this, L"保存 %ls 失败", name.c_str());
        return;
    }
    ShowFormattedMessage(*this, L"保存 %ls 成功", name.c_str());
}

}  // namespace norvik
