#pragma once
// Reading a sysfs tree: attribute files, binary files, links, and the USB
// device tree under bus/usb/devices. The root is a parameter ("/sys" on a
// real system, a fixture directory in tests); nothing here needs root
// privileges or sends anything to a device.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platforms/linux/UvcDescriptors.h"

namespace norvik::sysfs {

namespace fs = std::filesystem;

// An attribute's text without its trailing line end and blanks; nullopt when
// the file cannot be read.
std::optional<std::string> ReadAttribute(const fs::path& dir, const char* name);
// An attribute read as a number in the given base (sysfs writes IDs and
// descriptor fields in hexadecimal, counts in decimal).
std::optional<unsigned long> ReadNumber(const fs::path& dir, const char* name, int base);
// A whole file's bytes.
std::optional<std::vector<std::uint8_t>> ReadBinary(const fs::path& file);
// The last component of the path a link leads to ("uvcvideo" for a driver
// link); nullopt when there is no such link.
std::optional<std::string> LinkName(const fs::path& link);
// The path with every link resolved; nullopt when it does not exist.
std::optional<fs::path> Resolve(const fs::path& path);

// UTF-8 text (sysfs strings, V4L2 card names) as a wide string; malformed
// bytes become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);

// The USB devices of a sysfs tree, by their kernel names: "usb1" for the
// root hub of bus 1, "1-4" for the device on its port 4, "1-4.2" for the
// device on port 2 of that one, "1-4.2:1.0" for interface 0 of
// configuration 1 of the last.
class UsbTree {
public:
    explicit UsbTree(fs::path sysfsRoot);

    const fs::path& Root() const { return root_; }
    fs::path DevicesDir() const { return root_ / "bus" / "usb" / "devices"; }
    fs::path DeviceDir(const std::string& name) const { return DevicesDir() / name; }
    bool Exists(const std::string& name) const;

    // Root hubs in bus number order.
    std::vector<std::string> RootHubs() const;
    // The device on a port of a hub, if one is attached.
    std::optional<std::string> ChildOnPort(const std::string& hub, unsigned port) const;
    // The hub a device hangs on and its port there; nullopt for a root hub.
    static std::optional<std::pair<std::string, unsigned>> ParentPort(const std::string& device);
    static bool IsRootHubName(const std::string& name);
    static bool IsInterfaceName(const std::string& name);

    bool IsHub(const std::string& name) const;
    unsigned PortCount(const std::string& hub) const;  // maxchild
    std::optional<std::uint16_t> VendorId(const std::string& name) const;
    std::optional<std::uint16_t> ProductId(const std::string& name) const;
    uvc::DescriptorSet Descriptors(const std::string& name) const;

    // Every hub, root hubs by bus number, each followed depth first by the
    // hubs below it in port order: the order in which a walk of the tree
    // meets them. A hub's number is its position here, from 1.
    std::vector<std::string> HubsInWalkOrder() const;

private:
    fs::path root_;
};

}  // namespace norvik::sysfs
