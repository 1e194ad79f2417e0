#include "platforms/sim/SimPlatform.h"

namespace norvik {

namespace {

std::vector<std::shared_ptr<SimCamera>> MakeCameras(const std::shared_ptr<const Scenario>& scenario)
{
    std::vector<std::shared_ptr<SimCamera>> cameras;
    for (std::size_t i = 0; i < scenario->cameras.size(); ++i)
        cameras.push_back(std::make_shared<SimCamera>(scenario, i));
    return cameras;
}

}  // namespace

SimPlatform::SimPlatform(std::shared_ptr<const Scenario> scenario)
    : scenario_(std::move(scenario)),
      cameras_(MakeCameras(scenario_)),
      captureStack_(scenario_, cameras_),
      usbHost_(scenario_),
      deviceSetup_(scenario_)
{
}

}  // namespace norvik
