#pragma once
// What a public Platform holds: the POSIX runtime and either the simulated
// platform or the Linux one, and the ports a session reaches them by.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <norvik/Platform.h>

#include "discovery/DiscoveryPorts.h"
#include "platforms/linux/LinuxPlatform.h"
#include "platforms/linux/PosixRuntime.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik {

// Collects the diagnostic lines written between Begin() and End(); the
// lines written at other times are dropped, as a program without the debug
// console drops them. Lines may come from any thread (a channel's worker).
class DiagnosticCapture {
public:
    void Begin();
    // The bytes written since Begin().
    std::string End();
    void Write(std::string_view bytes);

private:
    std::mutex mutex_;
    bool collecting_ = false;
    std::string text_;
};

struct Platform::Impl {
    Impl();
    // Releases what the last discovery run still holds before the platform
    // that handed it out goes away.
    ~Impl();

    DiscoveryPorts Ports();

    DiagnosticCapture diagnostics;  // before the runtime that writes into it
    PosixRuntime runtime;
    std::unique_ptr<SimPlatform> sim;
    std::unique_ptr<LinuxPlatform> real;
};

// The result of an operation abandoned for want of memory.
Result OutOfMemoryResult();

}  // namespace norvik
