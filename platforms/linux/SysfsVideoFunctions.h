#pragma once
// The USB video functions of a Linux system: the V4L2 capture nodes that the
// uvcvideo driver made, one per VideoControl interface, with the identity
// they are known by on the ports (a Windows-style device path and display
// name built from the vendor and product IDs, the interface number and the
// USB port path, so that a name stays valid when /dev/video numbers change).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platforms/linux/SysfsTree.h"
#include "platforms/linux/V4l2UvcIoctl.h"
#include "runtime/Runtime.h"

namespace norvik {

struct LinuxPaths {
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path deviceDir = "/dev";
};

// What names one video function, whatever its /dev/video number.
struct VideoFunctionIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint8_t interfaceNumber = 0;  // the VideoControl interface
    std::string usbDevice;             // the USB port path, e.g. "1-4.2"

    friend bool operator==(const VideoFunctionIdentity&, const VideoFunctionIdentity&) = default;
};

struct VideoFunction {
    VideoFunctionIdentity identity;
    std::string videoNode;      // "video2"
    std::string nodePath;       // the device directory + "/video2"
    std::string interfaceName;  // "1-4.2:1.0"
    std::wstring friendlyName;  // the V4L2 card name
};

// "\\?\usb#vid_2bd9&pid_0011&mi_00#1-4.2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global":
// the interface path of the capture category, lower-case as Windows
// writes it.
std::wstring DevicePathOf(const VideoFunctionIdentity& identity);
// "@device:pnp:" followed by the device path.
std::wstring DisplayNameOf(const VideoFunctionIdentity& identity);
// Reads the identity back from a display name or a device path; nullopt
// when the text is not one of ours.
std::optional<VideoFunctionIdentity> ParseFunctionIdentity(std::wstring_view name);

// Lists the video functions: /dev/video* in number order, keeping the nodes
// whose sysfs parent is a USB interface bound to uvcvideo and that capture
// video (metadata nodes are left out), the first node of each interface
// only. A node that cannot be opened is judged from sysfs alone (its
// `index` and `name`); when the reason is a permission and reportUnreadable
// is set, a diagnostic line says which node and what the user needs.
std::vector<VideoFunction> ScanVideoFunctions(const LinuxPaths& paths, UvcIoctl& ioctl, Runtime& runtime,
                                              bool reportUnreadable);

// The USB interface directory name of an identity ("1-4.2:1.0"), checked
// against the vendor and product IDs sysfs reports; nullopt when that
// interface is not there (the camera was unplugged or moved).
std::optional<std::string> FindFunctionInterface(const sysfs::UsbTree& tree,
                                                 const VideoFunctionIdentity& identity);

// The diagnostic line for a video node that may not be opened.
void PrintNodePermissionHint(Runtime& runtime, const std::string& nodePath);

}  // namespace norvik
