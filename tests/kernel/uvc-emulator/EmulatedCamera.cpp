#include "EmulatedCamera.h"

#include <algorithm>

namespace norvik::bench {

namespace {

constexpr std::uint8_t kDeviceType = 0x01;
constexpr std::uint8_t kConfigurationType = 0x02;
constexpr std::uint8_t kStringType = 0x03;
constexpr std::uint8_t kInterfaceType = 0x04;
constexpr std::uint8_t kCsInterface = 0x24;

constexpr std::uint8_t kVcExtensionUnit = 0x06;
constexpr std::uint8_t kVcRequestErrorCodeControl = 0x02;
constexpr std::uint8_t kVsProbeControl = 0x01;
constexpr std::uint8_t kVsCommitControl = 0x02;
// The size of the probe and commit controls of UVC 1.0.
constexpr std::size_t kStreamingControlSize = 26;
// GET_INFO: the control supports GET and SET.
constexpr std::uint8_t kInfoGetSet = 0x03;

constexpr const wchar_t* kManufacturer = L"Norvik test bench";
constexpr const wchar_t* kSerialNumber = L"NVK-BENCH-0001";

// Depth first through the scenario's USB tree: the first device with a
// configuration descriptor.
const ScenarioPortDevice* FirstConfiguredDevice(const ScenarioHub& hub)
{
    for (const auto& [port, device] : hub.children) {
        if (device.config && !device.config->bytes.empty())
            return &device;
        if (device.hub)
            if (const ScenarioPortDevice* below = FirstConfiguredDevice(*device.hub))
                return below;
    }
    return nullptr;
}

void PutLe16(std::vector<std::uint8_t>& bytes, std::uint16_t value)
{
    bytes.push_back(std::uint8_t(value & 0xFF));
    bytes.push_back(std::uint8_t(value >> 8));
}

std::vector<std::uint8_t> Le16(std::uint16_t value)
{
    std::vector<std::uint8_t> bytes;
    PutLe16(bytes, value);
    return bytes;
}

std::vector<std::uint8_t> DefaultStreamingControl()
{
    std::vector<std::uint8_t> probe(kStreamingControlSize, 0);
    probe[2] = 1;  // bFormatIndex
    probe[3] = 1;  // bFrameIndex
    const std::uint32_t interval = 333333;
    const std::uint32_t frameSize = 1280u * 720u * 2u;
    const std::uint32_t payload = 3072;
    for (int i = 0; i < 4; ++i) {
        probe[4 + i] = std::uint8_t(interval >> (8 * i));
        probe[18 + i] = std::uint8_t(frameSize >> (8 * i));
        probe[22 + i] = std::uint8_t(payload >> (8 * i));
    }
    return probe;
}

}  // namespace

SetupPacket SetupPacket::FromBytes(const std::uint8_t* b)
{
    SetupPacket s;
    s.bmRequestType = b[0];
    s.bRequest = b[1];
    s.wValue = std::uint16_t(b[2] | (b[3] << 8));
    s.wIndex = std::uint16_t(b[4] | (b[5] << 8));
    s.wLength = std::uint16_t(b[6] | (b[7] << 8));
    return s;
}

std::uint8_t UvcErrorCodeFor(HResult failure)
{
    const std::uint32_t code = std::uint32_t(failure);
    if (code == 0x8000000Bu)  // E_BOUNDS: outside the valid range
        return uvcerror::kOutOfRange;
    if ((code & 0xFFFF0000u) != 0x80070000u)
        return uvcerror::kUnknown;
    switch (code & 0xFFFFu) {
    case 21:  // ERROR_NOT_READY
        return uvcerror::kNotReady;
    case 5:  // ERROR_ACCESS_DENIED
        return uvcerror::kWrongState;
    case 87:  // ERROR_INVALID_PARAMETER
        return uvcerror::kInvalidValue;
    case 50:  // ERROR_NOT_SUPPORTED
        return uvcerror::kInvalidRequest;
    default:
        return uvcerror::kUnknown;
    }
}

std::unique_ptr<EmulatedCamera> EmulatedCamera::FromScenario(const Scenario& scenario,
                                                             std::size_t cameraIndex, std::string& error)
{
    if (cameraIndex >= scenario.cameras.size()) {
        error = scenario.name + ": there is no camera " + std::to_string(cameraIndex);
        return nullptr;
    }
    const ScenarioPortDevice* usb = nullptr;
    for (const auto& controller : scenario.controllers)
        if (!usb && controller.hub)
            usb = FirstConfiguredDevice(*controller.hub);
    if (!usb) {
        error = scenario.name + ": no USB device in the tree has a configuration descriptor";
        return nullptr;
    }

    std::unique_ptr<EmulatedCamera> camera(new EmulatedCamera());
    const ScenarioCamera& source = scenario.cameras[cameraIndex];
    camera->vendorId_ = usb->idVendor;
    camera->productId_ = usb->idProduct;
    camera->product_ = source.friendlyName.value_or(L"Norvik bench camera");
    camera->configuration_ = usb->config->bytes;

    const auto& config = camera->configuration_;
    if (config.size() < 9 || config[1] != kConfigurationType) {
        error = scenario.name + ": the configuration descriptor does not start with a configuration";
        return nullptr;
    }
    // The entities of the VideoControl interface, and which interface is which.
    int interfaceSubclass = -1;
    for (std::size_t at = 0; at + 2 <= config.size() && config[at] >= 2 && at + config[at] <= config.size();
         at += config[at]) {
        const std::uint8_t* d = &config[at];
        if (d[1] == kInterfaceType && d[0] >= 9) {
            interfaceSubclass = d[5] == 0x0E ? d[6] : -1;
            if (interfaceSubclass == 1)
                camera->videoControlInterface_ = d[2];
            else if (interfaceSubclass == 2)
                camera->videoStreamingInterface_ = d[2];
        } else if (d[1] == kCsInterface && interfaceSubclass == 1 && d[0] >= 4 && d[2] >= 2 && d[2] <= 7) {
            if (d[2] == kVcExtensionUnit && d[0] >= 20)
                camera->units_.push_back({d[3], Guid::FromBytes(d + 4)});
            else
                camera->otherEntities_.insert(d[3]);
        }
    }
    for (const Unit& unit : camera->units_) {
        for (const ScenarioUnitControls& controls : source.controls) {
            if (controls.guid != unit.guid)
                continue;
            for (const auto& [selector, control] : controls.selectors) {
                XuControl& c = camera->controls_[{unit.unitId, selector}];
                c.scenario = control;
                c.value = control.value;
                c.value.resize(control.length, 0);
                c.limitedFailures = control.failTimes.has_value();
                c.failuresLeft = control.failTimes.value_or(0);
            }
        }
    }

    auto& dev = camera->device_;
    dev = {18, kDeviceType};
    PutLe16(dev, 0x0200);                           // bcdUSB
    dev.insert(dev.end(), {0xEF, 0x02, 0x01, 64});  // miscellaneous class, IAD; ep0 64 bytes
    PutLe16(dev, camera->vendorId_);
    PutLe16(dev, camera->productId_);
    PutLe16(dev, 0x0100);                 // bcdDevice
    dev.insert(dev.end(), {1, 2, 3, 1});  // strings; one configuration

    camera->probe_ = DefaultStreamingControl();
    camera->commit_ = camera->probe_;
    return camera;
}

std::uint8_t EmulatedCamera::ConfigurationValue() const { return configuration_[5]; }

std::optional<std::vector<std::uint8_t>> EmulatedCamera::ControlValue(std::uint8_t unitId,
                                                                      std::uint8_t selector) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = controls_.find({unitId, selector});
    if (it == controls_.end())
        return std::nullopt;
    return it->second.value;
}

