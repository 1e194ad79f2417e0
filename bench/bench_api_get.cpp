// What the session adds to a GET: the demo's firmware text control (it
// answers at once), read through the public API (norvik::Session::Get, which
// also builds the transfer row) against a bare RequestXuProperty of the same
// length on a channel opened on the same simulated camera. Both run on the
// POSIX runtime, as norvikctl and libnorvik do. Each benchmark also reports
// the median time of a single GET ("median_ns").

#include <benchmark/benchmark.h>

#include <norvik/Norvik.h>

#include <memory>
#include <vector>

#include "bench/MedianTiming.h"
#include "channel/NodeRequests.h"
#include "channel/XuChannel.h"
#include "platforms/linux/PosixRuntime.h"
#include "platforms/sim/Scenario.h"
#include "platforms/sim/SimPlatform.h"

namespace {

constexpr const char* kFirmwareUnit = "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}";
constexpr std::uint8_t kFirmwareSelector = 1;

void BM_ChannelGet(benchmark::State& state)
{
    using namespace norvik;
    PosixRuntime runtime;
    SimPlatform sim(LoadDemoScenario().scenario);
    ChannelPorts ports{sim.CaptureStackPort(), runtime};
    const Guid unit = *ParseRegistryGuid(kFirmwareUnit);
    std::unique_ptr<XuChannel> channel = OpenChannelByGuid(ports, &unit);
    if (!channel) {
        state.SkipWithError("no channel");
        return;
    }
    // The length probe, once, as the session caches it.
    RequestXuProperty(ports, channel.get(), kFirmwareSelector, nullptr, 0, false);
    std::vector<std::uint8_t> data(channel->bytesReturned);
    norvik::bench::RunTimedRequests(state, "GET failed", [&] {
        const bool ok = RequestXuProperty(ports, channel.get(), kFirmwareSelector, data.data(),
                                          std::uint16_t(data.size()), false);
        benchmark::DoNotOptimize(data.data());
        return ok;
    });
    CloseChannel(channel);
}
BENCHMARK(BM_ChannelGet)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SessionGet(benchmark::State& state)
{
    std::unique_ptr<norvik::Platform> platform = norvik::Platform::Simulated("demo");
    norvik::Session session(*platform);
    if (!session.Discover() || !session.OpenByGuid(kFirmwareUnit)) {
        state.SkipWithError("no unit");
        return;
    }
    std::size_t rows = 0;
    norvik::bench::RunTimedRequests(state, "GET failed", [&] {
        const bool ok = bool(session.Get("1"));
        // The log grows by a row per GET; keep it short as a long run goes.
        if (++rows == 4096) {
            session.ClearRows();
            rows = 0;
        }
        return ok;
    });
}
BENCHMARK(BM_SessionGet)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
