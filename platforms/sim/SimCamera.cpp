#include "platforms/sim/SimCamera.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "discovery/KsNode.h"

namespace norvik {

namespace {

void Report(std::uint32_t* bytesReturned, std::uint32_t count)
{
    if (bytesReturned)
        *bytesReturned = count;
}

}  // namespace

SimCamera::SimCamera(std::shared_ptr<const Scenario> scenario, std::size_t index)
    : scenario_(std::move(scenario)), index_(index)
{
    const ScenarioCamera& spec = Spec();
    for (const ScenarioUnitControls& unit : spec.controls) {
        for (const auto& [selector, control] : unit.selectors) {
            ControlState& state = controls_[ControlKey{unit.guid.bytes, selector}];
            state.spec = &control;
            state.value = control.value;
        }
    }
    for (const ScenarioNode& node : spec.nodes)
        probeFailuresLeft_.push_back(node.probeFailures);
}

std::optional<HResult> SimCamera::InjectedFailure(ControlState& control, bool isSet, std::uint32_t dataLength)
{
    const ScenarioControl& spec = *control.spec;
    std::optional<HResult> code = spec.fail;
    if (!code && isSet)
        code = spec.setFail;
    if (!code && !isSet && dataLength > 0)
        code = spec.getFail;
    if (!code)
        return std::nullopt;
    if (spec.failTimes && control.injected >= *spec.failTimes)
        return std::nullopt;
    ++control.injected;
    return code;
}

std::optional<HResult> SimCamera::InjectedQueryFailure(ControlState& control, ControlQuery kind)
{
    const ScenarioControl& spec = *control.spec;
    std::optional<HResult> code = spec.fail;
    if (!code) {
        const auto found = spec.queryFail.find(kind);
        if (found != spec.queryFail.end())
            code = found->second;
    }
    if (!code)
        return std::nullopt;
    if (spec.failTimes && control.injected >= *spec.failTimes)
        return std::nullopt;
    ++control.injected;
    return code;
}

std::optional<HResult> SimCamera::Admit(const void* property, std::uint32_t propertyLength, void* data,
                                        std::uint32_t dataLength, std::optional<ControlQuery> query,
                                        KsNodeProperty& request)
{
    if (!property || propertyLength < sizeof(KsNodeProperty) || (!data && dataLength > 0))
        return HResultFromWin32(win32::kInvalidParameter);
    std::memcpy(&request, property, sizeof request);
    const Guid set = Guid::FromBytes(request.set);
    const ScenarioCamera& spec = Spec();

    if (requests_.size() == kKeptRequests)
        requests_.pop_front();
    requests_.push_back(SimKsRequest{set, request.id, request.flags, request.nodeId, request.reserved,
                                     propertyLength, dataLength, std::this_thread::get_id(), query});

    const std::uint32_t kind = request.flags & ~kKsPropertyTypeTopology;
    if (!(request.flags & kKsPropertyTypeTopology) ||
        (kind != kKsPropertyTypeGet && (query || kind != kKsPropertyTypeSet)))
        return HResultFromWin32(win32::kNotSupported);
    if (request.nodeId >= spec.nodes.size())
        return HResultFromWin32(win32::kNotFound);
    const ScenarioNode& node = spec.nodes[request.nodeId];
    if (!node.isExtensionUnit || node.guid != set)
        return HResultFromWin32(win32::kSetNotFound);
    return std::nullopt;
}

HResult SimCamera::KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength, void* data,
                           std::uint32_t dataLength, std::uint32_t* bytesReturned)
{
    Report(bytesReturned, 0);
    std::unique_lock lock(mutex_);
    KsNodeProperty request{};
    if (const std::optional<HResult> refused =
            Admit(property, propertyLength, data, dataLength, kind, request))
        return *refused;
    // The unit's information has no range, default or information byte.
    if (request.id == 0)
        return HResultFromWin32(win32::kNotSupported);
    const auto found =
        controls_.find(ControlKey{Guid::FromBytes(request.set).bytes, std::uint8_t(request.id)});
    if (request.id > 0xFF || found == controls_.end())
        return HResultFromWin32(win32::kNotFound);
    ControlState& control = found->second;

    if (const std::uint32_t delay = control.spec->delayMs) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        lock.lock();
    }
    if (const std::optional<HResult> failure = InjectedQueryFailure(control, kind))
        return *failure;

    const ScenarioControl& spec = *control.spec;
    if (kind == ControlQuery::Info) {
        if (dataLength < 1) {
            Report(bytesReturned, 1);
            return HResultFromWin32(win32::kMoreData);
        }
        *static_cast<std::uint8_t*>(data) = spec.info;
        Report(bytesReturned, 1);
        return hr::kOk;
    }
    const std::vector<std::uint8_t>& answer = kind == ControlQuery::Min   ? spec.min
                                              : kind == ControlQuery::Max ? spec.max
                                              : kind == ControlQuery::Res ? spec.res
                                                                          : spec.def;
    if (dataLength < spec.length) {
        Report(bytesReturned, spec.length);
        return HResultFromWin32(win32::kMoreData);
    }
    if (!answer.empty())
        std::memcpy(data, answer.data(), answer.size());
    Report(bytesReturned, spec.length);
    return hr::kOk;
}

