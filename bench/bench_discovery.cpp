// A whole discovery run, diagnostics included, of a large generated machine:
// 16 cameras of 8 extension units each, every one behind three levels of hubs
// on 10 host controllers, every unit answering its first probe. The test
// runtime's clock makes the retry waits free; their cost is checked on the
// manual clock by the tests instead.

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdio>

#include "discovery/DiscoveryRun.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik {
namespace {

using Json = nlohmann::json;

constexpr int kCameras = 16;
constexpr int kUnitsPerCamera = 8;
constexpr int kControllers = 10;

std::string Hex4(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string UnitGuid(int camera, int unit)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012X}", 0x5EC00000 + camera, unit);
    return text;
}

Json GeneratedMachine()
{
    Json cameras = Json::array();
    std::vector<Json> devicesOf(kControllers, Json::object());
    for (int c = 0; c < kCameras; ++c) {
        const std::string pid = Hex4(0x1000 + c);
        Json nodes = Json::array({{{"type", "other"}}, {{"type", "other"}}});
        Json units = Json::array();
        Json controls = Json::object();
        for (int u = 0; u < kUnitsPerCamera; ++u) {
            nodes.push_back({{"type", "xu"}, {"guid", UnitGuid(c, u)}});
            units.push_back({{"unitId", 3 + u}, {"guid", UnitGuid(c, u)}});
            controls[UnitGuid(c, u)] = {{"1", {{"length", 8}}}};
        }
        const std::string path = "\\\\?\\usb#vid_2e7a&pid_" + pid + "&mi_00#7&" + Hex4(c) +
                                 "&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
        cameras.push_back({{"displayName", "@device:pnp:" + path},
                           {"friendlyName", "Bench Camera " + std::to_string(c)},
                           {"devicePath", path},
                           {"nodes", nodes},
                           {"controls", controls},
                           {"setup",
                            {{"class", "Camera"},
                             {"classDescription", "Cameras"},
                             {"deviceDesc", "USB Video Device"},
                             {"service", "usbvideo"},
                             {"locationPaths", {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(1)#USB(1)"}},
                             {"friendlyName", "Bench Camera " + std::to_string(c)},
                             {"locations", {"0000.0014.0000.001.001.001", "Port_#0001.Hub_#0004"}}}}});
        devicesOf[std::size_t(c % kControllers)][std::to_string(c / kControllers + 1)] = {
            {"idVendor", "0x2E7A"},
            {"idProduct", "0x" + pid},
            {"driverKey", "{36fc9e60-c465-11cf-8056-444553540000}\\" + Hex4(c)},
            {"config", {{"extensionUnits", units}}}};
    }

    Json controllers = Json::array();
    for (int n = 0; n < kControllers; ++n) {
        // Root hub -> hub -> hub -> hub holding the cameras.
        Json hub = {{"ports", 4}, {"children", devicesOf[std::size_t(n)]}};
        for (int level = 3; level >= 1; --level) {
            const std::string name =
                "USB#VID_3F1C&PID_0610#" + std::to_string(n) + "&" + std::to_string(level);
            hub = {{"ports", 4},
                   {"children",
                    {{"1",
                      {{"idVendor", "0x3F1C"},
                       {"idProduct", "0x0610"},
                       {"driverKey", name},
                       {"childName", name},
                       {"hub", hub}}}}}};
        }
        controllers.push_back(
            {{"index", n},
             {"driverKey", "{36fc9e60-c465-11cf-8056-444553540000}\\00" + std::to_string(n)},
             {"rootHub", "USB#ROOT_HUB30#" + std::to_string(n)},
             {"hub", hub}});
    }
    return {{"cameras", cameras}, {"usb", {{"controllers", controllers}}}};
}

void BM_DiscoverGeneratedMachine(benchmark::State& state)
{
    const ScenarioLoad load = LoadScenarioText(GeneratedMachine().dump(), "generated.json");
    if (!load) {
        state.SkipWithError(load.error.c_str());
        return;
    }
    SimPlatform platform(load.scenario);
    FakeRuntime runtime;
    runtime.OpenConsole();
    DiscoveryPorts ports = platform.Ports(runtime);
    DeviceList devices;
    std::size_t matched = 0;
    for (auto _ : state) {
        runtime.ClearDiagnostics();
        DiscoverDevices(ports, devices);
        matched = 0;
        for (const CaptureDevice& device : devices)
            for (const ExtensionUnitInfo& unit : device.units)
                matched += unit.matched;
        benchmark::DoNotOptimize(matched);
    }
    if (matched != std::size_t(kCameras * kUnitsPerCamera) || !runtime.SleepCalls().empty())
        state.SkipWithError("not every unit matched on its first probe");
    state.counters["units"] = double(matched);
    state.counters["transcriptBytes"] = double(runtime.Transcript().size());
}
BENCHMARK(BM_DiscoverGeneratedMachine)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvik

BENCHMARK_MAIN();
