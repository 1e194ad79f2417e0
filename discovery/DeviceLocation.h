#pragma once
// The location dump of a capture device on the debug console: its interface
// path, setup class and registry properties, and the location of the hub port
// it hangs on. Diagnostics only; nothing is kept.

#include <string>

#include "discovery/CaptureStack.h"
#include "discovery/DeviceSetup.h"
#include "discovery/DiscoveryPorts.h"

namespace norvik {

// Characters of the property buffer reused for every property of a device.
constexpr std::size_t kPropertyBufferChars = 260;

// Prints the dump of the device behind the moniker; the caller keeps it.
void PrintDeviceDetails(DiscoveryPorts& ports, DeviceMoniker& moniker);

// The setup-class and registry lines of the device with that interface path.
void PrintSetupProperties(DiscoveryPorts& ports, const std::wstring& devicePath);

// Climbs from the device node to its ancestors and prints the first location
// information that names a port.
void FindPortLocation(DiscoveryPorts& ports, DevInst deviceNode);

// The climb of FindPortLocation without the print: the first location
// information from the device node upward that names a port, and the node
// that holds it. False when the climb ends first.
bool ClimbToPortLocation(DiscoveryPorts& ports, DevInst deviceNode, std::wstring* location,
                         DevInst* portNode);

}  // namespace norvik
