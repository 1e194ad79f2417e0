// The dialog host contract on the Qt host, offscreen.

#include <functional>

#include "platforms/qt/QtDialogHost.h"
#include "tests/framework/HostContract.h"
#include "tests/platforms/qt/QtTestSupport.h"

namespace norvik::test {
namespace {

struct QtHost {
    static constexpr const char* kName = "Qt";
    static constexpr bool kProgramTextNotifies = false;

    // A screen the dialog fits on; the offscreen platform's own is 800 x 600.
    QtHost()
    {
        QtApp();
        host.SetScreenArea(QSize(1920, 1160));
    }

    DialogHost& Host() { return host; }

    void Run(ContractDialog& dialog, const std::function<void(DialogWindow&)>& body)
    {
        host.OnModal(ids::kMainDialog, [&](QtDialogWindow& window) {
            body(window);
            window.EndDialog(0);
        });
        dialog.DoModal();
    }

    QtDialogHost host;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Host, HostContract, QtHost, HostName);

}  // namespace norvik::test
