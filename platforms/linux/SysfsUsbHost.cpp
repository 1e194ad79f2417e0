#include "platforms/linux/SysfsUsbHost.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>

#include "discovery/UsbStructures.h"
#include "runtime/ResultCodes.h"

namespace norvik {

// The request structures are filled field by field and copied out whole,
// which gives the Windows (little-endian) layout only on a little-endian host.
static_assert(std::endian::native == std::endian::little);

namespace fs = std::filesystem;

struct SysfsUsbHost::Shared {
    explicit Shared(fs::path root) : tree(std::move(root)) {}
    sysfs::UsbTree tree;
    std::atomic<std::uint32_t> lastError{0};
};

namespace {

// GUID_DEVINTERFACE_USB_HUB, the interface class in hub names.
constexpr const char* kHubInterfaceClass = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
// The USB setup class, the first half of a driver key name.
constexpr const char* kUsbSetupClass = "{36fc9e60-c465-11cf-8056-444553540000}";

constexpr std::uint32_t kNoDeviceConnected = 0;  // USB_CONNECTION_STATUS NoDeviceConnected
constexpr std::uint32_t kUsbHubNode = 0;         // USB_HUB_NODE UsbHub
constexpr std::uint8_t kHubDescriptorType = 0x29;
constexpr std::uint8_t kSuperSpeedHubDescriptorType = 0x2A;

// A name as the drivers return it: UTF-16LE with a terminating NUL.
std::vector<std::uint8_t> Utf16LeBytes(const std::string& name)
{
    std::vector<std::uint8_t> bytes;
    auto put = [&](std::uint32_t unit) {
        bytes.push_back(std::uint8_t(unit & 0xFF));
        bytes.push_back(std::uint8_t(unit >> 8));
    };
    for (wchar_t c : sysfs::Utf8ToWide(name)) {
        const std::uint32_t code = std::uint32_t(c);
        if (code >= 0x10000) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code);
        }
    }
    put(0);
    return bytes;
}

class HandleBase : public UsbDeviceHandle {
public:
    explicit HandleBase(std::shared_ptr<SysfsUsbHost::Shared> shared) : shared_(std::move(shared)) {}

protected:
    const sysfs::UsbTree& Tree() const { return shared_->tree; }

    bool Fail(std::uint32_t error, std::uint32_t* bytesReturned)
    {
        if (bytesReturned)
            *bytesReturned = 0;
        shared_->lastError = error;
        return false;
    }

    static bool Succeed(std::uint32_t count, std::uint32_t* bytesReturned)
    {
        if (bytesReturned)
            *bytesReturned = count;
        return true;
    }

    // Writes as much of a reply as the output buffer holds. The name
    // requests answer this way: a buffer with room for the header learns the
    // whole length from ActualLength.
    static std::uint32_t CopyOut(const std::vector<std::uint8_t>& reply, void* out, std::uint32_t outSize)
    {
        const std::uint32_t count = std::min<std::uint32_t>(outSize, std::uint32_t(reply.size()));
        std::memcpy(out, reply.data(), count);
        return count;
    }

    std::shared_ptr<SysfsUsbHost::Shared> shared_;
};

// \\.\HCDn: a USB bus.
class ControllerHandle final : public HandleBase {
public:
    ControllerHandle(std::shared_ptr<SysfsUsbHost::Shared> shared, std::string rootHub)
        : HandleBase(std::move(shared)), rootHub_(std::move(rootHub))
    {
    }

