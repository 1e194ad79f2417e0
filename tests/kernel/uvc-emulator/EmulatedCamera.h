#pragma once
// A USB Video Class camera as the device side of a USB connection: it answers
// the control requests on endpoint 0 that the Linux USB core and the uvcvideo
// driver send (standard requests, VideoControl and VideoStreaming class
// requests). Its descriptors and extension-unit controls come from a scenario
// (the format the simulated platform reads): one camera's controls, and the
// configuration descriptor of the first USB device in the scenario's tree
// that has one.
//
// GET_INFO, GET_MIN, GET_MAX, GET_RES and GET_DEF answer the control's
// `info`, `min`, `max`, `res` and `def`. Injected faults of a control:
// `fail`, `getFail`, `setFail` and `queryFail` make the camera stall the
// request (a STALL handshake), and the UVC request error
// code control then tells why; `delayMs` delays the answer.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <optional>
#include <string>
#include <vector>

#include "platforms/sim/Scenario.h"

namespace norvik::bench {

struct SetupPacket {
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;

    static SetupPacket FromBytes(const std::uint8_t* eight);
    bool IsIn() const { return (bmRequestType & 0x80) != 0; }
};

struct ControlAnswer {
    bool stall = false;
    std::vector<std::uint8_t> data;  // IN data, at most wLength bytes
    std::uint32_t delayMs = 0;       // wait this long before answering
};

// UVC class request codes.
namespace uvcreq {
constexpr std::uint8_t kSetCur = 0x01;
constexpr std::uint8_t kGetCur = 0x81;
constexpr std::uint8_t kGetMin = 0x82;
constexpr std::uint8_t kGetMax = 0x83;
constexpr std::uint8_t kGetRes = 0x84;
constexpr std::uint8_t kGetLen = 0x85;
constexpr std::uint8_t kGetInfo = 0x86;
constexpr std::uint8_t kGetDef = 0x87;
}  // namespace uvcreq

// bRequestErrorCode values of the VideoControl interface.
namespace uvcerror {
constexpr std::uint8_t kNoError = 0x00;
constexpr std::uint8_t kNotReady = 0x01;
constexpr std::uint8_t kWrongState = 0x02;
constexpr std::uint8_t kOutOfRange = 0x04;
constexpr std::uint8_t kInvalidUnit = 0x05;
constexpr std::uint8_t kInvalidControl = 0x06;
constexpr std::uint8_t kInvalidRequest = 0x07;
constexpr std::uint8_t kInvalidValue = 0x08;
constexpr std::uint8_t kUnknown = 0xFF;
}  // namespace uvcerror

// The UVC error code a camera reports for an injected failure code: failures
// with a like UVC reason get it (ERROR_NOT_READY: not ready,
// ERROR_ACCESS_DENIED: wrong state, E_BOUNDS: out of range,
// ERROR_INVALID_PARAMETER: invalid value, ERROR_NOT_SUPPORTED: invalid
// request), all others "unknown".
std::uint8_t UvcErrorCodeFor(HResult failure);

class EmulatedCamera {
public:
    // Null with a message in error when the scenario holds no camera at that
    // index or no USB device with a configuration descriptor.
    static std::unique_ptr<EmulatedCamera> FromScenario(const Scenario& scenario, std::size_t cameraIndex,
                                                        std::string& error);

    // Answers one control transfer on endpoint 0. outData holds the OUT
    // data stage (empty for IN requests).
    ControlAnswer Control(const SetupPacket& setup, const std::vector<std::uint8_t>& outData);

    const std::vector<std::uint8_t>& DeviceDescriptor() const { return device_; }
    const std::vector<std::uint8_t>& ConfigurationDescriptor() const { return configuration_; }
    std::uint16_t VendorId() const { return vendorId_; }
    std::uint16_t ProductId() const { return productId_; }
    std::uint8_t ConfigurationValue() const;

    // The extension units as declared in the configuration descriptor.
    struct Unit {
        std::uint8_t unitId = 0;
        Guid guid;
    };
    const std::vector<Unit>& Units() const { return units_; }
    // A control's current value; nullopt when the unit has no such selector.
    std::optional<std::vector<std::uint8_t>> ControlValue(std::uint8_t unitId, std::uint8_t selector) const;
    // Every extension-unit control with its current value, by unit and selector.
    struct ControlState {
        std::uint8_t unitId = 0;
        std::uint8_t selector = 0;
        std::vector<std::uint8_t> value;
    };
    std::vector<ControlState> Controls() const;

private:
    struct XuControl {
        ScenarioControl scenario;
        std::vector<std::uint8_t> value;
        std::uint32_t failuresLeft = 0;  // injected failures still to give
        bool limitedFailures = false;
    };

    EmulatedCamera() = default;

    ControlAnswer Standard(const SetupPacket& setup);
    ControlAnswer VideoControl(const SetupPacket& setup, const std::vector<std::uint8_t>& outData);
    ControlAnswer VideoStreaming(const SetupPacket& setup, const std::vector<std::uint8_t>& outData);
    ControlAnswer ExtensionUnit(XuControl& control, const SetupPacket& setup,
                                const std::vector<std::uint8_t>& outData);
    ControlAnswer Stall(std::uint8_t errorCode);
    ControlAnswer Data(const SetupPacket& setup, std::vector<std::uint8_t> bytes);
    // fail, getFail for GET_CUR, queryFail for the request's kind.
    std::optional<HResult> InjectedFailure(XuControl& control, std::uint8_t request);
    std::vector<std::uint8_t> StringDescriptor(std::uint8_t index) const;

    std::vector<std::uint8_t> device_;
    std::vector<std::uint8_t> configuration_;
    std::uint16_t vendorId_ = 0;
    std::uint16_t productId_ = 0;
    std::wstring product_;
    std::vector<Unit> units_;
    std::set<std::uint8_t> otherEntities_;  // terminals and the processing unit
    std::uint8_t videoControlInterface_ = 0;
    std::uint8_t videoStreamingInterface_ = 1;

    mutable std::mutex mutex_;
    std::map<std::pair<std::uint8_t, std::uint8_t>, XuControl> controls_;  // (unit, selector)
    std::uint8_t currentConfiguration_ = 0;
    std::map<std::uint8_t, std::uint8_t> alternateSettings_;
    std::uint8_t requestErrorCode_ = uvcerror::kNoError;
    std::vector<std::uint8_t> probe_;
    std::vector<std::uint8_t> commit_;
};

}  // namespace norvik::bench
