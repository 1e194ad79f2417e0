// Norvik.exe: the dialog program on Windows. The platform is chosen here:
// the Win32 runtime, the dialog host on the executable's own resources,
// DirectShow and kernel streaming, the hub I/O controls and SetupAPI.

#include "console/NorvikApp.h"
#include "platforms/win32/DirectShowCaptureStack.h"
#include "platforms/win32/Win32DeviceSetup.h"
#include "platforms/win32/Win32DialogHost.h"
#include "platforms/win32/Win32Runtime.h"
#include "platforms/win32/Win32UsbHost.h"
#include "platforms/win32/WindowsApi.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    norvik::Win32Runtime runtime;
    norvik::Win32DialogHost dialogHost(instance);
    norvik::DirectShowCaptureStack captureStack;
    norvik::Win32UsbHost usbHost;
    norvik::Win32DeviceSetup deviceSetup;
    norvik::CNorvikApp app(norvik::AppPorts{runtime, dialogHost, captureStack, usbHost, deviceSetup});
    return norvik::RunApplication(app);
}
