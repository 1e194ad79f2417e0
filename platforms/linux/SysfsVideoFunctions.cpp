#include "platforms/linux/SysfsVideoFunctions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "runtime/Diagnostics.h"

namespace norvik {

namespace fs = std::filesystem;

namespace {

// KSCATEGORY_CAPTURE, the interface class of video capture devices.
constexpr const wchar_t* kCaptureInterfaceClass = L"{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
constexpr const char* kUvcDriver = "uvcvideo";

bool IsPortPathChar(wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'-' || c == L'.'; }

// Reads exactly `digits` hexadecimal digits at `at`.
std::optional<unsigned> ReadHex(std::wstring_view text, std::size_t at, std::size_t digits)
{
    if (at + digits > text.size())
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const wchar_t c = text[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9')
            digit = unsigned(c - L'0');
        else if (c >= L'a' && c <= L'f')
            digit = unsigned(c - L'a' + 10);
        else if (c >= L'A' && c <= L'F')
            digit = unsigned(c - L'A' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

bool StartsWithAt(std::wstring_view text, std::size_t at, std::wstring_view prefix)
{
    return text.size() >= at + prefix.size() && text.substr(at, prefix.size()) == prefix;
}

// The video node number of "videoN", or nullopt for other names.
std::optional<unsigned long> VideoNodeNumber(const std::string& name)
{
    if (name.size() <= 5 || name.compare(0, 5, "video") != 0)
        return std::nullopt;
    if (!std::all_of(name.begin() + 5, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::strtoul(name.c_str() + 5, nullptr, 10);
}

}  // namespace

std::wstring DevicePathOf(const VideoFunctionIdentity& identity)
{
    wchar_t head[64];
    std::swprintf(head, sizeof head / sizeof head[0], L"\\\\?\\usb#vid_%04x&pid_%04x&mi_%02x#",
                  unsigned(identity.vendorId), unsigned(identity.productId),
                  unsigned(identity.interfaceNumber));
    std::wstring path = head;
    path.append(identity.usbDevice.begin(), identity.usbDevice.end());
    path += L'#';
    path += kCaptureInterfaceClass;
    path += L"\\global";
    return path;
}

std::wstring DisplayNameOf(const VideoFunctionIdentity& identity)
{
    return L"@device:pnp:" + DevicePathOf(identity);
}

std::optional<VideoFunctionIdentity> ParseFunctionIdentity(std::wstring_view name)
{
    // Windows treats these names without regard to case.
    std::wstring lower(name);
    for (auto& c : lower)
        if (c >= L'A' && c <= L'Z')
            c = wchar_t(c - L'A' + L'a');
    const std::wstring_view text = lower;

    const auto at = text.find(L"usb#vid_");
    if (at == std::wstring_view::npos)
        return std::nullopt;
    std::size_t i = at + 8;
    VideoFunctionIdentity identity;
    auto vendor = ReadHex(text, i, 4);
    if (!vendor || !StartsWithAt(text, i + 4, L"&pid_"))
        return std::nullopt;
    i += 9;
    auto product = ReadHex(text, i, 4);
    if (!product || !StartsWithAt(text, i + 4, L"&mi_"))
        return std::nullopt;
    i += 8;
    auto interfaceNumber = ReadHex(text, i, 2);
    if (!interfaceNumber || !StartsWithAt(text, i + 2, L"#"))
        return std::nullopt;
    i += 3;
    const std::size_t end = text.find(L'#', i);
    // A port path starts with the bus number: "1-4.2".
    if (end == std::wstring_view::npos || end == i || text[i] < L'0' || text[i] > L'9' ||
        text.substr(i, end - i).find(L'-') == std::wstring_view::npos)
        return std::nullopt;
    for (std::size_t k = i; k < end; ++k)
        if (!IsPortPathChar(text[k]))
            return std::nullopt;
    if (!StartsWithAt(text, end + 1, kCaptureInterfaceClass))
        return std::nullopt;
    identity.vendorId = std::uint16_t(*vendor);
    identity.productId = std::uint16_t(*product);
    identity.interfaceNumber = std::uint8_t(*interfaceNumber);
    identity.usbDevice.assign(text.begin() + std::ptrdiff_t(i), text.begin() + std::ptrdiff_t(end));
    return identity;
}

void PrintNodePermissionHint(Runtime& runtime, const std::string& nodePath)
{
    DiagPrint(runtime,
              "%s: permission denied; add the user to the video group "
              "(sudo usermod -aG video $USER) and log in again\n",
              nodePath.c_str());
}

std::optional<std::string> FindFunctionInterface(const sysfs::UsbTree& tree,
                                                 const VideoFunctionIdentity& identity)
{
    const std::string& device = identity.usbDevice;
    if (device.empty() || sysfs::UsbTree::IsInterfaceName(device) || !tree.Exists(device))
        return std::nullopt;
    if (tree.VendorId(device) != identity.vendorId || tree.ProductId(device) != identity.productId)
        return std::nullopt;
    std::error_code error;
    std::vector<std::string> candidates;
    for (fs::directory_iterator it(tree.DeviceDir(device), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, device.size() + 1, device + ":") != 0)
            continue;
        auto number = sysfs::ReadNumber(it->path(), "bInterfaceNumber", 16);
        if (number && *number == identity.interfaceNumber)
            candidates.push_back(name);
    }
    if (candidates.empty())
        return std::nullopt;
    std::sort(candidates.begin(), candidates.end());
    return candidates.front();
}

std::vector<VideoFunction> ScanVideoFunctions(const LinuxPaths& paths, UvcIoctl& ioctl, Runtime& runtime,
                                              bool reportUnreadable)
{
    const sysfs::UsbTree tree(paths.sysfsRoot);
    const fs::path classDir = paths.sysfsRoot / "class" / "video4linux";

    std::vector<std::pair<unsigned long, std::string>> nodes;
    std::error_code error;
    for (fs::directory_iterator it(classDir, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (auto number = VideoNodeNumber(name))
            nodes.emplace_back(*number, name);
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<VideoFunction> functions;
    for (const auto& node : nodes) {
        const fs::path nodeDir = classDir / node.second;
        // The node's parent device must be a USB interface driven by uvcvideo.
        auto interfaceDir = sysfs::Resolve(nodeDir / "device");
        if (!interfaceDir)
            continue;
        const std::string interfaceName = interfaceDir->filename().string();
        if (!sysfs::UsbTree::IsInterfaceName(interfaceName) || !tree.Exists(interfaceName))
            continue;
        if (sysfs::LinkName(*interfaceDir / "driver") != kUvcDriver)
            continue;
        if (std::any_of(functions.begin(), functions.end(),
                        [&](const VideoFunction& f) { return f.interfaceName == interfaceName; }))
            continue;  // one device per video function: its first capture node

        VideoFunction function;
        function.videoNode = node.second;
        function.nodePath = (paths.deviceDir / node.second).string();
        function.interfaceName = interfaceName;

        const int fd = ioctl.Open(function.nodePath);
        if (fd >= 0) {
            VideoCapability capability;
            const int queryError = ioctl.QueryCapability(fd, &capability);
            ioctl.Close(fd);
            if (queryError != 0 || capability.driver != kUvcDriver ||
                !(capability.NodeCaps() & kV4l2CapVideoCapture))
                continue;
            function.friendlyName = sysfs::Utf8ToWide(capability.card);
        } else {
            // Not openable: sysfs still tells the capture node (index 0 of
            // its interface) and the card name.
            if (reportUnreadable && (-fd == EACCES || -fd == EPERM))
                PrintNodePermissionHint(runtime, function.nodePath);
            auto index = sysfs::ReadNumber(nodeDir, "index", 10);
            if (index && *index != 0)
                continue;
            function.friendlyName = sysfs::Utf8ToWide(sysfs::ReadAttribute(nodeDir, "name").value_or(""));
        }

        const std::string device = interfaceName.substr(0, interfaceName.find(':'));
        auto vendor = tree.VendorId(device);
        auto product = tree.ProductId(device);
        auto interfaceNumber = sysfs::ReadNumber(*interfaceDir, "bInterfaceNumber", 16);
        if (!vendor || !product || !interfaceNumber || *interfaceNumber > 0xFF)
            continue;
        function.identity.vendorId = *vendor;
        function.identity.productId = *product;
        function.identity.interfaceNumber = std::uint8_t(*interfaceNumber);
        function.identity.usbDevice = device;
        functions.push_back(std::move(function));
    }
    return functions;
}

}  // namespace norvik