    bool DeviceIoControl(std::uint32_t code, const void*, std::uint32_t, void* out, std::uint32_t outSize,
                         std::uint32_t* bytesReturned) override
    {
        if (code != usb::kIoctlGetHcdDriverKeyName && code != usb::kIoctlGetRootHubName)
            return Fail(win32::kNotSupported, bytesReturned);
        if (!Tree().Exists(rootHub_))
            return Fail(win32::kDeviceNotConnected, bytesReturned);
        if (!out || outSize < sizeof(usb::ControllerName))
            return Fail(win32::kInsufficientBuffer, bytesReturned);
        const std::string name = code == usb::kIoctlGetRootHubName
                                     ? SysfsUsbHost::HubName(Tree(), rootHub_)
                                     : SysfsUsbHost::DriverKey(ControllerName());
        const std::vector<std::uint8_t> text = Utf16LeBytes(name);
        std::vector<std::uint8_t> reply(4);
        const std::uint32_t actualLength = std::uint32_t(4 + text.size());
        std::memcpy(reply.data(), &actualLength, 4);
        reply.insert(reply.end(), text.begin(), text.end());
        return Succeed(CopyOut(reply, out, outSize), bytesReturned);
    }

private:
    // The host controller is the device above the root hub ("0000:00:14.0").
    std::string ControllerName() const
    {
        auto resolved = sysfs::Resolve(Tree().DeviceDir(rootHub_));
        if (resolved && resolved->has_parent_path()) {
            const std::string parent = resolved->parent_path().filename().string();
            if (!parent.empty() && parent != "devices")
                return parent;
        }
        return rootHub_;
    }

    std::string rootHub_;
};

// \\.\ + a hub name: a hub, root hubs included.
class HubHandle final : public HandleBase {
public:
    HubHandle(std::shared_ptr<SysfsUsbHost::Shared> shared, std::string hub)
        : HandleBase(std::move(shared)), hub_(std::move(hub))
    {
    }

    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override
    {
        if (!Tree().Exists(hub_))
            return Fail(win32::kDeviceNotConnected, bytesReturned);
        switch (code) {
        case usb::kIoctlGetNodeInformation:
            return NodeInformation(out, outSize, bytesReturned);
        case usb::kIoctlGetNodeConnectionInformation:
        case usb::kIoctlGetNodeConnectionDriverKeyName:
        case usb::kIoctlGetNodeConnectionName:
        case usb::kIoctlGetDescriptorFromNodeConnection:
            break;
        default:
            return Fail(win32::kNotSupported, bytesReturned);
        }

        // Every per-port request starts with the port's ConnectionIndex.
        std::uint32_t port = 0;
        if (!in || inSize < sizeof port)
            return Fail(win32::kInvalidParameter, bytesReturned);
        std::memcpy(&port, in, sizeof port);
        if (port == 0 || port > Tree().PortCount(hub_))
            return Fail(win32::kInvalidParameter, bytesReturned);
        const std::optional<std::string> device = Tree().ChildOnPort(hub_, port);

        if (code == usb::kIoctlGetNodeConnectionInformation)
            return ConnectionInformation(port, device, out, outSize, bytesReturned);
        if (code == usb::kIoctlGetDescriptorFromNodeConnection)
            return Descriptor(in, inSize, device, out, outSize, bytesReturned);

        if (!device)
            return Fail(win32::kDeviceNotConnected, bytesReturned);
        if (!out || outSize < sizeof(usb::ConnectionName))
            return Fail(win32::kInsufficientBuffer, bytesReturned);
        std::string name;
        if (code == usb::kIoctlGetNodeConnectionDriverKeyName)
            name = SysfsUsbHost::DriverKey(*device);
        else if (Tree().IsHub(*device))
            name = SysfsUsbHost::HubName(Tree(), *device);
        const std::vector<std::uint8_t> text = Utf16LeBytes(name);
        std::vector<std::uint8_t> reply(8);
        const std::uint32_t actualLength = std::uint32_t(8 + text.size());
        std::memcpy(reply.data(), &port, 4);
        std::memcpy(reply.data() + 4, &actualLength, 4);
        reply.insert(reply.end(), text.begin(), text.end());
        return Succeed(CopyOut(reply, out, outSize), bytesReturned);
    }

private:
    bool NodeInformation(void* out, std::uint32_t outSize, std::uint32_t* bytesReturned)
    {
        if (!out || outSize < sizeof(usb::NodeInformation))
            return Fail(win32::kInsufficientBuffer, bytesReturned);
        const fs::path dir = Tree().DeviceDir(hub_);
        usb::NodeInformation info;
        std::memset(&info, 0, sizeof info);
        info.NodeType = kUsbHubNode;
        const unsigned ports = Tree().PortCount(hub_);
        const auto speed = sysfs::ReadNumber(dir, "speed", 10);
        info.HubDescriptor_.bDescriptorLength = std::uint8_t(7 + 2 * (ports / 8 + 1));
        info.HubDescriptor_.bDescriptorType =
            speed && *speed >= 5000 ? kSuperSpeedHubDescriptorType : kHubDescriptorType;
        info.HubDescriptor_.bNumberOfPorts = std::uint8_t(ports);
        // bmAttributes bit 6: self-powered.
        const auto attributes = sysfs::ReadNumber(dir, "bmAttributes", 16);
        info.HubIsBusPowered = attributes && !(*attributes & 0x40) ? 1 : 0;
        std::memcpy(out, &info, sizeof info);
        return Succeed(sizeof info, bytesReturned);
    }

