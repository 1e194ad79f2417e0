// The dialog host contract on the Win32 host: the system's own controls
// from the program's resource templates, the reference the other hosts
// follow.

#include <functional>

#include "platforms/win32/Win32DialogHost.h"
#include "tests/framework/HostContract.h"
#include "tests/platforms/win32/ResourceModule.h"

namespace norvik::test {
namespace {

struct Win32Host {
    static constexpr const char* kName = "Win32";
    // Wine's extended combo box reports every change of its edit field,
    // the program's own texts and item selections included (the host
    // withholds only the emptying it does itself).
    static constexpr bool kProgramTextNotifies = true;

    Win32Host() { host.InitCommonControls(8, 0xFF); }

    DialogHost& Host() { return host; }

    // The dialog runs inside the system's modal loop: the rules are checked
    // from its initialisation.
    void Run(ContractDialog& dialog, const std::function<void(DialogWindow&)>& body)
    {
        ASSERT_NE(ResourceModule(), nullptr) << "NorvikResources.dll is not beside the test program";
        dialog.atInit = [&] {
            body(dialog.Window());
            dialog.EndDialog(0);
        };
        dialog.DoModal();
    }

    Win32DialogHost host{ResourceModule()};
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Host, HostContract, Win32Host, HostName);

}  // namespace norvik::test
