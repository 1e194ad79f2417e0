#pragma once
// The bundle of port references the application is started with. The
// platform is chosen once, in apps/, and each part is handed what it uses.

namespace norvik {

class Runtime;
class DialogHost;
class CaptureStack;
class UsbHost;
class DeviceSetup;

struct AppPorts {
    Runtime& runtime;
    DialogHost& dialogHost;
    CaptureStack& captureStack;
    UsbHost& usbHost;
    DeviceSetup& deviceSetup;
};

}  // namespace norvik
