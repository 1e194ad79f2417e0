// The transfer log at scale: 100,000 GETs appended through the main
// dialog's GET command on the in-memory host, then one save of the log.
// The per-row time of the first and the last thousand rows shows whether
// appending stays flat; the save must take under a second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "console/NorvikDlg.h"
#include "framework/ResourceIds.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/MemoryDialogHost.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik {
namespace {

struct Dialog {
    FakeRuntime runtime;
    MemoryDialogHost host;
    SimPlatform sim{LoadDemoScenario().scenario};
    std::unique_ptr<CNorvikDlg> dialog;
    MemoryDialog* window = nullptr;

    Dialog()
    {
        dialog = std::make_unique<CNorvikDlg>(
            AppPorts{runtime, host, sim.CaptureStackPort(), sim.UsbHostPort(), sim.DeviceSetupPort()},
            L"norvik");
        window = &host.Create(*dialog, ids::kMainDialog);
        window->TypeText(ids::kCsEdit, L"2");  // an 8-byte control of the first camera
    }
    ~Dialog()
    {
        host.Destroy(*window);
        dialog.reset();
        ClearDeviceList(ProcessDeviceList());
    }
    void Get() { window->Click(ids::kGetButton); }
};

double SecondsFor(Dialog& d, int rows)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rows; ++i)
        d.Get();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_AppendAndSave100k(benchmark::State& state)
{
    for (auto _ : state) {
        Dialog d;
        const double first = SecondsFor(d, 1000);
        SecondsFor(d, 98000);
        const double last = SecondsFor(d, 1000);
        const auto start = std::chrono::steady_clock::now();
        d.window->Click(ids::kSaveLogButton);
        const double save = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["first_1k_us_per_row"] = first * 1e3;
        state.counters["last_1k_us_per_row"] = last * 1e3;
        state.counters["save_100k_ms"] = save * 1e3;
        state.counters["rows"] = double(d.window->ListItemCount(ids::kLogList) - 2);
    }
}
BENCHMARK(BM_AppendAndSave100k)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvik

BENCHMARK_MAIN();
