// SET, GET, "清空发送" and "上次输入".
#include <algorithm>

#include "console/NorvikDlg.h"
#include "session/OperatorTexts.h"

namespace norvik {

namespace {

// Keeps the log from repainting while a row is built, and switches repainting
// back on however the command ends, a refused conversion included.
class LogRedrawPause {
public:
    explicit LogRedrawPause(CListCtrl& list) : list_(list) { list_.SetRedraw(false); }
    ~LogRedrawPause() { list_.SetRedraw(true); }
    LogRedrawPause(const LogRedrawPause&) = delete;
    LogRedrawPause& operator=(const LogRedrawPause&) = delete;

private:
    CListCtrl& list_;
};

}  // namespace

bool CNorvikDlg::PrepareSelector()
{
    if (!session.HasChannel()) {
        // A refused conversion inside the Open abandons the whole command,
        // reported once.
        abandoned_ = false;
        OpenUnit();
        if (abandoned_)
            return false;
    }
    bool probed = false;
    if (!Reported(session.Prepare(csEdit.GetWindowText(), &probed)))
        return false;
    if (probed)
        csLengthEdit.SetWindowText(std::to_wstring(session.Length()));
    return true;
}

void CNorvikDlg::SetCommand()
{
    if (!PrepareSelector())
        return;
    const std::wstring text = dataEdit.GetWindowText();
    if (!Reported(UnitSession::CheckSendText(text)))
        return;
    const int row = std::max(0, logList.GetItemCount() - blankTailRows);
    const LogRedrawPause pause(logList);
    if (!AppendTransferRow(row, true))
        return;
    std::wstring dataString;
    if (!Reported(session.BuildSendData(text, hexSendCheck.GetCheck() != 0, dataString)))
        return;
    logList.SetItemText(row, 3, dataString);
    if (session.Request(true))
        WriteHexCell(row);
    else if (!WriteFailureCell(row, texts::kSetFailed))
        return;
    logList.ScrollToBottom();
}

void CNorvikDlg::GetCommand()
{
    if (!PrepareSelector())
        return;
    session.ClearBuffer();
    const LogRedrawPause pause(logList);
    const int row = std::max(0, logList.GetItemCount() - blankTailRows);
    if (!AppendTransferRow(row, false))
        return;
    if (session.Request(false)) {
        WriteHexCell(row);
        std::wstring text;
        if (!Reported(session.ReceivedText(text)))
            return;
        logList.SetItemText(row, 3, text);
    } else if (!WriteFailureCell(row, texts::kGetFailed)) {
        return;
    }
    logList.ScrollToBottom();
}

void CNorvikDlg::RecallLastInput()
{
    if (inputGuid.empty())
        return;
    if (picker.GetWindowText() == inputGuid)
        return;
    picker.SetWindowText(inputGuid);
    inputMode = 1;
    infoEdit.SetWindowText(L"");
}

void CNorvikDlg::ClearSendData() { dataEdit.SetWindowText(L""); }

}  // namespace norvik
