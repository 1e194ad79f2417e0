#pragma once
// The runtime tests run on: FakeRuntime, with a manual clock, captured
// diagnostics and files in memory. Include this header and declare a
// `norvik::FakeRuntime runtime;` (or use TestRuntime()).

#include <memory>

#include "platforms/sim/FakeRuntime.h"

namespace norvik::test {

inline std::unique_ptr<FakeRuntime> TestRuntime() { return std::make_unique<FakeRuntime>(); }

}  // namespace norvik::test
