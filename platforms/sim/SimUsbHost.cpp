#include "platforms/sim/SimUsbHost.h"

#include <algorithm>
#include <cstring>

#include "discovery/UsbStructures.h"
#include "runtime/ResultCodes.h"

namespace norvik {

struct SimUsbHost::State {
    std::mutex mutex;
    std::uint32_t lastError = 0;
    // Devices whose first (9-byte) descriptor request was answered in full;
    // their next request is the second one, with the length it reported.
    std::map<const ScenarioPortDevice*, std::uint16_t> awaitingSecond;
};

namespace {

using State = SimUsbHost::State;

constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint16_t kConfigDescriptorIndex0 = 0x0200;

bool Fail(State& state, std::uint32_t error)
{
    std::lock_guard lock(state.mutex);
    state.lastError = error;
    return false;
}

bool Succeed(State& state, std::uint32_t* bytesReturned, std::uint32_t count)
{
    std::lock_guard lock(state.mutex);
    state.lastError = 0;
    if (bytesReturned)
        *bytesReturned = count;
    return true;
}

void PutU32(void* out, std::size_t at, std::uint32_t v)
{
    std::memcpy(static_cast<std::uint8_t*>(out) + at, &v, 4);
}

std::uint32_t GetU32(const void* in, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, static_cast<const std::uint8_t*>(in) + at, 4);
    return v;
}

// A name answer: header (ActualLength at lengthOffset), then the UTF-16LE name,
// as much as the output buffer holds.
bool AnswerName(State& state, const std::wstring& name, std::size_t lengthOffset, std::size_t nameOffset,
                void* out, std::uint32_t outSize, std::uint32_t* bytesReturned)
{
    if (!out || outSize < nameOffset + 2)
        return Fail(state, win32::kInsufficientBuffer);
    const std::uint32_t actual = std::uint32_t(nameOffset + usb::Utf16LeSize(name));
    PutU32(out, lengthOffset, actual);
    auto* bytes = static_cast<std::uint8_t*>(out);
    std::fill(bytes + nameOffset, bytes + outSize, std::uint8_t(0));
    usb::WriteUtf16Le(name, bytes + nameOffset, outSize - nameOffset);
    return Succeed(state, bytesReturned, std::min(actual, outSize));
}

std::wstring AsciiToWide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class ControllerHandle : public UsbDeviceHandle {
public:
    ControllerHandle(std::shared_ptr<const Scenario> scenario, const ScenarioController& controller,
                     std::shared_ptr<State> state)
        : scenario_(std::move(scenario)), controller_(controller), state_(std::move(state))
    {
    }

    bool DeviceIoControl(std::uint32_t code, const void*, std::uint32_t, void* out, std::uint32_t outSize,
                         std::uint32_t* bytesReturned) override
    {
        if (code == usb::kIoctlGetHcdDriverKeyName) {
            if (controller_.driverKeyFails)
                return Fail(*state_, win32::kGenFailure);
            return AnswerName(*state_, controller_.driverKey.value_or(L""), 0, 4, out, outSize,
                              bytesReturned);
        }
        if (code == usb::kIoctlGetRootHubName) {
            if (controller_.rootHubFails)
                return Fail(*state_, win32::kGenFailure);
            const std::string name = controller_.hub ? controller_.hub->name : std::string();
            return AnswerName(*state_, AsciiToWide(name), 0, 4, out, outSize, bytesReturned);
        }
        return Fail(*state_, kErrorInvalidFunction);
    }

private:
    std::shared_ptr<const Scenario> scenario_;
    const ScenarioController& controller_;
    std::shared_ptr<State> state_;
};

class HubHandle : public UsbDeviceHandle {
public:
    HubHandle(std::shared_ptr<const Scenario> scenario, const ScenarioHub& hub, std::shared_ptr<State> state)
        : scenario_(std::move(scenario)), hub_(hub), state_(std::move(state))
    {
    }

    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override
    {
        switch (code) {
        case usb::kIoctlGetNodeInformation:
            return NodeInformation(out, outSize, bytesReturned);
        case usb::kIoctlGetNodeConnectionInformation:
        case usb::kIoctlGetNodeConnectionDriverKeyName:
        case usb::kIoctlGetNodeConnectionName:
        case usb::kIoctlGetDescriptorFromNodeConnection:
            break;
        default:
            return Fail(*state_, kErrorInvalidFunction);
        }
        if (!in || inSize < 4)
            return Fail(*state_, win32::kInvalidParameter);
        const std::uint32_t port = GetU32(in, 0);
        if (port < 1 || port > hub_.ports)
            return Fail(*state_, win32::kInvalidParameter);
        const auto child = hub_.children.find(port);
        const ScenarioPortDevice* device = child == hub_.children.end() ? nullptr : &child->second;

        if (code == usb::kIoctlGetNodeConnectionInformation)
            return ConnectionInformation(port, device, out, outSize, bytesReturned);
        if (!device || device->status != usb::kDeviceConnected)
            return Fail(*state_, win32::kDeviceNotConnected);
        if (code == usb::kIoctlGetNodeConnectionDriverKeyName || code == usb::kIoctlGetNodeConnectionName) {
            const std::wstring name = code == usb::kIoctlGetNodeConnectionName
                                          ? AsciiToWide(device->childName.value_or(""))
                                          : device->driverKey.value_or(L"");
            if (!out || outSize < 4)
                return Fail(*state_, win32::kInsufficientBuffer);
            PutU32(out, 0, port);
            return AnswerName(*state_, name, 4, 8, out, outSize, bytesReturned);
        }
        return Descriptor(*device, in, inSize, out, outSize, bytesReturned);
    }

private:
    bool NodeInformation(void* out, std::uint32_t outSize, std::uint32_t* bytesReturned)
    {
        if (hub_.nodeInfoFails)
            return Fail(*state_, win32::kGenFailure);
        if (!out || outSize < sizeof(usb::NodeInformation))
            return Fail(*state_, win32::kInsufficientBuffer);
        usb::NodeInformation info{};
        info.NodeType = 0;  // UsbHub
        info.HubDescriptor_.bDescriptorLength = 9;
        info.HubDescriptor_.bDescriptorType = 0x29;
        info.HubDescriptor_.bNumberOfPorts = std::uint8_t(hub_.ports);
        info.HubDescriptor_.bPowerOnToPowerGood = 50;
        info.HubIsBusPowered = 0;
        std::memcpy(out, &info, sizeof info);
        return Succeed(*state_, bytesReturned, sizeof info);
    }

