#pragma once
// A simulated machine built from a scenario: its capture stack, USB host and
// device setup, and the cameras' live state (control values written by SET
// persist across discovery runs for as long as the platform lives; interfaces
// handed out keep their camera alive beyond that).

#include <memory>
#include <vector>

#include "discovery/DiscoveryPorts.h"
#include "platforms/sim/Scenario.h"
#include "platforms/sim/SimCamera.h"
#include "platforms/sim/SimCaptureStack.h"
#include "platforms/sim/SimDeviceSetup.h"
#include "platforms/sim/SimUsbHost.h"

namespace norvik {

class SimPlatform {
public:
    explicit SimPlatform(std::shared_ptr<const Scenario> scenario);

    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    CaptureStack& CaptureStackPort() { return captureStack_; }
    UsbHost& UsbHostPort() { return usbHost_; }
    DeviceSetup& DeviceSetupPort() { return deviceSetup_; }
    // The discovery ports of this machine with the given runtime.
    DiscoveryPorts Ports(Runtime& runtime)
    {
        return DiscoveryPorts{runtime, captureStack_, usbHost_, deviceSetup_};
    }

    const Scenario& GetScenario() const { return *scenario_; }
    std::size_t CameraCount() const { return cameras_.size(); }
    // The live state of camera i (in scenario order): control values and the
    // property requests it received.
    SimCamera& Camera(std::size_t i) { return *cameras_.at(i); }

private:
    std::shared_ptr<const Scenario> scenario_;
    std::vector<std::shared_ptr<SimCamera>> cameras_;
    SimCaptureStack captureStack_;
    SimUsbHost usbHost_;
    SimDeviceSetup deviceSetup_;
};

}  // namespace norvik
