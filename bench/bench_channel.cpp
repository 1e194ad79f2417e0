// What the worker hand-off costs: an 8-byte GET through RequestXuProperty
// (copied into a request block, handed to the channel's worker thread and
// copied back) against the bare KsProperty call on the same control, which
// answers at once. The worker path runs on the test runtime (whose timed
// wait is the port's portable default) and, where it is built, on the POSIX
// runtime (a futex on the answer count), as the programs do. Each benchmark
// also reports the median time of a single request ("median_ns"), measured
// one request at a time.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/MedianTiming.h"
#include "channel/NodeRequests.h"
#include "channel/XuChannel.h"
#include "platforms/sim/FakeRuntime.h"
#ifdef NORVIK_WITH_LINUX
#include "platforms/linux/PosixRuntime.h"
#endif

namespace {

using namespace norvik;

class ImmediateControl : public KsControl {
public:
    HResult KsProperty(const void*, std::uint32_t, void* data, std::uint32_t length,
                       std::uint32_t* bytes) override
    {
        static const std::uint8_t value[8] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
        std::memcpy(data, value, std::min<std::uint32_t>(length, sizeof value));
        *bytes = length;
        return hr::kOk;
    }
};

// The requests here never reach the device search.
class NoDevices : public CaptureStack {
public:
    HResult CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>*) override { return hr::kFail; }
    HResult CreateBindContext(std::shared_ptr<BindContext>*) override { return hr::kFail; }
    HResult ParseDisplayName(BindContext&, const std::wstring&, std::shared_ptr<DeviceMoniker>*) override
    {
        return hr::kFail;
    }
};

const Guid kUnit = *ParseRegistryGuid("{0FB885C3-68C2-4547-90F7-8F47579D95FC}");

void BM_BareKsProperty(benchmark::State& state)
{
    ImmediateControl control;
    std::uint8_t data[8] = {};
    norvik::bench::RunTimedRequests(state, "request failed", [&] {
        KsNodeProperty property = MakeKsNodeProperty(kUnit, 7, false, 5);
        std::uint32_t bytes = 0;
        const HResult result = control.KsProperty(&property, sizeof property, data, 8, &bytes);
        benchmark::DoNotOptimize(data);
        return Succeeded(result);
    });
}
BENCHMARK(BM_BareKsProperty)->Repetitions(5)->ReportAggregatesOnly(true);

void RunWorker(benchmark::State& state, Runtime& runtime)
{
    NoDevices stack;
    ChannelPorts ports{stack, runtime};
    std::unique_ptr<XuChannel> channel = CreateChannel();
    channel->xuGuid = kUnit;
    channel->nodeId = 5;
    channel->control = std::make_shared<ImmediateControl>();
    std::uint8_t data[8] = {};
    norvik::bench::RunTimedRequests(state, "request failed", [&] {
        const bool ok = RequestXuProperty(ports, channel.get(), 7, data, 8, false);
        benchmark::DoNotOptimize(data);
        return ok;
    });
    CloseChannel(channel);
}

void BM_RequestXuPropertyWorker(benchmark::State& state)
{
    FakeRuntime runtime;
    RunWorker(state, runtime);
}
BENCHMARK(BM_RequestXuPropertyWorker)->Repetitions(5)->ReportAggregatesOnly(true);

#ifdef NORVIK_WITH_LINUX
void BM_RequestXuPropertyWorkerPosix(benchmark::State& state)
{
    PosixRuntime runtime;
    RunWorker(state, runtime);
}
BENCHMARK(BM_RequestXuPropertyWorkerPosix)->Repetitions(5)->ReportAggregatesOnly(true);
#endif

}  // namespace

BENCHMARK_MAIN();