    bool ConnectionInformation(std::uint32_t port, const ScenarioPortDevice* device, void* out,
                               std::uint32_t outSize, std::uint32_t* bytesReturned)
    {
        if (device && device->connectionInfoFails)
            return Fail(*state_, win32::kGenFailure);
        if (!out || outSize < sizeof(usb::NodeConnectionInformation))
            return Fail(*state_, win32::kInsufficientBuffer);
        usb::NodeConnectionInformation info{};
        info.ConnectionIndex = port;
        if (device) {
            usb::DeviceDescriptor& d = info.DeviceDescriptor_;
            d.bLength = 18;
            d.bDescriptorType = 1;
            d.bcdUSB = 0x0200;
            d.bDeviceClass = device->hub ? 0x09 : 0xEF;
            d.bDeviceSubClass = device->hub ? 0x00 : 0x02;
            d.bDeviceProtocol = device->hub ? 0x00 : 0x01;
            d.bMaxPacketSize0 = 64;
            d.idVendor = device->idVendor;
            d.idProduct = device->idProduct;
            d.bcdDevice = 0x0100;
            d.bNumConfigurations = 1;
            info.CurrentConfigurationValue = 1;
            info.DeviceIsHub = device->hub ? 1 : 0;
            info.DeviceAddress = std::uint16_t(port + 1);
            info.ConnectionStatus = device->status;
        }
        std::memcpy(out, &info, sizeof info);
        return Succeed(*state_, bytesReturned, sizeof info);
    }

