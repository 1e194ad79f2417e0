#pragma once
// The machine norvikctl works on: the platform's runtime and either the
// simulated platform (a scenario: the built-in demo or a file) or the real
// one of the system norvikctl was built for (CtlSystem.h). Chosen once at
// start; every command reaches devices only through the ports handed out
// here.

#include <cstdio>
#include <memory>
#include <string>

#include "apps/norvikctl/CtlSystem.h"
#include "channel/ChannelPorts.h"
#include "discovery/DiscoveryPorts.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik::ctl {

class CtlMachine {
public:
    // simulation: "" for the real system, "demo" for the built-in demo
    // scenario, anything else is the path of a scenario file (UTF-8). Null,
    // with the loader's message in error, when the scenario cannot be
    // loaded. diagnostics: where the runtime's diagnostic lines go once its
    // console is open.
    static std::unique_ptr<CtlMachine> Create(const std::string& simulation, std::FILE* diagnostics,
                                              std::string& error);

    // Releases what the last discovery run still holds before the platform
    // that handed it out goes away.
    ~CtlMachine();

    CtlMachine(const CtlMachine&) = delete;
    CtlMachine& operator=(const CtlMachine&) = delete;

    Runtime& GetRuntime() { return *runtime_; }
    DiscoveryPorts Discovery();
    ChannelPorts Channel();
    bool Simulated() const { return sim_ != nullptr; }

private:
    explicit CtlMachine(std::unique_ptr<Runtime> runtime) : runtime_(std::move(runtime)) {}
    void WriteRequestTrace() const;

    std::unique_ptr<Runtime> runtime_;
    std::unique_ptr<SimPlatform> sim_;
    std::unique_ptr<RealSystem> real_;
};

// The simulation the command line asks for: the --sim value when given,
// otherwise NORVIK_SIMULATION, otherwise none (the real system).
std::string ChosenSimulation(const std::string& simOption, bool simGiven);

}  // namespace norvik::ctl
