// The `norvik` dialog program on Linux. It takes no arguments but --help and
// --version (which answer without a display); the platform is chosen once,
// here, from the environment:
//
//   NORVIK_SIMULATION=demo     the built-in demo scenario
//   NORVIK_SIMULATION=<file>   the simulated machine a scenario file describes
//   (unset or empty)           the real cameras, through V4L2 and sysfs
//
// The dialog runs on the Qt host and needs a display (an X11 or Wayland
// session, or QT_QPA_PLATFORM naming a platform plugin such as offscreen).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "apps/norvik/ProgramInfo.h"
#include "discovery/CaptureStack.h"
#include "console/AppPorts.h"
#include "framework/Framework.h"
#include "console/NorvikApp.h"
#include "platforms/linux/LinuxPlatform.h"
#include "platforms/linux/PosixRuntime.h"
#include "platforms/sim/Scenario.h"
#include "platforms/sim/SimPlatform.h"

#if defined(NORVIK_WITH_QT)
#include <QApplication>

#include "platforms/qt/QtDialogHost.h"
#include "platforms/qt/SettingsLocation.h"
#include "platforms/qt/StartupNotice.h"
#else
#include "platforms/sim/MemoryDialogHost.h"
#endif

using namespace norvik;

namespace {

#if defined(NORVIK_WITH_QT)
bool HasValue(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] != '\0';
}
#endif

// The devices the dialog works on: a simulated machine or the real one.
struct Machine {
    std::unique_ptr<SimPlatform> simulated;
    std::unique_ptr<LinuxPlatform> real;

    CaptureStack& Capture() { return simulated ? simulated->CaptureStackPort() : real->Capture(); }
    UsbHost& Usb() { return simulated ? simulated->UsbHostPort() : real->Usb(); }
    DeviceSetup& Setup() { return simulated ? simulated->DeviceSetupPort() : real->Setup(); }
};

// False, with the reason in `problem`, when the scenario asked for cannot be
// loaded.
bool ChooseMachine(Runtime& runtime, Machine& machine, std::string& problem)
{
    const char* simulation = std::getenv("NORVIK_SIMULATION");
    if (!simulation || simulation[0] == '\0') {
        machine.real = std::make_unique<LinuxPlatform>(runtime);
        return true;
    }
    const ScenarioLoad load =
        std::strcmp(simulation, "demo") == 0 ? LoadDemoScenario() : LoadScenarioFile(simulation);
    if (!load) {
        problem = "norvik: " + load.error;
        return false;
    }
    machine.simulated = std::make_unique<SimPlatform>(load.scenario);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    // Arguments other than --help and --version are ignored.
    switch (app::FindInfoRequest(argc, argv)) {
    case app::InfoRequest::Help:
        std::fputs(app::HelpText().c_str(), stdout);
        return 0;
    case app::InfoRequest::Version:
        std::fputs(app::VersionText().c_str(), stdout);
        return 0;
    case app::InfoRequest::None:
        break;
    }

#if defined(NORVIK_WITH_QT)
    if (!HasValue("QT_QPA_PLATFORM") && !HasValue("DISPLAY") && !HasValue("WAYLAND_DISPLAY")) {
        std::fputs(
            "norvik: no display to show the dialog on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
            "Run it in a desktop session, or under a virtual X server:\n"
            "    xvfb-run -a norvik\n"
            "(with NORVIK_SIMULATION=demo for the built-in demo cameras).\n",
            stderr);
        return 2;
    }
#endif

    PosixRuntime posixRuntime;

#if defined(NORVIK_WITH_QT)
    // Qt reads its own options from the command line; this program has none,
    // so only the program name is passed on. The application exists before
    // the platform is chosen, so that a problem can be shown in a box.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    StartupNotice notice(stderr, StartedWithoutTerminal());

    std::unique_ptr<RelocatedSettingsRuntime> relocated;
    Runtime& runtime = DesktopRuntime(posixRuntime, relocated);
    const std::wstring unwritable = UnwritableSettingsFile(posixRuntime, relocated.get());
    if (!unwritable.empty())
        notice.Report(UnwritableSettingsLine(unwritable));
#else
    Runtime& runtime = posixRuntime;
#endif

    Machine machine;
    std::string problem;
    if (!ChooseMachine(runtime, machine, problem)) {
#if defined(NORVIK_WITH_QT)
        notice.Report(problem);
#else
        std::fprintf(stderr, "%s\n", problem.c_str());
#endif
        return 1;
    }

#if defined(NORVIK_WITH_QT)
    QtDialogHost host;
    if (const IconHandle icon = host.LoadIcon(128))
        QApplication::setWindowIcon(host.Icon(icon));
#else
    (void)argv;
    std::fputs(
        "norvik: built without Qt 6; the dialog runs headless on the in-memory host and ends at once.\n",
        stderr);
    MemoryDialogHost host;
#endif

    const AppPorts ports{runtime, host, machine.Capture(), machine.Usb(), machine.Setup()};
    CNorvikApp app(ports);
    return RunApplication(app);
}
