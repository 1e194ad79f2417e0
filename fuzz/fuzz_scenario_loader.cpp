// Any bytes as a scenario file: the loader either returns a scenario or one
// message naming the file, never an exception, a crash or an exhausted stack;
// a scenario it returns must carry a whole discovery run of the simulated
// machine.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryRun.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/Scenario.h"
#include "platforms/sim/SimPlatform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace norvik;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ScenarioLoad load = LoadScenarioText(text, "fuzz.json");
    if (!load) {
        if (load.error.rfind("fuzz.json: ", 0) != 0)
            std::abort();
        return 0;
    }
    if (!load.error.empty())
        std::abort();

    SimPlatform machine(load.scenario);
    FakeRuntime runtime;
    DiscoveryPorts ports = machine.Ports(runtime);
    DeviceList devices;
    DiscoverDevices(ports, devices);
    return 0;
}