    bool Descriptor(const ScenarioPortDevice& device, const void* in, std::uint32_t inSize, void* out,
                    std::uint32_t outSize, std::uint32_t* bytesReturned)
    {
        constexpr std::uint32_t kHeader = sizeof(usb::DescriptorRequest);
        if (inSize < kHeader || !out || outSize < kHeader)
            return Fail(*state_, win32::kInvalidParameter);
        usb::DescriptorRequest request;
        std::memcpy(&request, in, kHeader);
        if (!device.config || request.SetupPacket_.wValue != kConfigDescriptorIndex0)
            return Fail(*state_, win32::kGenFailure);  // the device stalls the request
        const ScenarioConfig& config = *device.config;
        const std::uint16_t wLength = request.SetupPacket_.wLength;

        bool second = false;
        std::uint16_t reported = config.totalLength.value_or(
            config.bytes.size() >= 4 ? std::uint16_t(config.bytes[2] | config.bytes[3] << 8) : 0);
        {
            std::lock_guard lock(state_->mutex);
            const auto pending = state_->awaitingSecond.find(&device);
            if (pending != state_->awaitingSecond.end()) {
                second = pending->second == wLength;
                state_->awaitingSecond.erase(pending);
            }
        }
        if (second) {
            if (config.secondRequestFails)
                return Fail(*state_, win32::kGenFailure);
            reported = config.changedTotalLength.value_or(reported);
        } else if (config.firstRequestFails) {
            return Fail(*state_, win32::kGenFailure);
        }

        // The device sends what it has, at most what was asked and what fits.
        std::size_t count = std::min<std::size_t>({wLength, outSize - kHeader, config.bytes.size()});
        if (!second && config.shortFirstAnswer)
            count = std::min<std::size_t>(count, 4);
        auto* bytes = static_cast<std::uint8_t*>(out);
        std::memmove(bytes, in, kHeader);
        if (count > 0)  // an empty descriptor has no data pointer to copy from
            std::memcpy(bytes + kHeader, config.bytes.data(), count);
        if (count >= 4) {
            bytes[kHeader + 2] = std::uint8_t(reported & 0xFF);
            bytes[kHeader + 3] = std::uint8_t(reported >> 8);
        }

        if (!second && count == wLength && reported >= sizeof(usb::ConfigurationDescriptor)) {
            std::lock_guard lock(state_->mutex);
            state_->awaitingSecond[&device] = reported;
        }
        return Succeed(*state_, bytesReturned, std::uint32_t(kHeader + count));
    }

    std::shared_ptr<const Scenario> scenario_;
    const ScenarioHub& hub_;
    std::shared_ptr<State> state_;
};

void IndexHubs(const ScenarioHub& hub, std::map<std::string, const ScenarioHub*>& names)
{
    if (!hub.name.empty())
        names.emplace(hub.name, &hub);
    for (const auto& [port, device] : hub.children)
        if (device.hub)
            IndexHubs(*device.hub, names);
}

}  // namespace

SimUsbHost::SimUsbHost(std::shared_ptr<const Scenario> scenario)
    : scenario_(std::move(scenario)), state_(std::make_shared<State>())
{
    for (const ScenarioController& controller : scenario_->controllers)
        if (controller.hub)
            IndexHubs(*controller.hub, hubs_);
}

SimUsbHost::~SimUsbHost() = default;

std::unique_ptr<UsbDeviceHandle> SimUsbHost::Open(const std::string& name)
{
    static const std::string kPrefix = "\\\\.\\";
    if (name.compare(0, kPrefix.size(), kPrefix) == 0) {
        const std::string rest = name.substr(kPrefix.size());
        for (const ScenarioController& controller : scenario_->controllers) {
            if (controller.opens && rest == "HCD" + std::to_string(controller.index))
                return std::make_unique<ControllerHandle>(scenario_, controller, state_);
        }
        const auto hub = hubs_.find(rest);
        if (hub != hubs_.end() && hub->second->opens)
            return std::make_unique<HubHandle>(scenario_, *hub->second, state_);
    }
    Fail(*state_, win32::kFileNotFound);
    return nullptr;
}

std::uint32_t SimUsbHost::LastError()
{
    std::lock_guard lock(state_->mutex);
    return state_->lastError;
}

}  // namespace norvik
