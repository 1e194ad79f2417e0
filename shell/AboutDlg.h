#pragma once
// The About box: the version line of this build and the maker's mail link.

#include <string>

#include "framework/Framework.h"
#include "shell/HyperLink.h"

namespace norvik {

class Runtime;

class CAboutDlg : public CDialog {
public:
    CAboutDlg(DialogHost& host, Runtime& runtime, std::wstring applicationTitle);

    CHyperLink mailLink;  // control 1023

protected:
    bool OnInitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;
};

// Constructs the About box, runs it modally and destroys it: what the main
// dialog's system menu item does.
void RunAboutBox(DialogHost& host, Runtime& runtime, const std::wstring& applicationTitle);

}  // namespace norvik
