#pragma once
// Norvik's public C++ API: include this one header.
//
//   norvik::Platform  the machine: simulated, or the real cameras
//   norvik::Session   discovery, opening a unit, probe, SET, GET, the log
//   norvik::Result, DeviceRecord, UnitRecord, TransferRow  the records
//
// docs/api.md shows a complete program.

#include <norvik/Platform.h>
#include <norvik/Records.h>
#include <norvik/Session.h>

namespace norvik {

/// The version of the library this program was built against.
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;

}  // namespace norvik