HResult SimCamera::KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                              std::uint32_t dataLength, std::uint32_t* bytesReturned)
{
    Report(bytesReturned, 0);
    std::unique_lock lock(mutex_);
    KsNodeProperty request{};
    if (const std::optional<HResult> refused =
            Admit(property, propertyLength, data, dataLength, std::nullopt, request))
        return *refused;
    const Guid set = Guid::FromBytes(request.set);
    const bool isSet = (request.flags & ~kKsPropertyTypeTopology) == kKsPropertyTypeSet;
    const ScenarioNode& node = Spec().nodes[request.nodeId];

    if (request.id == 0) {
        // The unit's information: its descriptor from bNumControls on.
        if (isSet)
            return HResultFromWin32(win32::kNotSupported);
        std::uint32_t& refusals = probeFailuresLeft_[request.nodeId];
        if (refusals > 0) {
            --refusals;
            return HResultFromWin32(win32::kGenFailure);
        }
        const std::uint32_t n = std::min<std::uint32_t>(dataLength, std::uint32_t(node.unitInfo.size()));
        if (n > 0)
            std::memcpy(data, node.unitInfo.data(), n);
        Report(bytesReturned, n);
        return hr::kOk;
    }

    const auto found = controls_.find(ControlKey{set.bytes, std::uint8_t(request.id)});
    if (request.id > 0xFF || found == controls_.end())
        return HResultFromWin32(win32::kNotFound);
    ControlState& control = found->second;

    if (const std::uint32_t delay = control.spec->delayMs) {
        // A slow device: the calling thread waits for real, and other callers
        // are not held up meanwhile.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        lock.lock();
    }

    if (const std::optional<HResult> failure = InjectedFailure(control, isSet, dataLength))
        return *failure;

    const std::uint32_t length = control.spec->length;
    if (isSet) {
        if (dataLength != length)
            return HResultFromWin32(win32::kInvalidParameter);
        std::memcpy(control.value.data(), data, length);
        return hr::kOk;
    }
    if (dataLength == 0 || dataLength < length) {
        // Too small a buffer (the zero-length GET asks just this): the length.
        Report(bytesReturned, length);
        return HResultFromWin32(win32::kMoreData);
    }
    std::memcpy(data, control.value.data(), length);
    Report(bytesReturned, length);
    return hr::kOk;
}

std::optional<std::vector<std::uint8_t>> SimCamera::ControlValue(const Guid& unit,
                                                                 std::uint8_t selector) const
{
    std::lock_guard lock(mutex_);
    const auto found = controls_.find(ControlKey{unit.bytes, selector});
    if (found == controls_.end())
        return std::nullopt;
    return found->second.value;
}

std::vector<SimKsRequest> SimCamera::Requests() const
{
    std::lock_guard lock(mutex_);
    return {requests_.begin(), requests_.end()};
}

void SimCamera::ClearRequests()
{
    std::lock_guard lock(mutex_);
    requests_.clear();
}

}  // namespace norvik
