#pragma once
// The main dialog: the device and unit picker, the SET and GET commands, the
// transfer log and the settings. It owns everything that lives longer than
// one command; the device table the picker items point into, at most one
// open channel, the control-selector cache and the transfer buffer are held
// by its session, which does every operation the handlers ask for.

#include <cstdint>
#include <memory>
#include <string>

#include "console/AppPorts.h"
#include "console/Controls.h"
#include "framework/Framework.h"
#include "session/UnitSession.h"
#include "shell/HyperLink.h"

namespace norvik {

class CNorvikDlg : public CDialog {
public:
    CNorvikDlg(const AppPorts& ports, std::wstring applicationTitle);
    ~CNorvikDlg() override;

    // Picker (device and unit choice, open and close).
    void RefreshPicker();
    void ShowUnitInfo(std::uint32_t itemData);
    void OnPickerCloseUp();
    void OnPickerEditChange();
    void CloseUnit();
    void OpenUnit();
    void OpenByTypedGuid();
    int IsManualEntry();

    // SET and GET.
    bool PrepareSelector();
    void SetCommand();
    void GetCommand();
    void ClearSendData();
    void RecallLastInput();

    // Transfer log.
    // False when the command is abandoned (a refused conversion, reported).
    bool AppendTransferRow(int row, bool isSet);
    void WriteHexCell(int row);
    // False when the command is abandoned (a refused conversion, reported).
    bool WriteFailureCell(int row, const std::wstring& failureText);
    void ClearTransferLog();
    void SaveTransferLog();

    // State, readable by tests and by the log.
    const DeviceTable& Table() const { return session.Table(); }
    const XuChannel* Channel() const { return session.Channel(); }
    std::uint16_t CsLength() const { return session.Length(); }
    std::uint8_t CsSelector() const { return session.Selector(); }
    int InputMode() const { return inputMode; }
    const std::wstring& InputGuid() const { return inputGuid; }
    const std::wstring& SettingsPath() const { return settingsPath; }

protected:
    const MessageMap* GetMessageMap() const override;
    void DoDataExchange(DataExchange& exchange) override;
    bool PreTranslateMessage(const Message& message) override;
    bool OnInitDialog() override;
    void OnOK() override;

private:
    std::intptr_t OnSysCommand(const Message& message);
    std::intptr_t OnPaint(const Message& message);
    std::intptr_t OnQueryDragIcon(const Message& message);
    std::intptr_t OnClose(const Message& message);
    std::intptr_t OnEraseBackground(const Message& message);
    void OnManualGuidCheck();

    void RestoreInput(const std::wstring& storedGuid);
    void SetupLogColumns();
    // The source of a new row's "Device" and "XU guid" cells: the picker's
    // typed text, or its selected item.
    RowSource CurrentRowSource();
    // Shows a failed step's text; true when the step succeeded. A refused
    // conversion also sets abandoned_: the running command ends there.
    bool Reported(const SessionResult& result);
    Runtime& runtime() const { return ports_.runtime; }

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;

    AppPorts ports_;
    bool abandoned_ = false;

    // Members in declaration order. The session holds the device table, the
    // channel, the last CS text, the length and selector of the control and
    // the transfer buffer.
    UnitSession session;
    std::int32_t blankTailRows = 0;
    std::int32_t inputMode = 0;
    std::wstring inputGuid;
    std::wstring settingsPath;
    IconHandle icon = 0;
    CComboBoxEx picker;
    CListCtrl logList;
    CEdit dataEdit;
    CEdit infoEdit;
    CEdit csEdit;
    CEdit csLengthEdit;
    CEdit statusEdit;
    CButton hexSendCheck;
    CHyperLink siteLink;
    CButton manualGuidCheck;
};

}  // namespace norvik
