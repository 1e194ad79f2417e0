#pragma once
// Runs a benchmark's loop over one request, timing each request on its own,
// and reports the median of those times as the counter "median_ns" beside
// the mean that Google Benchmark gives: a hand-off between threads has a
// fast usual case and rare slow ones, and the mean alone hides which.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace norvik::bench {

// `request` returns false when it failed; the run then stops with `failure`
// as its error.
template <typename Request>
void RunTimedRequests(benchmark::State& state, const char* failure, Request request)
{
    std::vector<double> samples;
    samples.reserve(1 << 20);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!request()) {
            state.SkipWithError(failure);
            break;
        }
        const auto end = std::chrono::steady_clock::now();
        if (samples.size() < samples.capacity())
            samples.push_back(std::chrono::duration<double, std::nano>(end - start).count());
    }
    if (samples.empty())
        return;
    auto middle = samples.begin() + std::ptrdiff_t(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    state.counters["median_ns"] = *middle;
}

}  // namespace norvik::bench