    bool ConnectionInformation(std::uint32_t port, const std::optional<std::string>& device, void* out,
                               std::uint32_t outSize, std::uint32_t* bytesReturned)
    {
        if (!out || outSize < sizeof(usb::NodeConnectionInformation))
            return Fail(win32::kInsufficientBuffer, bytesReturned);
        usb::NodeConnectionInformation info;
        std::memset(&info, 0, sizeof info);
        info.ConnectionIndex = port;
        info.ConnectionStatus = kNoDeviceConnected;
        std::vector<std::vector<std::uint8_t>> pipes;
        if (device) {
            const fs::path dir = Tree().DeviceDir(*device);
            const uvc::DescriptorSet descriptors = Tree().Descriptors(*device);
            if (descriptors.device.size() == sizeof(usb::DeviceDescriptor)) {
                std::memcpy(&info.DeviceDescriptor_, descriptors.device.data(),
                            sizeof info.DeviceDescriptor_);
            } else {
                info.DeviceDescriptor_.bLength = sizeof(usb::DeviceDescriptor);
                info.DeviceDescriptor_.bDescriptorType = uvc::kDeviceType;
                info.DeviceDescriptor_.idVendor = Tree().VendorId(*device).value_or(0);
                info.DeviceDescriptor_.idProduct = Tree().ProductId(*device).value_or(0);
            }
            const auto configuration = sysfs::ReadNumber(dir, "bConfigurationValue", 10);
            info.CurrentConfigurationValue = std::uint8_t(configuration.value_or(0));
            info.LowSpeed = sysfs::ReadAttribute(dir, "speed") == "1.5" ? 1 : 0;
            info.DeviceIsHub = Tree().IsHub(*device) ? 1 : 0;
            info.DeviceAddress = std::uint16_t(sysfs::ReadNumber(dir, "devnum", 10).value_or(0));
            info.ConnectionStatus = usb::kDeviceConnected;
            for (const auto& config : descriptors.configurations)
                if (configuration && config.size() >= 6 && config[5] == *configuration)
                    pipes = uvc::DefaultEndpoints(config);
            info.NumberOfOpenPipes = std::uint32_t(pipes.size());
        }
        auto* bytes = static_cast<std::uint8_t*>(out);
        std::memcpy(bytes, &info, sizeof info);
        std::uint32_t count = sizeof info;
        for (const auto& endpoint : pipes) {
            if (outSize - count < sizeof(usb::PipeInfo))
                break;
            usb::PipeInfo pipe;
            std::memset(&pipe, 0, sizeof pipe);
            std::memcpy(&pipe.EndpointDescriptor_, endpoint.data(), sizeof pipe.EndpointDescriptor_);
            std::memcpy(bytes + count, &pipe, sizeof pipe);
            count += sizeof pipe;
        }
        return Succeed(count, bytesReturned);
    }

