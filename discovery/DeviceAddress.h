#pragma once
// The address of a capture device: what tells it apart from an identical
// camera on the same machine, found once per discovery run.

#include <string>

#include "discovery/DeviceSetup.h"
#include "discovery/DiscoveryPorts.h"

namespace norvik {

// The address of the device behind an interface path: the platform's own
// answer where it has one, else the location the location dump finds and
// the serial of the USB device node that holds it. Prints nothing; a step
// that fails leaves its part empty.
DeviceAddress FindDeviceAddress(DiscoveryPorts& ports, const std::wstring& devicePath);

}  // namespace norvik
