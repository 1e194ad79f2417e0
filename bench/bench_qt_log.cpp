// The transfer log on the Qt host, offscreen:
//   - GetsIntoTheLog: N GETs through the main dialog (button click, control
//     request on the demo machine, a new log row, scroll to the end); the
//     time must grow linearly with N up to 100,000 rows.
//   - RedrawWithFullLog: with 100,000 rows in the log, one GET followed by
//     the event processing that scrolls to the new row and repaints the
//     list; each must stay under 5 ms (the counter over_5ms counts the ones
//     that did not).
//
// Needs the Qt dialog host (norvik_qt, NORVIK_WITH_QT); without it the
// program only says so.

#if defined(NORVIK_WITH_QT)

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTableView>

#include <chrono>
#include <cstdio>
#include <functional>

#include "console/AppPorts.h"
#include "console/NorvikApp.h"
#include "framework/ResourceIds.h"
#include "platforms/qt/QtDialogHost.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/Scenario.h"
#include "platforms/sim/SimPlatform.h"

namespace {

using namespace norvik;

QApplication& App()
{
    static int argc = 1;
    static char name[] = "bench_qt_log";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Counts the paint events of the widget it watches.
struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Runs the program's main dialog on the demo machine with the first listed
// unit opened, and hands it to `work`.
void WithOpenDialog(const std::function<void(QtDialogWindow&)>& work)
{
    App();
    FakeRuntime runtime;
    SimPlatform machine(LoadDemoScenario().scenario);
    QtDialogHost host;
    host.OnModal(ids::kMainDialog, [&](QtDialogWindow& window) {
        qobject_cast<QPushButton*>(window.ControlWidget(ids::kOpenButton))->click();
        work(window);
        window.PressEscape();
    });
    const AppPorts ports{runtime, host, machine.CaptureStackPort(), machine.UsbHostPort(),
                         machine.DeviceSetupPort()};
    CNorvikApp app(ports);
    app.InitInstance();
}

void BM_GetsIntoTheLog(benchmark::State& state)
{
    const int gets = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        WithOpenDialog([&](QtDialogWindow& window) {
            auto* get = qobject_cast<QPushButton*>(window.ControlWidget(ids::kGetButton));
            state.ResumeTiming();
            for (int i = 0; i < gets; ++i)
                get->click();
            state.PauseTiming();
            if (window.ListItemCount(ids::kLogList) != gets + 2)
                state.SkipWithError("a GET did not add its row");
        });
        state.ResumeTiming();
    }
    state.SetComplexityN(gets);
}
BENCHMARK(BM_GetsIntoTheLog)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_RedrawWithFullLog(benchmark::State& state)
{
    constexpr int kRows = 100000;
    constexpr double kLimitMs = 5.0;
    WithOpenDialog([&](QtDialogWindow& window) {
        auto* get = qobject_cast<QPushButton*>(window.ControlWidget(ids::kGetButton));
        auto* log = qobject_cast<QTableView*>(window.ControlWidget(ids::kLogList));
        for (int i = 0; i < kRows; ++i)
            get->click();
        QCoreApplication::processEvents();
        PaintCounter paints;
        log->viewport()->installEventFilter(&paints);
        int over = 0;
        double worst = 0;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            get->click();
            // The scroll to the new row and the repaint of the list.
            QCoreApplication::processEvents();
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            worst = std::max(worst, ms);
            if (ms > kLimitMs)
                ++over;
            state.SetIterationTime(ms / 1000.0);
        }
        log->viewport()->removeEventFilter(&paints);
        state.counters["rows"] = double(window.ListItemCount(ids::kLogList));
        state.counters["paints"] = double(paints.count);
        state.counters["worst_ms"] = worst;
        state.counters["over_5ms"] = double(over);
    });
}
BENCHMARK(BM_RedrawWithFullLog)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

#else

#include <cstdio>

int main()
{
    std::fputs("bench_qt_log: built without the Qt dialog host (norvik_qt); nothing to measure\n", stderr);
    return 0;
}

#endif
