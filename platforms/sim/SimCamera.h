#pragma once
// The live state of one simulated camera: its control values, the failures
// still to inject and a log of the property requests it received. Shared by
// the simulated platform and every interface handed out for the camera, so a
// control interface stays usable after the platform is gone, and values
// written by SET survive a new discovery run.

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "discovery/CaptureStack.h"
#include "discovery/KsNode.h"
#include "platforms/sim/Scenario.h"

namespace norvik {

// One KsProperty call as the camera received it.
struct SimKsRequest {
    Guid set;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t nodeId = 0;
    std::uint32_t reserved = 0;
    std::uint32_t propertyLength = 0;
    std::uint32_t dataLength = 0;
    std::thread::id thread;
    std::optional<ControlQuery> query;  // set for a class query (KsQuery)
};

class SimCamera {
public:
    SimCamera(std::shared_ptr<const Scenario> scenario, std::size_t index);

    const ScenarioCamera& Spec() const { return scenario_->cameras[index_]; }
    std::size_t Index() const { return index_; }

    // IKsControl::KsProperty. Safe from any thread; a control's delay is
    // spent without holding the camera's lock.
    HResult KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                       std::uint32_t dataLength, std::uint32_t* bytesReturned);

    // A class query (GET_INFO, GET_MIN, ...) of a control, answered from the
    // scenario's keys; the same checks, delay and failures as KsProperty.
    HResult KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength, void* data,
                    std::uint32_t dataLength, std::uint32_t* bytesReturned);

    // The control's current value; nullopt when the camera has no such control.
    std::optional<std::vector<std::uint8_t>> ControlValue(const Guid& unit, std::uint8_t selector) const;
    // The most recent requests, oldest first: at most kKeptRequests of them,
    // so that a long soak on the simulated platform runs in bounded memory.
    static constexpr std::size_t kKeptRequests = 4096;
    std::vector<SimKsRequest> Requests() const;
    void ClearRequests();

private:
    struct ControlState {
        const ScenarioControl* spec = nullptr;
        std::vector<std::uint8_t> value;
        std::uint32_t injected = 0;  // failures injected so far
    };
    using ControlKey = std::pair<std::array<std::uint8_t, 16>, std::uint8_t>;

    std::optional<HResult> InjectedFailure(ControlState& control, bool isSet, std::uint32_t dataLength);
    std::optional<HResult> InjectedQueryFailure(ControlState& control, ControlQuery kind);
    // Records the request and checks its property, node and unit: a failure
    // code, or none with request filled. Called with the lock held.
    std::optional<HResult> Admit(const void* property, std::uint32_t propertyLength, void* data,
                                 std::uint32_t dataLength, std::optional<ControlQuery> query,
                                 KsNodeProperty& request);

    std::shared_ptr<const Scenario> scenario_;
    std::size_t index_;
    mutable std::mutex mutex_;
    std::map<ControlKey, ControlState> controls_;
    std::vector<std::uint32_t> probeFailuresLeft_;
    std::deque<SimKsRequest> requests_;
};

// The IKsControl of a simulated camera's capture filter.
class SimKsControl : public KsControl {
public:
    explicit SimKsControl(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}
    HResult KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                       std::uint32_t dataLength, std::uint32_t* bytesReturned) override
    {
        return camera_->KsProperty(property, propertyLength, data, dataLength, bytesReturned);
    }
    HResult KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength, void* data,
                    std::uint32_t dataLength, std::uint32_t* bytesReturned) override
    {
        return camera_->KsQuery(kind, property, propertyLength, data, dataLength, bytesReturned);
    }

private:
    std::shared_ptr<SimCamera> camera_;
};

}  // namespace norvik