std::vector<EmulatedCamera::ControlState> EmulatedCamera::Controls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ControlState> states;
    for (const auto& [key, control] : controls_)
        states.push_back({key.first, key.second, control.value});
    return states;
}

ControlAnswer EmulatedCamera::Control(const SetupPacket& setup, const std::vector<std::uint8_t>& outData)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint8_t type = setup.bmRequestType & 0x60;
    const std::uint8_t recipient = setup.bmRequestType & 0x1F;
    if (type == 0x00)
        return Standard(setup);
    if (type == 0x20 && recipient == 0x01) {
        const std::uint8_t interface = std::uint8_t(setup.wIndex & 0xFF);
        if (interface == videoControlInterface_)
            return VideoControl(setup, outData);
        if (interface == videoStreamingInterface_)
            return VideoStreaming(setup, outData);
    }
    return Stall(uvcerror::kInvalidRequest);
}

ControlAnswer EmulatedCamera::Stall(std::uint8_t errorCode)
{
    requestErrorCode_ = errorCode;
    ControlAnswer answer;
    answer.stall = true;
    return answer;
}

ControlAnswer EmulatedCamera::Data(const SetupPacket& setup, std::vector<std::uint8_t> bytes)
{
    if (bytes.size() > setup.wLength)
        bytes.resize(setup.wLength);
    ControlAnswer answer;
    answer.data = std::move(bytes);
    return answer;
}

