// SET, GET, "清空发送" and "上次输入".
#include <cstring>

#include "channel/NodeRequests.h"
#include "console/Codecs.h"
#include "console/NorvikDlg.h"
#include "console/TransferOps.h"

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
    if (!channel) {
        OpenUnit();
        if (!channel) {
            ShowMessage(L"设备打开失败，请点下拉框重新枚举设备！");
            return false;
        }
    }
    const std::wstring text = csEdit.GetWindowText();
    if (text.empty()) {
        ShowMessage(L"cs不能为空！");
        return false;
    }
    if (text == lastCsText && csLength != 0)
        return true;

    lastCsText = text;
    const std::uint8_t selector = ReduceSelectorText(text);
    if (selector == 0) {
        csLength = 0;
        ShowMessage(L"cs不能为0");
        return false;
    }
    csLength = ProbeControlLength(channelPorts_, *channel, selector);
    if (csLength != 0) {
        csSelector = selector;
        csLengthEdit.SetWindowText(std::to_wstring(csLength));
        return true;
    }
    char buffer[128] = {};
    FormatSystemError(runtime(), std::uint32_t(channel->lastResult), buffer, sizeof buffer);
    ShowFormattedMessage(*this, L"获取CS长度失败，错误码 %ls",
                         DecodeAnsiText(runtime(), buffer, sizeof buffer).c_str());
    return false;
}

void CNorvikDlg::SetCommand()
{
    if (!PrepareSelector())
        return;
    const std::wstring text = dataEdit.GetWindowText();
    if (text.empty()) {
        ShowMessage(L"SET数据不能为空");
        return;
    }
    const int row = std::max(0, logList.GetItemCount() - blankTailRows);
    const LogRedrawPause pause(logList);
    AppendTransferRow(row, true);
    std::memset(transferBuffer.get(), 0, kTransferBufferSize);
    const bool hexMode = hexSendCheck.GetCheck() != 0;
    logList.SetItemText(row, 3, BuildSendData(runtime(), text, hexMode, transferBuffer.get(), csLength));
    if (RequestXuProperty(channelPorts_, channel.get(), csSelector, transferBuffer.get(), csLength, true))
        WriteHexCell(row);
    else
        WriteFailureCell(row, L"SET数据失败");
    logList.ScrollToBottom();
}

void CNorvikDlg::GetCommand()
{
    if (!PrepareSelector())
        return;
    std::memset(transferBuffer.get(), 0, kTransferBufferSize);
    const LogRedrawPause pause(logList);
    const int row = std::max(0, logList.GetItemCount() - blankTailRows);
    AppendTransferRow(row, false);
    if (RequestXuProperty(channelPorts_, channel.get(), csSelector, transferBuffer.get(), csLength, false)) {
        WriteHexCell(row);
        logList.SetItemText(row, 3,
                            DecodeAnsiText(runtime(), reinterpret_cast<const char*>(transferBuffer.get()),
                                           csLength));
    } else {
        WriteFailureCell(row, L"GET数据失败");
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
