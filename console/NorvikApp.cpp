#include "console/NorvikApp.h"

#include "discovery/CaptureStack.h"
#include "console/NorvikDlg.h"

namespace norvik {

CNorvikApp::CNorvikApp(const AppPorts& ports) : CWinApp(ports.dialogHost, ports.runtime), ports_(ports) {}

bool CNorvikApp::InitInstance()
{
    host_.InitCommonControls(8, 0xFF);
    CWinApp::InitInstance();
    ports_.captureStack.InitializeApartment();  // result ignored; never uninitialised
    {
        CNorvikDlg dialog(ports_, ApplicationName());
        mainWnd = &dialog;
        dialog.DoModal();
        mainWnd = nullptr;
    }
    return false;  // no message loop after the dialog
}

}  // namespace norvik
