#pragma once
// Enumeration of the system's video input devices into the device list.

#include <memory>

#include "discovery/CaptureStack.h"
#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryPorts.h"

namespace norvik {

// Appends every USB video input device, in the enumerator's order, each with
// its names, IDs and extension-unit nodes.
void EnumerateVideoDevices(DiscoveryPorts& ports, DeviceList& devices);

// Builds the record of one moniker and appends it when it is a USB device
// whose friendly name can be read. Takes over the moniker reference and
// drops it. Always answers true: the enumeration goes on.
bool AddVideoDevice(DiscoveryPorts& ports, std::shared_ptr<DeviceMoniker> moniker, DeviceList& devices);

}  // namespace norvik
