// Discovery on this computer's own /sys and /dev, through the real open()
// and ioctl(). Without a camera it finds none and says so, without any other
// line; with NORVIK_EXPECT_CAMERA=1 in the environment it must find a UVC
// camera and tie at least one extension unit to its node. The transcript is
// printed, so that whoever runs it can read what their cameras answered.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "discovery/DiscoveryRun.h"
#include "platforms/linux/LinuxPlatform.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik {
namespace {

TEST(RealSystem, DiscoveryOnThisComputer)
{
    FakeRuntime runtime;
    LinuxPlatform platform(runtime);
    DiscoveryPorts ports{runtime, platform.Capture(), platform.Usb(), platform.Setup()};
    DeviceList devices;
    DiscoverDevices(ports, devices);
    const std::string transcript = runtime.AllDiagnostics();
    std::fputs(transcript.c_str(), stdout);
    std::fflush(stdout);

    char count[64];
    std::snprintf(count, sizeof count, "Find %d video device.\n\n", int(devices.Size()));
    EXPECT_NE(transcript.find(count), std::string::npos);
    for (const auto& device : devices) {
        EXPECT_NE(device.displayName.find(L"usb#vid_"), std::wstring::npos);
        EXPECT_FALSE(device.friendlyName.empty());
    }
    if (devices.Size() == 0) {
        EXPECT_EQ(transcript.rfind("Sorry, you have no video capture hardware.\r\n\r\n"
                                   "Video capture will not function properly.Find 0 video device.\n\n",
                                   0),
                  0u);
    }

    const char* expectCamera = std::getenv("NORVIK_EXPECT_CAMERA");
    if (expectCamera && std::string(expectCamera) == "1") {
        ASSERT_GT(devices.Size(), 0u) << "no UVC camera found";
        bool matched = false;
        for (const auto& device : devices)
            matched = matched || device.hasMatchedUnit;
        EXPECT_TRUE(matched) << "no extension unit was tied to a node";
    }
}

}  // namespace
}  // namespace norvik
