#include "shell/AboutDlg.h"

#include <utility>

#include "framework/DialogTemplates.h"
#include "framework/ResourceIds.h"
#include "shell/BuildTimestamp.h"

namespace norvik {

CAboutDlg::CAboutDlg(DialogHost& host, Runtime& runtime, std::wstring applicationTitle)
    : CDialog(host, ids::kAboutDialog, std::move(applicationTitle)), mailLink(runtime)
{
}

void CAboutDlg::DoDataExchange(DataExchange& exchange)
{
    CDialog::DoDataExchange(exchange);
    exchange.Control(ids::kMailLink, mailLink);
}

bool CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();  // binds the mail link

    BuildTimestamp stamp;
    ParseBuildTimestamp(stamp);
    Window().SetText(ids::kVersionText, FormatVersionLine(stamp));

    mailLink.SetLinkTarget(std::wstring(L"mailto:") + maker::kMailAddress);
    return true;
}

void RunAboutBox(DialogHost& host, Runtime& runtime, const std::wstring& applicationTitle)
{
    CAboutDlg about(host, runtime, applicationTitle);
    about.DoModal();
}

}  // namespace norvik
