#pragma once
// The capture stack of a simulated machine: the device enumerator lists the
// scenario's cameras in order, monikers give their names and properties, and
// each capture filter offers the camera's topology and control interface.

#include <memory>
#include <vector>

#include "discovery/CaptureStack.h"
#include "platforms/sim/SimCamera.h"

namespace norvik {

class SimCaptureStack : public CaptureStack {
public:
    SimCaptureStack(std::shared_ptr<const Scenario> scenario,
                    std::vector<std::shared_ptr<SimCamera>> cameras);

    HResult CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out) override;
    HResult CreateBindContext(std::shared_ptr<BindContext>* out) override;
    // Finds the camera by its exact display name.
    HResult ParseDisplayName(BindContext& context, const std::wstring& displayName,
                             std::shared_ptr<DeviceMoniker>* out) override;

private:
    std::shared_ptr<const Scenario> scenario_;
    std::vector<std::shared_ptr<SimCamera>> cameras_;
};

// The moniker of one simulated camera.
std::shared_ptr<DeviceMoniker> MakeSimMoniker(std::shared_ptr<SimCamera> camera);

}  // namespace norvik
