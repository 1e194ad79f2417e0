// The dialog host contract on the in-memory host.

#include <functional>

#include "platforms/sim/MemoryDialogHost.h"
#include "tests/framework/HostContract.h"

namespace norvik::test {
namespace {

struct MemoryHost {
    static constexpr const char* kName = "Memory";
    static constexpr bool kProgramTextNotifies = false;

    DialogHost& Host() { return host; }

    void Run(ContractDialog& dialog, const std::function<void(DialogWindow&)>& body)
    {
        host.OnModal(ids::kMainDialog, [&](MemoryDialog& window) {
            body(window);
            window.EndDialog(0);
        });
        dialog.DoModal();
    }

    MemoryDialogHost host;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Host, HostContract, MemoryHost, HostName);

}  // namespace norvik::test
