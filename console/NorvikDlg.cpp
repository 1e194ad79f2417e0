#include "console/NorvikDlg.h"

#include "framework/DialogTemplates.h"
#include "framework/ResourceIds.h"
#include "console/Settings.h"
#include "session/OperatorTexts.h"
#include "runtime/Runtime.h"
#include "shell/AboutDlg.h"

namespace norvik {

const MessageMapEntry CNorvikDlg::kMessageEntries[] = {
    OnMessage<CNorvikDlg, &CNorvikDlg::OnSysCommand>(msg::kSysCommand),
    OnMessage<CNorvikDlg, &CNorvikDlg::OnPaint>(msg::kPaint),
    OnMessage<CNorvikDlg, &CNorvikDlg::OnQueryDragIcon>(msg::kQueryDragIcon),
    OnCommand<CNorvikDlg, &CNorvikDlg::SetCommand>(ids::kSetButton, notify::kButtonClicked),
    OnCommand<CNorvikDlg, &CNorvikDlg::RefreshPicker>(ids::kPicker, notify::kComboDropDown),
    OnCommand<CNorvikDlg, &CNorvikDlg::CloseUnit>(ids::kPicker, notify::kComboSelChange),
    OnCommand<CNorvikDlg, &CNorvikDlg::OpenUnit>(ids::kOpenButton, notify::kButtonClicked),
    OnCommand<CNorvikDlg, &CNorvikDlg::CloseUnit>(ids::kCloseButton, notify::kButtonClicked),
    OnCommand<CNorvikDlg, &CNorvikDlg::GetCommand>(ids::kGetButton, notify::kButtonClicked),
    OnCommand<CNorvikDlg, &CNorvikDlg::ClearSendData>(ids::kClearSendButton, notify::kButtonClicked),
    OnCommand<CNorvikDlg, &CNorvikDlg::ClearTransferLog>(ids::kClearLogButton, notify::kButtonClicked),
    OnCommand<CNorvikDlg, &CNorvikDlg::OnPickerCloseUp>(ids::kPicker, notify::kComboCloseUp),
    OnMessage<CNorvikDlg, &CNorvikDlg::OnClose>(msg::kClose),
    OnMessage<CNorvikDlg, &CNorvikDlg::OnEraseBackground>(msg::kEraseBackground),
    OnCommand<CNorvikDlg, &CNorvikDlg::SaveTransferLog>(ids::kSaveLogButton, notify::kButtonClicked),
    OnCommand<CNorvikDlg, &CNorvikDlg::OnManualGuidCheck>(ids::kManualGuidCheck, notify::kButtonClicked),
    OnCommand<CNorvikDlg, &CNorvikDlg::OnPickerEditChange>(ids::kPicker, notify::kComboEditChange),
    OnCommand<CNorvikDlg, &CNorvikDlg::RecallLastInput>(ids::kRecallButton, notify::kButtonClicked),
};

const MessageMap CNorvikDlg::kMessageMap = {nullptr, kMessageEntries,
                                            sizeof kMessageEntries / sizeof kMessageEntries[0]};

const MessageMap* CNorvikDlg::GetMessageMap() const { return &kMessageMap; }

CNorvikDlg::CNorvikDlg(const AppPorts& ports, std::wstring applicationTitle)
    : CDialog(ports.dialogHost, ids::kMainDialog, std::move(applicationTitle)),
      ports_(ports),
      session(DiscoveryPorts{ports.runtime, ports.captureStack, ports.usbHost, ports.deviceSetup}),
      icon(ports.dialogHost.LoadIcon(ids::kMainIcon)),
      siteLink(ports.runtime)
{
}

CNorvikDlg::~CNorvikDlg()
{
    // A dialog ended by the cancel command skipped the close handler: the
    // channel is still closed here.
    session.Close();
}

void CNorvikDlg::DoDataExchange(DataExchange& exchange)
{
    exchange.Control(ids::kPicker, picker);
    exchange.Control(ids::kLogList, logList);
    exchange.Control(ids::kDataEdit, dataEdit);
    exchange.Control(ids::kInfoEdit, infoEdit);
    exchange.Control(ids::kCsEdit, csEdit);
    exchange.Control(ids::kCsLengthEdit, csLengthEdit);
    exchange.Control(ids::kStatusEdit, statusEdit);
    exchange.Control(ids::kHexSendCheck, hexSendCheck);
    exchange.Control(ids::kSiteLink, siteLink);
    exchange.Control(ids::kManualGuidCheck, manualGuidCheck);
}

bool CNorvikDlg::PreTranslateMessage(const Message& message) { return CDialog::PreTranslateMessage(message); }

bool CNorvikDlg::OnInitDialog()
{
    CDialog::OnInitDialog();  // binds the control members

    // The About entry of the system menu.
    const std::wstring aboutText = Host().LoadString(ids::kAboutMenuString);
    if (Window().HasSystemMenu() && !aboutText.empty()) {
        Window().AppendSystemMenu(kMfSeparator, 0, L"");
        Window().AppendSystemMenu(kMfString, ids::kAboutCommand, aboutText);
    }

    Window().SetIcon(true, icon);
    Window().SetIcon(false, icon);

    // The settings file beside the executable; its Debug key opens the
    // console.
    settingsPath = BuildSettingsPath(runtime());
    if (!settingsPath.empty() && runtime().ReadProfileInt(kSettingsSection, kDebugKey, 0, settingsPath) != 0)
        runtime().OpenConsole();

    // The first discovery, after the console so its lines are seen.
    RefreshPicker();

    // The input mode and the last typed GUID, then the picker to match.
    std::wstring storedGuid;
    if (!settingsPath.empty()) {
        inputMode = runtime().ReadProfileInt(kSettingsSection, kInputModeKey, 0, settingsPath);
        storedGuid = runtime().ReadProfileString(kSettingsSection, kInputGuidKey, L"", 60, settingsPath);
        if (!storedGuid.empty())
            inputGuid = storedGuid;
    }
    RestoreInput(storedGuid);

    // Start values of the selector, the send data and the log.
    csEdit.SetWindowText(L"1");
    session.Close();  // no unit is open yet: this only clears the length
    dataEdit.SetWindowText(L"ABCD");
    blankTailRows = 2;

    SetupLogColumns();

    siteLink.SetLinkTarget(maker::kWebsiteAddress);
    siteLink.ShowWindow(kSwShow);
    return true;  // the system gives the focus to the first tab stop
}

void CNorvikDlg::RestoreInput(const std::wstring& storedGuid)
{
    if (inputMode != 0 && !storedGuid.empty()) {
        picker.SetCurSel(-1);  // deselecting clears the edit field, so it goes first
        picker.SetWindowText(inputGuid);
        infoEdit.SetWindowText(L"");
        return;
    }
    if (inputMode != 0)
        inputMode = 0;
    if (picker.GetCount() > 0) {
        picker.SetCurSel(0);
        ShowUnitInfo(picker.GetItemData(0));
    }
}

void CNorvikDlg::SetupLogColumns()
{
    const int width = logList.GetWindowRect().Width();
    const int widths[] = {50, 70, width - 280, 150, 150, 250};
    for (int column = 0; column < 6; ++column)
        logList.InsertColumn(column, texts::kLogColumnTitles[column], widths[column]);
    logList.SetExtendedStyle(0, 0x10021);
    ClearTransferLog();
}

void CNorvikDlg::OnOK()
{
    // Enter must not close the dialog.
}

void CNorvikDlg::OnManualGuidCheck() {}

std::intptr_t CNorvikDlg::OnClose(const Message&)
{
    // The mode is taken from what the picker shows now, not what was read
    // or last opened.
    inputMode = IsManualEntry();
    if (!settingsPath.empty()) {
        runtime().WriteProfileString(kSettingsSection, kInputModeKey, std::to_wstring(inputMode & 1),
                                     settingsPath);
        if (!inputGuid.empty())
            runtime().WriteProfileString(kSettingsSection, kInputGuidKey, inputGuid,
                                         settingsPath);  // an empty one never erases the stored GUID
    }
    session.Close();  // the status text is left as it is
    session.ReleaseDevices();
    return Default();  // the cancel command ends the dialog
}

std::intptr_t CNorvikDlg::OnSysCommand(const Message& message)
{
    if ((message.wParam & 0xFFF0) == ids::kAboutCommand) {
        RunAboutBox(Host(), runtime(), ApplicationTitle());
        return 0;
    }
    return Default();
}

std::intptr_t CNorvikDlg::OnPaint(const Message&)
{
    if (!Window().IsIconic())
        return Default();
    const Rect client = Window().ClientRect(kSelf);
    const int x = (client.Width() - Host().SystemMetric(kSmCxIcon) + 1) / 2;
    const int y = (client.Height() - Host().SystemMetric(kSmCyIcon) + 1) / 2;
    Window().PaintIconic(icon, x, y);
    return 0;
}

std::intptr_t CNorvikDlg::OnQueryDragIcon(const Message&) { return std::intptr_t(icon); }

std::intptr_t CNorvikDlg::OnEraseBackground(const Message&) { return Default(); }

}  // namespace norvik
