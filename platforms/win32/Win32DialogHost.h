#pragma once
// The dialog host on Win32: dialogs run with DialogBoxParamW from the
// templates of the program's resources, controls driven through their own
// messages. Every message of a dialog and of each bound control passes the
// framework's dispatch first (the windows are subclassed); what the
// framework leaves to default processing goes to the window procedure the
// system gave the window. Keyboard and mouse messages of the modal loop are
// offered to the framework's pre-translation through a message filter hook,
// which is also where the tooltips of the links get their mouse messages.

#include <memory>
#include <vector>

#include "framework/DialogHost.h"
#include "framework/Framework.h"

namespace norvik {

class Win32DialogWindow;

class Win32DialogHost final : public DialogHost {
public:
    // resourceModule: the module holding the templates, strings and icons
    // (an HMODULE); null means the executable itself.
    explicit Win32DialogHost(void* resourceModule = nullptr);
    ~Win32DialogHost() override;

    void InitCommonControls(std::uint32_t size, std::uint32_t classes) override;
    int RunModal(CDialog& dialog, int templateId) override;
    void DialogDestroyed(CDialog& dialog) override;
    IconHandle LoadIcon(int resourceId) override;
    std::wstring LoadString(unsigned id) override;
    int SystemMetric(int index) override;

    // The window of the innermost dialog running now, if any (an HWND).
    void* ActiveDialogWindow() const;
    // How many window records the host keeps now (for tests).
    std::size_t WindowRecordCount() const;

private:
    void* module_;
    // The window objects of the dialogs run, by the dialog they ran. Control
    // objects of a dialog (a link's font and tooltip) may still call their
    // window after the dialog has ended, so a window object outlives its
    // window (without one it does nothing) until the dialog object is
    // destroyed.
    struct WindowRecord {
        const CDialog* dialog;
        std::unique_ptr<Win32DialogWindow> window;
    };
    std::vector<WindowRecord> windows_;
    std::vector<Win32DialogWindow*> running_;
};

}  // namespace norvik
