#pragma once
// One discovery run, and the refresh of the picker's table from it.

#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryPorts.h"

namespace norvik {

// Lists the USB video capture devices with their extension-unit nodes, then
// walks the USB tree and ties each extension unit descriptor to its node.
// Synchronous; the probes of refused nodes wait on the runtime's clock.
void DiscoverDevices(DiscoveryPorts& ports, DeviceList& devices);

// Clears the list and the table, runs discovery and copies the list into the
// table. The table stays empty when nothing is found or its block cannot be
// allocated.
void RefreshDeviceTable(DiscoveryPorts& ports, DeviceList& devices, DeviceTable& table);

}  // namespace norvik
