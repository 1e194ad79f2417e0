#pragma once
// Scenario building blocks and a discovery run on the simulated platform with
// the test runtime, shared by the discovery tests.

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryRun.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik::test {

using Json = nlohmann::json;

// Unit GUIDs of the test scenarios.
inline const char* const kGuidA = "{A0A0A0A0-1111-4111-8111-0000000000A1}";
inline const char* const kGuidB = "{B0B0B0B0-2222-4222-8222-0000000000B2}";
inline const char* const kGuidC = "{C0C0C0C0-3333-4333-8333-0000000000C3}";

inline std::string UsbDisplayName(const std::string& vid, const std::string& pid)
{
    return "@device:pnp:\\\\?\\usb#vid_" + vid + "&pid_" + pid +
           "&mi_00#6&1d2c3b4a&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

inline Json XuNode(const char* guid) { return Json{{"type", "xu"}, {"guid", guid}}; }
inline Json OtherNode() { return Json{{"type", "other"}}; }

inline Json Camera(const std::string& vid, const std::string& pid, const std::string& name,
                   Json nodes = Json::array())
{
    return Json{{"displayName", UsbDisplayName(vid, pid)}, {"friendlyName", name}, {"nodes", nodes}};
}

inline Json Unit(int unitId, const char* guid) { return Json{{"unitId", unitId}, {"guid", guid}}; }

inline Json Device(const std::string& vid, const std::string& pid, Json units = Json::array())
{
    return Json{{"idVendor", "0x" + vid},
                {"idProduct", "0x" + pid},
                {"driverKey", "dk-" + vid + "-" + pid},
                {"config", Json{{"extensionUnits", units}}}};
}

inline Json Hub(int ports, Json children = Json::object())
{
    return Json{{"ports", ports}, {"children", children}};
}

inline Json Controller(int index, Json hub)
{
    return Json{{"index", index},
                {"driverKey", "hcd-key-" + std::to_string(index)},
                {"rootHub", "ROOT_HUB#" + std::to_string(index)},
                {"hub", hub}};
}

// A scenario with these cameras and one controller whose root hub holds the
// devices on ports 1, 2, ... (a null leaves its port empty).
inline Json Machine(Json cameras, Json devices)
{
    Json children = Json::object();
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (!devices[i].is_null())
            children[std::to_string(i + 1)] = devices[i];
    const int ports = std::max<int>(int(devices.size()), 1);
    return Json{{"cameras", cameras},
                {"usb", {{"controllers", Json::array({Controller(0, Hub(ports, children))})}}}};
}

inline std::shared_ptr<const Scenario> MustLoad(const std::string& text)
{
    ScenarioLoad load = LoadScenarioText(text, "test.json");
    if (!load) {
        ADD_FAILURE() << load.error;
        load = LoadScenarioText(R"({"cameras": []})", "empty.json");
    }
    return load.scenario;
}

// A simulated machine, the test runtime with its console open, and a list.
class SimRun {
public:
    explicit SimRun(const Json& scenario) : SimRun(MustLoad(scenario.dump())) {}
    explicit SimRun(std::shared_ptr<const Scenario> scenario)
        : platform(std::make_unique<SimPlatform>(std::move(scenario))), ports(platform->Ports(runtime))
    {
        runtime.OpenConsole();
    }

    // One discovery run; the lines it printed.
    std::string Discover()
    {
        const std::size_t before = runtime.Transcript().size();
        DiscoverDevices(ports, devices);
        return runtime.Transcript().substr(before);
    }

    FakeRuntime runtime;
    std::unique_ptr<SimPlatform> platform;
    DiscoveryPorts ports;
    DeviceList devices;
};

// "{...}" of a scenario GUID, as discovery prints it.
inline Guid G(const char* text) { return *ParseRegistryGuid(text); }

}  // namespace norvik::test
