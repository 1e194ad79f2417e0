#pragma once
// What a public Platform holds: the POSIX runtime and either the simulated
// platform or the Linux one, and the ports a session reaches them by.

#include <memory>

#include <norvik/Platform.h>

#include "discovery/DiscoveryPorts.h"
#include "platforms/linux/LinuxPlatform.h"
#include "platforms/linux/PosixRuntime.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik {

struct Platform::Impl {
    // Releases what the last discovery run still holds before the platform
    // that handed it out goes away.
    ~Impl();

    DiscoveryPorts Ports();

    PosixRuntime runtime;
    std::unique_ptr<SimPlatform> sim;
    std::unique_ptr<LinuxPlatform> real;
};

// The result of an operation abandoned for want of memory.
Result OutOfMemoryResult();

}  // namespace norvik
