// Loading scenario files: a wide machine (many hubs and ports, five hubs deep
// as USB allows at most), and refusing a hostile file of hubs nested six
// thousand deep (440 KB). The refusal comes at the 65th JSON level, so its
// time and memory do not grow with the depth of the file.

#include <benchmark/benchmark.h>

#include <string>

#include "platforms/sim/Scenario.h"

namespace norvik {
namespace {

const std::string kHubLevel = R"({"idVendor": 1, "idProduct": 2, "hub": {"ports": 4, "children": {"1": )";

std::string RootedAt(const std::string& device)
{
    return R"({"cameras": [], "usb": {"controllers": [{"index": 0, "hub": {"ports": 1, "children": {"1": )" +
           device + "}}}]}}";
}

// Hubs nested depth deep, each on port 1 of the one above.
std::string HubChain(int depth, const std::string& leaf)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += kHubLevel;
    text += leaf;
    for (int i = 0; i < depth; ++i)
        text += "}}}";
    return text;
}

// Every port of every hub five levels deep holds a hub or a device.
std::string FullTree(int level)
{
    const std::string device = R"({"idVendor": 1, "idProduct": 2})";
    if (level == 5)
        return device;
    std::string children;
    for (int port = 1; port <= 4; ++port)
        children += (port > 1 ? ", \"" : "\"") + std::to_string(port) + "\": " + FullTree(level + 1);
    return R"({"idVendor": 1, "idProduct": 2, "hub": {"ports": 4, "children": {)" + children + "}}}";
}

void BM_LoadFiveLevelsOfFullHubs(benchmark::State& state)
{
    const std::string text = RootedAt(FullTree(0));
    for (auto _ : state) {
        ScenarioLoad load = LoadScenarioText(text, "wide.json");
        if (!load)
            state.SkipWithError(load.error.c_str());
        benchmark::DoNotOptimize(load);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadFiveLevelsOfFullHubs)->Unit(benchmark::kMillisecond);

void BM_RefuseHubsNestedThousandsDeep(benchmark::State& state)
{
    const std::string text = RootedAt(HubChain(int(state.range(0)), R"({"idVendor": 1, "idProduct": 2})"));
    for (auto _ : state) {
        ScenarioLoad load = LoadScenarioText(text, "deep.json");
        if (load)
            state.SkipWithError("a hub chain beyond what USB allows was loaded");
        benchmark::DoNotOptimize(load);
    }
    state.counters["bytes"] = double(text.size());
}
BENCHMARK(BM_RefuseHubsNestedThousandsDeep)->Arg(600)->Arg(6000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvik

BENCHMARK_MAIN();
