#include "platforms/linux/LinuxPlatform.h"

namespace norvik {

LinuxPlatform::LinuxPlatform(Runtime& runtime, LinuxPlatformOptions options)
    : capture_(std::make_shared<V4l2CaptureStack>(LinuxPaths{options.sysfsRoot, options.deviceDir},
                                                  options.ioctl ? options.ioctl : MakeSystemUvcIoctl(),
                                                  runtime)),
      usb_(std::make_shared<SysfsUsbHost>(options.sysfsRoot)),
      setup_(std::make_shared<SysfsDeviceSetup>(options.sysfsRoot, options.deviceDir))
{
}

}  // namespace norvik