std::vector<std::uint8_t> EmulatedCamera::StringDescriptor(std::uint8_t index) const
{
    std::wstring text;
    switch (index) {
    case 1:
        text = kManufacturer;
        break;
    case 2:
        text = product_;
        break;
    case 3:
        text = kSerialNumber;
        break;
    default:
        return {};
    }
    std::vector<std::uint8_t> bytes = {0, kStringType};
    for (wchar_t c : text) {
        if (bytes.size() + 2 > 254)
            break;
        PutLe16(bytes, std::uint16_t(std::uint32_t(c) < 0x10000 ? c : L'?'));
    }
    bytes[0] = std::uint8_t(bytes.size());
    return bytes;
}

ControlAnswer EmulatedCamera::Standard(const SetupPacket& setup)
{
    switch (setup.bRequest) {
    case 0x00:  // GET_STATUS
        return Data(setup, {0, 0});
    case 0x01:  // CLEAR_FEATURE
    case 0x03:  // SET_FEATURE
    case 0x05:  // SET_ADDRESS
        return {};
    case 0x06: {  // GET_DESCRIPTOR
        const std::uint8_t descriptorType = std::uint8_t(setup.wValue >> 8);
        const std::uint8_t index = std::uint8_t(setup.wValue & 0xFF);
        if (descriptorType == kDeviceType)
            return Data(setup, device_);
        if (descriptorType == kConfigurationType && index == 0)
            return Data(setup, configuration_);
        if (descriptorType == kStringType) {
            if (index == 0)
                return Data(setup, {4, kStringType, 0x09, 0x04});  // English (United States)
            auto text = StringDescriptor(index);
            if (!text.empty())
                return Data(setup, std::move(text));
        }
        // Device qualifier, BOS and anything else: not supported.
        return Stall(uvcerror::kNoError);
    }
    case 0x08:  // GET_CONFIGURATION
        return Data(setup, {currentConfiguration_});
    case 0x09:  // SET_CONFIGURATION
        currentConfiguration_ = std::uint8_t(setup.wValue & 0xFF);
        alternateSettings_.clear();
        return {};
    case 0x0A:  // GET_INTERFACE
        return Data(setup, {alternateSettings_[std::uint8_t(setup.wIndex & 0xFF)]});
    case 0x0B:  // SET_INTERFACE
        alternateSettings_[std::uint8_t(setup.wIndex & 0xFF)] = std::uint8_t(setup.wValue & 0xFF);
        return {};
    default:
        return Stall(uvcerror::kNoError);
    }
}

ControlAnswer EmulatedCamera::VideoControl(const SetupPacket& setup, const std::vector<std::uint8_t>& outData)
{
    const std::uint8_t entity = std::uint8_t(setup.wIndex >> 8);
    const std::uint8_t selector = std::uint8_t(setup.wValue >> 8);
    if (entity == 0) {
        // The interface's own controls: the request error code, power mode.
        if (selector == kVcRequestErrorCodeControl && setup.bRequest == uvcreq::kGetCur)
            return Data(setup, {requestErrorCode_});
        if (setup.bRequest == uvcreq::kGetInfo)
            return Data(setup, {kInfoGetSet});
        requestErrorCode_ = uvcerror::kNoError;
        return setup.IsIn() ? Data(setup, std::vector<std::uint8_t>(setup.wLength, 0)) : ControlAnswer{};
    }
    const bool isExtensionUnit =
        std::any_of(units_.begin(), units_.end(), [&](const Unit& u) { return u.unitId == entity; });
    if (isExtensionUnit) {
        auto it = controls_.find({entity, selector});
        if (it == controls_.end())
            return Stall(uvcerror::kInvalidControl);
        return ExtensionUnit(it->second, setup, outData);
    }
    if (otherEntities_.count(entity) == 0)
        return Stall(uvcerror::kInvalidUnit);
    // Terminal and processing unit controls: readable and writable, all zero.
    requestErrorCode_ = uvcerror::kNoError;
    if (setup.bRequest == uvcreq::kGetInfo)
        return Data(setup, {kInfoGetSet});
    return setup.IsIn() ? Data(setup, std::vector<std::uint8_t>(setup.wLength, 0)) : ControlAnswer{};
}

