#include "platforms/linux/SysfsDeviceSetup.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platforms/linux/SysfsVideoFunctions.h"

namespace norvik {

namespace fs = std::filesystem;

const Guid kCameraSetupClass = *ParseRegistryGuid("{CA3E7AB9-B4C3-4AE6-8251-579EF933890F}");

// Device instance handles: each sysfs device directory met gets a number
// from 1, kept for the life of the port so that a handle stays valid.
struct SysfsDeviceSetup::Nodes {
    explicit Nodes(fs::path root)
        : tree(root), devices(sysfs::Resolve(root / "devices").value_or(root / "devices"))
    {
    }

    DevInst Handle(const fs::path& device)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = std::find(paths.begin(), paths.end(), device);
        if (it != paths.end())
            return DevInst(it - paths.begin() + 1);
        paths.push_back(device);
        return DevInst(paths.size());
    }

    std::optional<fs::path> Path(DevInst handle)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (handle == 0 || handle > paths.size())
            return std::nullopt;
        return paths[handle - 1];
    }

    sysfs::UsbTree tree;
    fs::path devices;  // <root>/devices with its links resolved
    std::mutex mutex;
    std::vector<fs::path> paths;  // resolved paths under <root>/devices
};

namespace {

bool Fits(const std::wstring& value, std::size_t bufferBytes)
{
    return (value.size() + 1) * sizeof(char16_t) <= bufferBytes;
}

bool AllDigits(const std::string& text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "0000:00:14.0": a PCI device address (domain:bus:device.function).
bool ParsePciAddress(const std::string& name, unsigned* bus, unsigned* device, unsigned* function)
{
    unsigned domain;
    char tail;
    return std::sscanf(name.c_str(), "%4x:%2x:%2x.%1x%c", &domain, bus, device, function, &tail) == 4;
}

// The path of a device relative to the devices directory, one entry per
// component.
std::vector<std::string> Components(const fs::path& devices, const fs::path& device)
{
    std::vector<std::string> parts;
    const fs::path relative = device.lexically_relative(devices);
    for (const auto& part : relative)
        parts.push_back(part.string());
    return parts;
}

// The Windows form of a location path, built from the sysfs components.
std::wstring LocationPath(const std::vector<std::string>& components)
{
    std::string path;
    auto add = [&](const std::string& part) {
        if (!path.empty())
            path += '#';
        path += part;
    };
    for (const auto& part : components) {
        unsigned bus, device, function;
        char text[48];
        if (part.compare(0, 3, "pci") == 0 && part.size() > 3 && part.find(':') != std::string::npos) {
            // "pci0000:00": the root bus.
            unsigned domain, rootBus;
            if (std::sscanf(part.c_str() + 3, "%4x:%2x", &domain, &rootBus) == 2) {
                std::snprintf(text, sizeof text, "PCIROOT(%u)", rootBus);
                add(text);
            }
        } else if (ParsePciAddress(part, &bus, &device, &function)) {
            std::snprintf(text, sizeof text, "PCI(%02X%02X)", device, function);
            add(text);
        } else if (sysfs::UsbTree::IsRootHubName(part)) {
            add("USBROOT(0)");
        } else if (sysfs::UsbTree::IsInterfaceName(part)) {
            const auto dot = part.rfind('.');
            if (dot != std::string::npos && AllDigits(part.substr(dot + 1))) {
                std::snprintf(text, sizeof text, "USBMI(%lu)",
                              std::strtoul(part.c_str() + dot + 1, nullptr, 10));
                add(text);
            }
        } else if (auto parent = sysfs::UsbTree::ParentPort(part)) {
            std::snprintf(text, sizeof text, "USB(%u)", parent->second);
            add(text);
        } else {
            add(part);
        }
    }
    return sysfs::Utf8ToWide(path);
}

// The video nodes of an interface ("video0", ...) in number order.
std::vector<std::pair<unsigned long, fs::path>> VideoNodesOf(const fs::path& interfaceDir)
{
    std::vector<std::pair<unsigned long, fs::path>> nodes;
    std::error_code error;
    for (fs::directory_iterator it(interfaceDir / "video4linux", error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, 5, "video") == 0 && AllDigits(name.substr(5)))
            nodes.emplace_back(std::strtoul(name.c_str() + 5, nullptr, 10), it->path());
    }
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

// The capture node of an interface: the first with index 0 (uvcvideo gives
// its metadata node index 1), else the first.
std::optional<std::string> CaptureNodeOf(const fs::path& interfaceDir)
{
    const auto nodes = VideoNodesOf(interfaceDir);
    if (nodes.empty())
        return std::nullopt;
    for (const auto& node : nodes) {
        const auto index = sysfs::ReadNumber(node.second, "index", 10);
        if (!index || *index == 0)
            return node.second.filename().string();
    }
    return nodes.front().second.filename().string();
}

class SysfsDeviceInfoSet final : public DeviceInfoSet {
public:
    explicit SysfsDeviceInfoSet(std::shared_ptr<SysfsDeviceSetup::Nodes> nodes) : nodes_(std::move(nodes)) {}

    bool OpenDeviceInterface(const std::wstring& devicePath) override
    {
        auto identity = ParseFunctionIdentity(devicePath);
        if (!identity)
            return false;
        auto interfaceName = FindFunctionInterface(nodes_->tree, *identity);
        if (!interfaceName)
            return false;
        auto resolved = sysfs::Resolve(nodes_->tree.DeviceDir(*interfaceName));
        if (!resolved)
            return false;
        interface_ = *resolved;
        usbDevice_ = identity->usbDevice;
        return true;
    }

    bool GetInterfaceDetail(DeviceInfoData* info) override
    {
        if (!info || interface_.empty())
            return false;
        info->classGuid = kCameraSetupClass;
        info->devInst = nodes_->Handle(interface_);
        return true;
    }

    bool ClassNameFromGuid(const Guid& classGuid, std::wstring* name, std::size_t bufferChars) override
    {
        return ClassText(classGuid, L"Camera", name, bufferChars);
    }

    bool ClassDescription(const Guid& classGuid, std::wstring* text, std::size_t bufferChars) override
    {
        return ClassText(classGuid, L"Cameras", text, bufferChars);
    }

    bool RegistryProperty(const DeviceInfoData& info, std::uint32_t property, std::wstring* value,
                          std::size_t bufferBytes) override
    {
        if (!value)
            return false;
        auto path = nodes_->Path(info.devInst);
        if (!path)
            return false;
        std::optional<std::wstring> answer;
        const fs::path device = nodes_->tree.DeviceDir(usbDevice_);
        switch (property) {
        case spdrp::kDeviceDesc:
            answer = Text(*path, "interface");
            if (!answer)
                answer = Text(device, "product");
            break;
        case spdrp::kService:
            if (auto driver = sysfs::LinkName(*path / "driver"))
                answer = sysfs::Utf8ToWide(*driver);
            break;
        case spdrp::kLocationPaths:
            answer = LocationPath(Components(nodes_->devices, *path));
            break;
        case spdrp::kFriendlyName:
            answer = CardName(*path);
            if (!answer)
                answer = Text(device, "product");
            break;
        default:
            break;
        }
        if (!answer || answer->empty() || !Fits(*answer, bufferBytes))
            return false;
        *value = std::move(*answer);
        return true;
    }

private:
    static bool ClassText(const Guid& classGuid, const wchar_t* text, std::wstring* out,
                          std::size_t bufferChars)
    {
        const std::wstring value = text;
        if (!out || classGuid != kCameraSetupClass || value.size() + 1 > bufferChars)
            return false;
        *out = value;
        return true;
    }

    static std::optional<std::wstring> Text(const fs::path& dir, const char* attribute)
    {
        auto text = sysfs::ReadAttribute(dir, attribute);
        if (!text || text->empty())
            return std::nullopt;
        return sysfs::Utf8ToWide(*text);
    }

    // The card name of the interface's first video node.
    static std::optional<std::wstring> CardName(const fs::path& interfaceDir)
    {
        const auto nodes = VideoNodesOf(interfaceDir);
        if (nodes.empty())
            return std::nullopt;
        return Text(nodes.front().second, "name");
    }

    std::shared_ptr<SysfsDeviceSetup::Nodes> nodes_;
    fs::path interface_;
    std::string usbDevice_;
};

}  // namespace

SysfsDeviceSetup::SysfsDeviceSetup(fs::path sysfsRoot, fs::path deviceDir)
    : nodes_(std::make_shared<Nodes>(std::move(sysfsRoot))), deviceDir_(std::move(deviceDir))
{
}

SysfsDeviceSetup::~SysfsDeviceSetup() = default;

std::unique_ptr<DeviceInfoSet> SysfsDeviceSetup::CreateDeviceInfoList()
{
    return std::make_unique<SysfsDeviceInfoSet>(nodes_);
}

std::uint32_t SysfsDeviceSetup::LocationInformation(DevInst node, std::wstring* text, std::size_t bufferBytes)
{
    auto path = nodes_->Path(node);
    if (!path)
        return kCrNoSuchDevnode;
    std::error_code error;
    if (!fs::is_directory(*path, error))
        return kCrNoSuchDevnode;
    const std::string name = path->filename().string();
    char buffer[64];
    unsigned bus, device, function;
    std::wstring value;
    if (sysfs::UsbTree::IsInterfaceName(name)) {
        value = sysfs::Utf8ToWide(name);
    } else if (auto parent = sysfs::UsbTree::ParentPort(name)) {
        // The hub's number is its place among the hubs in walk order.
        const auto hubs = nodes_->tree.HubsInWalkOrder();
        const auto it = std::find(hubs.begin(), hubs.end(), parent->first);
        if (it == hubs.end())
            return kCrNoSuchValue;
        std::snprintf(buffer, sizeof buffer, "Port_#%04u.Hub_#%04u", parent->second,
                      unsigned(it - hubs.begin() + 1));
        value = sysfs::Utf8ToWide(buffer);
    } else if (ParsePciAddress(name, &bus, &device, &function)) {
        std::snprintf(buffer, sizeof buffer, "PCI bus %u, device %u, function %u", bus, device, function);
        value = sysfs::Utf8ToWide(buffer);
    } else {
        return kCrNoSuchValue;
    }
    if (!Fits(value, bufferBytes))
        return kCrBufferSmall;
    if (text)
        *text = std::move(value);
    return kCrSuccess;
}

std::uint32_t SysfsDeviceSetup::Parent(DevInst node, DevInst* parent)
{
    auto path = nodes_->Path(node);
    if (!path || !path->has_parent_path())
        return kCrNoSuchDevnode;
    const fs::path above = path->parent_path();
    // The chain ends below the devices directory.
    const auto components = Components(nodes_->devices, above);
    if (components.empty() || components.front() == ".." || components.front() == ".")
        return kCrNoSuchDevnode;
    if (parent)
        *parent = nodes_->Handle(above);
    return kCrSuccess;
}

bool SysfsDeviceSetup::PlatformAddress(const std::wstring& devicePath, DeviceAddress* address)
{
    const auto identity = ParseFunctionIdentity(devicePath);
    if (!identity || !address)
        return false;
    const sysfs::UsbTree& tree = nodes_->tree;
    *address = DeviceAddress{};
    // A camera unplugged since it was listed has no address any more.
    const auto interfaceName = FindFunctionInterface(tree, *identity);
    if (!interfaceName)
        return true;
    address->location = sysfs::Utf8ToWide(identity->usbDevice);
    if (const auto node = CaptureNodeOf(tree.DeviceDir(*interfaceName)))
        address->videoNode = sysfs::Utf8ToWide((deviceDir_ / *node).string());
    if (const auto serial = sysfs::ReadAttribute(tree.DeviceDir(identity->usbDevice), "serial"))
        address->serial = sysfs::Utf8ToWide(*serial);
    return true;
}

}  // namespace norvik
