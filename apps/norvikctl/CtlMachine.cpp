#include "apps/norvikctl/CtlMachine.h"

#include <cstdio>
#include <optional>

#include "discovery/DeviceRecords.h"
#include "discovery/KsNode.h"
#include "session/ControlInfo.h"

namespace norvik::ctl {

std::unique_ptr<CtlMachine> CtlMachine::Create(const std::string& simulation, std::FILE* diagnostics,
                                               std::string& error)
{
    std::unique_ptr<CtlMachine> machine(new CtlMachine(MakeCtlRuntime(diagnostics)));
    if (simulation.empty()) {
        machine->real_ = MakeRealSystem(*machine->runtime_);
        return machine;
    }
    const ScenarioLoad load = simulation == "demo" ? LoadDemoScenario() : LoadScenarioFile(simulation);
    if (!load) {
        error = load.error;
        return nullptr;
    }
    machine->sim_ = std::make_unique<SimPlatform>(load.scenario);
    return machine;
}

CtlMachine::~CtlMachine()
{
    ClearDeviceList(ProcessDeviceList());
    if (sim_)
        WriteRequestTrace();
}

// A script checked on the simulated cameras can see which requests reached
// them: one line per request, appended to $NORVIK_SIM_TRACE when it is set.
void CtlMachine::WriteRequestTrace() const
{
    const std::optional<std::string> path = EnvironmentValue("NORVIK_SIM_TRACE");
    if (!path || path->empty())
        return;
    std::FILE* file = OpenNamedFile(*path, "ab");
    if (!file)
        return;
    for (std::size_t i = 0; i < sim_->CameraCount(); ++i) {
        for (const SimKsRequest& request : sim_->Camera(i).Requests()) {
            const char* kind = request.query                               ? ControlQueryName(*request.query)
                               : (request.flags & kKsPropertyTypeSet) != 0 ? "set"
                                                                           : "get";
            std::fprintf(file, "camera %zu %s node=%u cs=%u length=%u\n", i, kind, unsigned(request.nodeId),
                         unsigned(request.id), unsigned(request.dataLength));
        }
    }
    std::fclose(file);
}

DiscoveryPorts CtlMachine::Discovery()
{
    if (sim_)
        return sim_->Ports(*runtime_);
    return DiscoveryPorts{*runtime_, real_->Capture(), real_->Usb(), real_->Setup()};
}

ChannelPorts CtlMachine::Channel()
{
    if (sim_)
        return ChannelPorts{sim_->CaptureStackPort(), *runtime_};
    return ChannelPorts{real_->Capture(), *runtime_};
}

std::string ChosenSimulation(const std::string& simOption, bool simGiven)
{
    if (simGiven)
        return simOption;
    return EnvironmentValue("NORVIK_SIMULATION").value_or(std::string());
}

}  // namespace norvik::ctl
