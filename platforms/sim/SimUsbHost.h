#pragma once
// The USB host of a simulated machine: host controllers \\.\HCDn and hubs
// opened by name, answering the hub I/O control requests from the scenario's
// tree with the byte layouts the Windows drivers use.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "discovery/UsbHost.h"
#include "platforms/sim/Scenario.h"

namespace norvik {

class SimUsbHost : public UsbHost {
public:
    explicit SimUsbHost(std::shared_ptr<const Scenario> scenario);
    ~SimUsbHost() override;

    std::unique_ptr<UsbDeviceHandle> Open(const std::string& name) override;
    std::uint32_t LastError() override;

    // Shared with the handles: the last error and the progress of each
    // device's two-step configuration descriptor read.
    struct State;

private:
    std::shared_ptr<const Scenario> scenario_;
    std::map<std::string, const ScenarioHub*> hubs_;
    std::shared_ptr<State> state_;
};

}  // namespace norvik
