// norvik-unplug-probe: what Norvik does when the camera goes away at the
// worst moments. It runs one discovery on the real Linux platform, takes the
// first matched unit, runs the given shell command (which unplugs the
// camera), and then either opens the unit by its device's display name as
// the picker does (--between discovery and open), or, with --after-open,
// has already opened it and measured the selector's length, and sends a GET.
// Prints one line per step, for the bench's script to check.
//
//   norvik-unplug-probe [--after-open] --cs N --unplug "COMMAND"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "channel/NodeRequests.h"
#include "channel/XuChannel.h"
#include "session/TransferOps.h"
#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryRun.h"
#include "platforms/linux/LinuxPlatform.h"
#include "platforms/linux/PosixRuntime.h"
#include "runtime/Utf8.h"

using namespace norvik;

namespace {

void PrintResult(Runtime& runtime, const char* step, bool ok, HResult result)
{
    char text[260] = {};
    FormatSystemError(runtime, std::uint32_t(result), text, sizeof text);
    // The system text ends with its own line end.
    std::size_t end = std::strlen(text);
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
        text[--end] = 0;
    std::printf("%s: %s, result %s\n", step, ok ? "ok" : "failed", text);
}

}  // namespace

int main(int argc, char** argv)
{
    bool afterOpen = false;
    int cs = 0;
    std::string unplug;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--after-open")
            afterOpen = true;
        else if (arg == "--cs" && i + 1 < argc)
            cs = std::atoi(argv[++i]);
        else if (arg == "--unplug" && i + 1 < argc)
            unplug = argv[++i];
        else {
            std::fprintf(stderr, "usage: norvik-unplug-probe [--after-open] --cs N --unplug COMMAND\n");
            return 2;
        }
    }
    if (cs <= 0 || cs > 255 || unplug.empty()) {
        std::fprintf(stderr, "usage: norvik-unplug-probe [--after-open] --cs N --unplug COMMAND\n");
        return 2;
    }

    PosixRuntime runtime;
    int status = 0;
    {
        LinuxPlatform platform(runtime);
        DiscoveryPorts discovery{runtime, platform.Capture(), platform.Usb(), platform.Setup()};
        ChannelPorts channelPorts{platform.Capture(), runtime};

        DeviceTable table;
        RefreshDeviceTable(discovery, ProcessDeviceList(), table);
        const DeviceTableEntry* device = nullptr;
        const ExtensionUnitInfo* unit = nullptr;
        for (std::uint32_t d = 0; d < table.deviceCount && !unit; ++d) {
            device = table.Device(d);
            for (std::uint32_t u = 0; u < device->unitCount && !unit; ++u)
                if (device->units[u].matched)
                    unit = &device->units[u];
        }
        if (!unit) {
            std::printf("discovery: no matched unit\n");
            ClearDeviceList(ProcessDeviceList());
            return 1;
        }
        const std::string displayName = WideToUtf8(std::wstring(device->DisplayName()));
        std::printf("discovery: %s node %u\n", displayName.c_str(), unsigned(unit->nodeId));

        std::unique_ptr<XuChannel> channel;
        if (afterOpen) {
            channel = OpenChannelOnDevice(channelPorts, displayName.c_str(), &unit->guid,
                                          std::uint8_t(unit->nodeId));
            std::printf("open: %s\n", channel ? "ok" : "failed");
            if (!channel) {
                ClearDeviceList(ProcessDeviceList());
                return 1;
            }
            const std::uint16_t length = ProbeControlLength(channelPorts, *channel, std::uint8_t(cs));
            std::printf("length: %u\n", unsigned(length));
            std::fflush(stdout);
            if (std::system(unplug.c_str()) != 0)
                std::printf("unplug command failed\n");
            std::vector<std::uint8_t> buffer(length ? length : 1);
            const bool ok = RequestXuProperty(channelPorts, channel.get(), std::uint8_t(cs), buffer.data(),
                                              length, false);
            PrintResult(runtime, "get", ok, channel->lastResult);
            status = ok ? 1 : 0;
            CloseChannel(channel);
        } else {
            std::fflush(stdout);
            if (std::system(unplug.c_str()) != 0)
                std::printf("unplug command failed\n");
            channel = OpenChannelOnDevice(channelPorts, displayName.c_str(), &unit->guid,
                                          std::uint8_t(unit->nodeId));
            std::printf("open: %s\n", channel ? "ok" : "failed");
            if (channel) {
                // A channel on a camera that is gone must at least fail its requests.
                std::uint16_t length = ProbeControlLength(channelPorts, *channel, std::uint8_t(cs));
                PrintResult(runtime, "length probe", length != 0, channel->lastResult);
                status = length != 0 ? 1 : 0;
                CloseChannel(channel);
            }
        }
        ClearDeviceList(ProcessDeviceList());
    }
    return status;
}
