#pragma once
// A main dialog on the in-memory host, the simulated devices and the fake
// runtime: what an operator sees, driven through the message map.

#include <memory>
#include <string>

#include "console/NorvikDlg.h"
#include "framework/ResourceIds.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/MemoryDialogHost.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik::testing {

inline const std::wstring kSettingsPath = L"/opt/norvik/NorvikCfg.ini";

class DialogFixture {
public:
    explicit DialogFixture(std::shared_ptr<const Scenario> scenario) : sim(std::move(scenario)) {}

    // Constructs the dialog and sends WM_INITDIALOG.
    MemoryDialog& Start()
    {
        dialog = std::make_unique<CNorvikDlg>(Ports(), L"norvik");
        window = &host.Create(*dialog, ids::kMainDialog);
        return *window;
    }

    AppPorts Ports()
    {
        return AppPorts{runtime, host, sim.CaptureStackPort(), sim.UsbHostPort(), sim.DeviceSetupPort()};
    }

    ~DialogFixture()
    {
        if (window)
            host.Destroy(*window);
        dialog.reset();
        ClearDeviceList(ProcessDeviceList());
    }

    std::wstring Text(int id) { return window->GetText(id); }
    MemoryControl& Log() { return window->Control(ids::kLogList); }
    std::wstring Cell(int row, int column) { return window->ListItemText(ids::kLogList, row, column); }
    std::wstring LastMessage()
    {
        const auto& boxes = window->MessageBoxes();
        return boxes.empty() ? L"" : boxes.back().text;
    }

    FakeRuntime runtime;
    MemoryDialogHost host;
    SimPlatform sim;
    std::unique_ptr<CNorvikDlg> dialog;
    MemoryDialog* window = nullptr;
};

inline std::shared_ptr<const Scenario> DemoScenario()
{
    auto load = LoadDemoScenario();
    return load.scenario;
}

inline std::shared_ptr<const Scenario> ScenarioFromText(const std::string& text)
{
    auto load = LoadScenarioText(text, "test.json");
    if (!load)
        throw std::runtime_error(load.error);
    return load.scenario;
}

}  // namespace norvik::testing
