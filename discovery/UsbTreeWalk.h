#pragma once
// The walk of every host controller, hub and port, calling a visitor for each
// port with a device attached.

#include <cstdint>
#include <functional>
#include <string>

#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryPorts.h"

namespace norvik {

// Called for every connected port, hubs included, before the walk descends
// into a hub.
using PortVisitor = std::function<void(const UsbPortContext&)>;

// Host controllers tried, \\.\HCD0 to \\.\HCD9.
constexpr int kHostControllerCount = 10;

// Walks controllers 0 to 9 and, depth first, every hub below them.
void WalkUsbTree(DiscoveryPorts& ports, const PortVisitor& visitor, DeviceList& devices);

// Opens the hub by the name its parent reported and walks its ports.
void OpenAndWalkHub(DiscoveryPorts& ports, const std::string& hubName, const PortVisitor& visitor,
                    DeviceList& devices);

// Visits ports 1 to portCount of an open hub.
void WalkHubPorts(DiscoveryPorts& ports, UsbDeviceHandle& hub, std::uint32_t portCount,
                  const PortVisitor& visitor, DeviceList& devices);

}  // namespace norvik
