#pragma once
// What a Python Machine and the units opened on it share: one Platform, the
// Session on it, and the lock that keeps them to one thread at a time.
//
// A Session has at most one open unit, so a unit handed to Python is named
// by the generation of the open that made it: a later open on the same
// machine supersedes it. Callers release the GIL around every call here;
// the lock is never held while waiting for the GIL, so the two cannot
// deadlock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <norvik/Norvik.h>

namespace norvik::python {

// Where a unit handle stands.
enum class UnitState {
    Open,         // the machine's open unit
    Closed,       // closed; its log is still the machine's log
    Superseded,   // another unit was opened since; its log is gone
    MachineGone,  // the machine was closed
};

class MachineCore {
public:
    // sim: none for the real cameras, "demo" or a scenario file's path.
    // Null with *error filled when the scenario cannot be loaded.
    static std::shared_ptr<MachineCore> Create(const std::optional<std::string>& sim, Result* error);
    ~MachineCore();
    MachineCore(const MachineCore&) = delete;
    MachineCore& operator=(const MachineCore&) = delete;

    bool IsSimulated() const { return simulated_; }
    bool IsClosed();
    // Releases the session and the platform; every unit becomes MachineGone.
    void Close();

    // A discovery run; *diagnostics (when given) gets its diagnostic lines.
    // False when the machine is closed.
    bool Discover(std::vector<DeviceRecord>& devices, std::string* diagnostics);

    struct Opened {
        bool machineClosed = false;
        Result result;
        std::uint64_t generation = 0;  // the new unit's, on success
    };
    // The open of a picked item (discovering first when this machine never
    // has) or of a typed GUID text. Success starts a new log.
    Opened OpenListed(unsigned device, unsigned unit);
    Opened OpenByGuid(const std::string& typedText);

    // Closes the unit of that generation if it is still open.
    void CloseUnit(std::uint64_t generation);
    UnitState StateOf(std::uint64_t generation);

    // Runs operation(session) under the lock when the unit of that
    // generation is in one of the accepted states; returns the state found.
    template <class Operation>
    UnitState WithUnit(std::uint64_t generation, bool needOpen, Operation&& operation)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const UnitState state = StateLocked(generation);
        if (state == UnitState::Open || (!needOpen && state == UnitState::Closed))
            operation(*session_);
        return state;
    }

private:
    MachineCore() = default;
    UnitState StateLocked(std::uint64_t generation) const;
    Opened Finish(Result result);
    void DiscoverLocked(std::vector<DeviceRecord>* devices, std::string* diagnostics);

    std::mutex mutex_;
    std::unique_ptr<Platform> platform_;
    std::unique_ptr<Session> session_;
    bool simulated_ = false;
    bool discovered_ = false;
    std::uint64_t generation_ = 0;  // of the last successful open
};

}  // namespace norvik::python
