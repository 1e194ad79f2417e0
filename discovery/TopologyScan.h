#pragma once
// The kernel-streaming topology of a capture device: which of its nodes are
// extension units.

#include "discovery/CaptureStack.h"
#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryPorts.h"

namespace norvik {

// Binds the moniker to its capture filter, keeps the filter's control
// interface in the device for the matching probes, and lists the
// extension-unit nodes. The caller keeps the moniker.
void ScanTopology(DiscoveryPorts& ports, DeviceMoniker& moniker, CaptureDevice& device);

// Appends one unit per device-specific node, in node order, and sets
// unitCount.
void CollectXuNodeRecords(Runtime& runtime, KsTopologyInfo& topology, CaptureDevice& device);

}  // namespace norvik