    bool Descriptor(const void* in, std::uint32_t inSize, const std::optional<std::string>& device, void* out,
                    std::uint32_t outSize, std::uint32_t* bytesReturned)
    {
        if (inSize < sizeof(usb::DescriptorRequest))
            return Fail(win32::kInvalidParameter, bytesReturned);
        if (!out || outSize < sizeof(usb::DescriptorRequest))
            return Fail(win32::kInsufficientBuffer, bytesReturned);
        // Input and output may be the same buffer: take the request first.
        usb::DescriptorRequest request;
        std::memcpy(&request, in, sizeof request);
        if (!device)
            return Fail(win32::kDeviceNotConnected, bytesReturned);
        const std::uint8_t type = std::uint8_t(request.SetupPacket_.wValue >> 8);
        const std::uint8_t index = std::uint8_t(request.SetupPacket_.wValue & 0xFF);
        const uvc::DescriptorSet descriptors = Tree().Descriptors(*device);
        const std::vector<std::uint8_t>* source = nullptr;
        if (type == uvc::kDeviceType && index == 0 && !descriptors.device.empty())
            source = &descriptors.device;
        else if (type == uvc::kConfigurationType && index < descriptors.configurations.size())
            source = &descriptors.configurations[index];
        else if (type != uvc::kDeviceType && type != uvc::kConfigurationType)
            return Fail(win32::kNotSupported, bytesReturned);
        if (!source)
            return Fail(win32::kGenFailure, bytesReturned);  // the device would stall
        const std::uint32_t room = outSize - sizeof request;
        const std::uint32_t count = std::min<std::uint32_t>(
            {std::uint32_t(request.SetupPacket_.wLength), room, std::uint32_t(source->size())});
        auto* bytes = static_cast<std::uint8_t*>(out);
        std::memcpy(bytes, &request, sizeof request);
        std::memcpy(bytes + sizeof request, source->data(), count);
        return Succeed(sizeof request + count, bytesReturned);
    }

    std::string hub_;
};

}  // namespace

SysfsUsbHost::SysfsUsbHost(fs::path sysfsRoot) : shared_(std::make_shared<Shared>(std::move(sysfsRoot))) {}

SysfsUsbHost::~SysfsUsbHost() = default;

std::string SysfsUsbHost::HubName(const sysfs::UsbTree& tree, const std::string& hub)
{
    if (sysfs::UsbTree::IsRootHubName(hub))
        return "USB#ROOT_HUB#" + hub + "#" + kHubInterfaceClass;
    char ids[32];
    std::snprintf(ids, sizeof ids, "USB#VID_%04X&PID_%04X#", unsigned(tree.VendorId(hub).value_or(0)),
                  unsigned(tree.ProductId(hub).value_or(0)));
    return ids + hub + "#" + kHubInterfaceClass;
}

std::string SysfsUsbHost::DriverKey(const std::string& sysfsName)
{
    return std::string(kUsbSetupClass) + "\\" + sysfsName;
}

std::unique_ptr<UsbDeviceHandle> SysfsUsbHost::Open(const std::string& name)
{
    static const std::string kPrefix = "\\\\.\\";
    const sysfs::UsbTree& tree = shared_->tree;
    if (name.compare(0, kPrefix.size(), kPrefix) == 0) {
        const std::string rest = name.substr(kPrefix.size());
        if (rest.size() > 3 && rest.compare(0, 3, "HCD") == 0 &&
            std::all_of(rest.begin() + 3, rest.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
            rest.size() < 10) {
            const unsigned long number = std::strtoul(rest.c_str() + 3, nullptr, 10);
            const auto roots = tree.RootHubs();
            if (number < roots.size())
                return std::make_unique<ControllerHandle>(shared_, roots[number]);
        } else {
            // USB#...#<sysfs name>#{hub interface class}
            const auto last = rest.rfind('#');
            const auto before =
                last == std::string::npos || last == 0 ? std::string::npos : rest.rfind('#', last - 1);
            if (before != std::string::npos) {
                const std::string hub = rest.substr(before + 1, last - before - 1);
                if (!hub.empty() && hub.find('/') == std::string::npos && hub != "." && hub != ".." &&
                    tree.Exists(hub) && tree.IsHub(hub) && HubName(tree, hub) == rest)
                    return std::make_unique<HubHandle>(shared_, hub);
            }
        }
    }
    shared_->lastError = win32::kFileNotFound;
    return nullptr;
}

std::uint32_t SysfsUsbHost::LastError() { return shared_->lastError; }

}  // namespace norvik
