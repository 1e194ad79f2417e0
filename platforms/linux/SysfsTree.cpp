#include "platforms/linux/SysfsTree.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace norvik::sysfs {

std::optional<std::string> ReadAttribute(const fs::path& dir, const char* name)
{
    std::ifstream in(dir / name, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == ' ' || text.back() == '\r' || text.back() == '\t'))
        text.pop_back();
    return text;
}

std::optional<unsigned long> ReadNumber(const fs::path& dir, const char* name, int base)
{
    auto text = ReadAttribute(dir, name);
    if (!text || text->empty())
        return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text->c_str(), &end, base);
    if (end == text->c_str() || *end != '\0')
        return std::nullopt;
    return value;
}

std::optional<std::vector<std::uint8_t>> ReadBinary(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

std::optional<std::string> LinkName(const fs::path& link)
{
    auto target = Resolve(link);
    if (!target)
        return std::nullopt;
    return target->filename().string();
}

std::optional<fs::path> Resolve(const fs::path& path)
{
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    if (error)
        return std::nullopt;
    return resolved;
}

std::wstring Utf8ToWide(const std::string& text)
{
    std::wstring out;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::uint32_t code;
        std::size_t extra;
        if (lead < 0x80) {
            code = lead;
            extra = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07;
            extra = 3;
        } else {
            out.push_back(L'\xFFFD');
            ++i;
            continue;
        }
        std::size_t j = 1;
        for (; j <= extra && i + j < text.size(); ++j) {
            const unsigned char next = static_cast<unsigned char>(text[i + j]);
            if ((next & 0xC0) != 0x80)
                break;
            code = code << 6 | (next & 0x3F);
        }
        const bool overlong =
            (extra == 1 && code < 0x80) || (extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000);
        if (j <= extra || overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out.push_back(L'\xFFFD');
            i += j;
            continue;
        }
        if constexpr (sizeof(wchar_t) == 2) {
            if (code >= 0x10000) {
                code -= 0x10000;
                out.push_back(wchar_t(0xD800 + (code >> 10)));
                out.push_back(wchar_t(0xDC00 + (code & 0x3FF)));
                i += j;
                continue;
            }
        }
        out.push_back(wchar_t(code));
        i += j;
    }
    return out;
}

UsbTree::UsbTree(fs::path sysfsRoot) : root_(std::move(sysfsRoot)) {}

bool UsbTree::Exists(const std::string& name) const
{
    std::error_code error;
    return !name.empty() && fs::is_directory(DeviceDir(name), error);
}

bool UsbTree::IsRootHubName(const std::string& name)
{
    if (name.size() <= 3 || name.compare(0, 3, "usb") != 0)
        return false;
    return std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool UsbTree::IsInterfaceName(const std::string& name)
{
    // "<bus>-<port path>:<configuration>.<interface>", e.g. "1-4.2:1.0".
    const auto colon = name.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    const std::string device = name.substr(0, colon);
    const std::string rest = name.substr(colon + 1);
    const auto dot = rest.find('.');
    auto digits = [](const std::string& text) {
        return !text.empty() &&
               std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return device.find('-') != std::string::npos && device[0] >= '0' && device[0] <= '9' &&
           std::all_of(device.begin(), device.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; }) &&
           dot != std::string::npos && digits(rest.substr(0, dot)) && digits(rest.substr(dot + 1));
}

std::vector<std::string> UsbTree::RootHubs() const
{
    std::vector<std::pair<unsigned long, std::string>> buses;
    std::error_code error;
    for (fs::directory_iterator it(DevicesDir(), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IsRootHubName(name))
            buses.emplace_back(std::strtoul(name.c_str() + 3, nullptr, 10), name);
    }
    std::sort(buses.begin(), buses.end());
    std::vector<std::string> names;
    for (auto& bus : buses)
        names.push_back(std::move(bus.second));
    return names;
}

std::optional<std::string> UsbTree::ChildOnPort(const std::string& hub, unsigned port) const
{
    if (port == 0)
        return std::nullopt;
    std::string child;
    if (IsRootHubName(hub))
        child = hub.substr(3) + "-" + std::to_string(port);
    else
        child = hub + "." + std::to_string(port);
    if (!Exists(child))
        return std::nullopt;
    return child;
}

std::optional<std::pair<std::string, unsigned>> UsbTree::ParentPort(const std::string& device)
{
    if (IsInterfaceName(device) || IsRootHubName(device))
        return std::nullopt;
    const auto dash = device.find('-');
    if (dash == std::string::npos || dash == 0)
        return std::nullopt;
    const auto dot = device.rfind('.');
    const std::size_t portAt = dot != std::string::npos && dot > dash ? dot + 1 : dash + 1;
    const std::string portText = device.substr(portAt);
    if (portText.empty() ||
        !std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const unsigned port = unsigned(std::strtoul(portText.c_str(), nullptr, 10));
    std::string parent =
        dot != std::string::npos && dot > dash ? device.substr(0, dot) : "usb" + device.substr(0, dash);
    return std::make_pair(std::move(parent), port);
}

bool UsbTree::IsHub(const std::string& name) const
{
    if (IsRootHubName(name))
        return Exists(name);
    auto deviceClass = ReadNumber(DeviceDir(name), "bDeviceClass", 16);
    return deviceClass && *deviceClass == uvc::kHubClass;
}

unsigned UsbTree::PortCount(const std::string& hub) const
{
    auto count = ReadNumber(DeviceDir(hub), "maxchild", 10);
    return count ? unsigned(std::min<unsigned long>(*count, 255)) : 0;
}

std::optional<std::uint16_t> UsbTree::VendorId(const std::string& name) const
{
    auto id = ReadNumber(DeviceDir(name), "idVendor", 16);
    if (!id || *id > 0xFFFF)
        return std::nullopt;
    return std::uint16_t(*id);
}

std::optional<std::uint16_t> UsbTree::ProductId(const std::string& name) const
{
    auto id = ReadNumber(DeviceDir(name), "idProduct", 16);
    if (!id || *id > 0xFFFF)
        return std::nullopt;
    return std::uint16_t(*id);
}

uvc::DescriptorSet UsbTree::Descriptors(const std::string& name) const
{
    auto bytes = ReadBinary(DeviceDir(name) / "descriptors");
    if (!bytes)
        return {};
    return uvc::SplitDescriptors(*bytes);
}

std::vector<std::string> UsbTree::HubsInWalkOrder() const
{
    std::vector<std::string> hubs;
    // Depth first with an explicit stack; ports are pushed in reverse so that
    // they come off in ascending order.
    std::vector<std::string> pending;
    auto roots = RootHubs();
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        pending.push_back(*it);
    while (!pending.empty()) {
        std::string hub = std::move(pending.back());
        pending.pop_back();
        if (std::find(hubs.begin(), hubs.end(), hub) != hubs.end())
            continue;
        hubs.push_back(hub);
        const unsigned ports = PortCount(hub);
        for (unsigned port = ports; port >= 1; --port) {
            auto child = ChildOnPort(hub, port);
            if (child && IsHub(*child))
                pending.push_back(*child);
        }
    }
    return hubs;
}

}  // namespace norvik::sysfs
