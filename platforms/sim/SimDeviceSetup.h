#pragma once
// The device-setup view of a simulated machine: each camera with a "setup"
// entry is known by its device path, with its class, registry properties and
// a chain of device nodes (its own, then its ancestors) carrying location
// information.

#include <memory>

#include "discovery/DeviceSetup.h"
#include "platforms/sim/Scenario.h"

namespace norvik {

class SimDeviceSetup : public DeviceSetup {
public:
    explicit SimDeviceSetup(std::shared_ptr<const Scenario> scenario);

    std::unique_ptr<DeviceInfoSet> CreateDeviceInfoList() override;
    std::uint32_t LocationInformation(DevInst node, std::wstring* text, std::size_t bufferBytes) override;
    std::uint32_t Parent(DevInst node, DevInst* parent) override;
    // The camera's "serial", at any node of its chain.
    bool SerialNumber(DevInst node, std::wstring* serial) override;

    // The device node of a camera's own device, or of its level-th ancestor.
    static DevInst NodeOf(std::size_t camera, std::size_t level);

private:
    std::shared_ptr<const Scenario> scenario_;
};

}  // namespace norvik
