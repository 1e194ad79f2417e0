#pragma once
// The ports a discovery run reaches the platform through, bundled so that
// each step takes the one argument and uses only what it needs.

#include "discovery/CaptureStack.h"
#include "discovery/DeviceSetup.h"
#include "discovery/UsbHost.h"
#include "runtime/Runtime.h"

namespace norvik {

struct DiscoveryPorts {
    Runtime& runtime;
    CaptureStack& captureStack;
    UsbHost& usbHost;
    DeviceSetup& deviceSetup;
};

}  // namespace norvik