std::optional<HResult> EmulatedCamera::InjectedFailure(XuControl& control, std::uint8_t request)
{
    const ScenarioControl& s = control.scenario;
    std::optional<HResult> failure = s.fail;
    if (!failure && request == uvcreq::kGetCur)
        failure = s.getFail;
    if (!failure) {
        // A query kind the scenario makes fail.
        const std::pair<std::uint8_t, ControlQuery> kinds[] = {{uvcreq::kGetInfo, ControlQuery::Info},
                                                               {uvcreq::kGetMin, ControlQuery::Min},
                                                               {uvcreq::kGetMax, ControlQuery::Max},
                                                               {uvcreq::kGetRes, ControlQuery::Res},
                                                               {uvcreq::kGetDef, ControlQuery::Def}};
        for (const auto& [code, kind] : kinds)
            if (code == request)
                if (const auto found = s.queryFail.find(kind); found != s.queryFail.end())
                    failure = found->second;
    }
    if (!failure)
        return std::nullopt;
    if (control.limitedFailures) {
        if (control.failuresLeft == 0)
            return std::nullopt;
        --control.failuresLeft;
    }
    return failure;
}

ControlAnswer EmulatedCamera::ExtensionUnit(XuControl& control, const SetupPacket& setup,
                                            const std::vector<std::uint8_t>& outData)
{
    const std::uint32_t delay = control.scenario.delayMs;
    auto delayed = [delay](ControlAnswer answer) {
        answer.delayMs = delay;
        return answer;
    };
    const std::uint16_t length = control.scenario.length;
    const bool isSet = setup.bRequest == uvcreq::kSetCur;
    std::optional<HResult> failure;
    if (isSet) {
        failure = control.scenario.fail ? control.scenario.fail : control.scenario.setFail;
        if (failure && control.limitedFailures) {
            if (control.failuresLeft == 0)
                failure.reset();
            else
                --control.failuresLeft;
        }
    } else {
        failure = InjectedFailure(control, setup.bRequest);
    }
    if (failure)
        return delayed(Stall(UvcErrorCodeFor(*failure)));

    switch (setup.bRequest) {
    case uvcreq::kSetCur:
        if (outData.size() != length)
            return delayed(Stall(uvcerror::kInvalidValue));
        control.value = outData;
        break;
    case uvcreq::kGetCur:
        requestErrorCode_ = uvcerror::kNoError;
        return delayed(Data(setup, control.value));
    // The query answers are the scenario's, with its defaults.
    case uvcreq::kGetDef:
        requestErrorCode_ = uvcerror::kNoError;
        return delayed(Data(setup, control.scenario.def));
    case uvcreq::kGetMin:
        requestErrorCode_ = uvcerror::kNoError;
        return delayed(Data(setup, control.scenario.min));
    case uvcreq::kGetMax:
        requestErrorCode_ = uvcerror::kNoError;
        return delayed(Data(setup, control.scenario.max));
    case uvcreq::kGetRes:
        requestErrorCode_ = uvcerror::kNoError;
        return delayed(Data(setup, control.scenario.res));
    case uvcreq::kGetLen:
        requestErrorCode_ = uvcerror::kNoError;
        return delayed(Data(setup, Le16(length)));
    case uvcreq::kGetInfo:
        requestErrorCode_ = uvcerror::kNoError;
        return delayed(Data(setup, {control.scenario.info}));
    default:
        return delayed(Stall(uvcerror::kInvalidRequest));
    }
    requestErrorCode_ = uvcerror::kNoError;
    return delayed({});
}

ControlAnswer EmulatedCamera::VideoStreaming(const SetupPacket& setup,
                                             const std::vector<std::uint8_t>& outData)
{
    const std::uint8_t selector = std::uint8_t(setup.wValue >> 8);
    if (selector != kVsProbeControl && selector != kVsCommitControl)
        return Stall(uvcerror::kInvalidControl);
    std::vector<std::uint8_t>& state = selector == kVsProbeControl ? probe_ : commit_;
    switch (setup.bRequest) {
    case uvcreq::kSetCur:
        std::copy_n(outData.begin(), std::min(outData.size(), state.size()), state.begin());
        return {};
    case uvcreq::kGetCur:
    case uvcreq::kGetMin:
    case uvcreq::kGetMax:
    case uvcreq::kGetDef:
        return Data(setup, state);
    case uvcreq::kGetRes:
        return Data(setup, std::vector<std::uint8_t>(state.size(), 0));
    case uvcreq::kGetLen:
        return Data(setup, Le16(std::uint16_t(state.size())));
    case uvcreq::kGetInfo:
        return Data(setup, {kInfoGetSet});
    default:
        return Stall(uvcerror::kInvalidRequest);
    }
}

}  // namespace norvik::bench
