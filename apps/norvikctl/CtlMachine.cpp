#include "apps/norvikctl/CtlMachine.h"

#include <cstdlib>

#include "discovery/DeviceRecords.h"

namespace norvik::ctl {

std::unique_ptr<CtlMachine> CtlMachine::Create(const std::string& simulation, std::string& error)
{
    std::unique_ptr<CtlMachine> machine(new CtlMachine());
    if (simulation.empty()) {
        machine->linux_ = std::make_unique<LinuxPlatform>(machine->runtime_);
        return machine;
    }
    const ScenarioLoad load =
        simulation == "demo" ? LoadDemoScenario() : LoadScenarioFile(simulation);
    if (!load) {
        error = load.error;
        return nullptr;
    }
    machine->sim_ = std::make_unique<SimPlatform>(load.scenario);
    return machine;
}

CtlMachine::~CtlMachine() { ClearDeviceList(ProcessDeviceList()); }

DiscoveryPorts CtlMachine::Discovery()
{
    if (sim_)
        return sim_->Ports(runtime_);
    return DiscoveryPorts{runtime_, linux_->Capture(), linux_->Usb(), linux_->Setup()};
}

ChannelPorts CtlMachine::Channel()
{
    if (sim_)
        return ChannelPorts{sim_->CaptureStackPort(), runtime_};
    return ChannelPorts{linux_->Capture(), runtime_};
}

std::string ChosenSimulation(const std::string& simOption, bool simGiven)
{
    if (simGiven)
        return simOption;
    const char* variable = std::getenv("NORVIK_SIMULATION");
    return variable ? std::string(variable) : std::string();
}

}  // namespace norvik::ctl
