#pragma once
// Where a session finds its cameras: a simulated machine described by a
// scenario, or the real cameras of this machine.

#include <memory>
#include <string>

#include <norvik/Records.h>

namespace norvik {

/// The machine a Session works on, chosen once.
///
/// A Platform owns the system resources behind every Session made on it and
/// must outlive them. It is not thread-safe: create it, and use the sessions
/// made on it, from one thread at a time.
class Platform {
public:
    /// A simulated machine. scenario is "demo" for the built-in demo (two
    /// cameras, five extension units) or the path of a scenario file (JSON,
    /// see docs/scenarios.md). Returns null when the scenario cannot be
    /// loaded; *error (when given) then holds Failure::BadScenario and the
    /// loader's message naming the file, the place and what is wrong.
    static std::unique_ptr<Platform> Simulated(const std::string& scenario, Result* error = nullptr);

    /// The real UVC cameras of this machine (V4L2 and sysfs on Linux).
    /// Never fails; a machine without cameras discovers none.
    static std::unique_ptr<Platform> RealCameras();

    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    /// Whether this is a simulated machine.
    bool IsSimulated() const;

    struct Impl;

private:
    explicit Platform(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    friend class Session;
};

}  // namespace norvik
