#pragma once
// The machine norvikctl works on: the POSIX runtime and either the simulated
// platform (a scenario: the built-in demo or a file) or the real Linux one.
// Chosen once at start; every command reaches devices only through the ports
// handed out here.

#include <memory>
#include <string>

#include "channel/ChannelPorts.h"
#include "discovery/DiscoveryPorts.h"
#include "platforms/linux/LinuxPlatform.h"
#include "platforms/linux/PosixRuntime.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik::ctl {

class CtlMachine {
public:
    // simulation: "" for the real system, "demo" for the built-in demo
    // scenario, anything else is the path of a scenario file. Null, with the
    // loader's message in error, when the scenario cannot be loaded.
    static std::unique_ptr<CtlMachine> Create(const std::string& simulation, std::string& error);

    // Releases what the last discovery run still holds before the platform
    // that handed it out goes away.
    ~CtlMachine();

    CtlMachine(const CtlMachine&) = delete;
    CtlMachine& operator=(const CtlMachine&) = delete;

    Runtime& GetRuntime() { return runtime_; }
    DiscoveryPorts Discovery();
    ChannelPorts Channel();
    bool Simulated() const { return sim_ != nullptr; }

private:
    CtlMachine() = default;

    PosixRuntime runtime_;
    std::unique_ptr<SimPlatform> sim_;
    std::unique_ptr<LinuxPlatform> linux_;
};

// The simulation the command line asks for: the --sim value when given,
// otherwise NORVIK_SIMULATION, otherwise none (the real system).
std::string ChosenSimulation(const std::string& simOption, bool simGiven);

}  // namespace norvik::ctl
