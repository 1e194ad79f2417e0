#pragma once
// Tying the extension unit descriptors of a USB device's configuration to the
// topology nodes of its capture device, by asking each node whether it
// answers in the descriptor's GUID.

#include <cstdint>
#include <functional>
#include <span>

#include "discovery/CaptureStack.h"
#include "discovery/DeviceRecords.h"
#include "discovery/DiscoveryPorts.h"
#include "runtime/Guid.h"

namespace norvik {

// Probe attempts per node, and the wait after each refused one.
constexpr int kProbeAttempts = 3;
constexpr std::uint32_t kProbeRetryWaitMs = 200;

// The parts of a VideoControl extension unit descriptor matching uses.
struct ExtensionUnitDescriptor {
    Guid guid;            // guidExtensionCode, offsets 4-19
    std::uint8_t unitId;  // bUnitID, offset 3
    std::size_t offset;   // where the descriptor starts in the configuration
};

// True for a class-specific extension unit descriptor of one input pin
// (type 0x24, subtype 0x06, bLength over 25 and equal to 25 + byte 23).
// descriptor must hold at least bLength bytes.
bool IsExtensionUnitDescriptor(const std::uint8_t* descriptor);

// Walks the descriptors of a configuration descriptor up to its wTotalLength
// (and never past the span), calling onUnit for each extension unit
// descriptor in order. A descriptor whose length is 0 or runs past the end
// ends the walk.
void WalkExtensionUnitDescriptors(std::span<const std::uint8_t> configuration,
                                  const std::function<void(const ExtensionUnitDescriptor&)>& onUnit);

// The port visitor of a discovery run: matches the units of the capture
// device with the port device's vendor and product IDs, reports them and
// releases the device's control reference.
void MatchUnitsOnPort(DiscoveryPorts& ports, const UsbPortContext& context);

// Same, with the configuration descriptor already read (the part after the
// descriptor is fetched; the timing starts here).
void MatchUnitsInConfiguration(Runtime& runtime, const UsbPortContext& context, CaptureDevice& device,
                               std::span<const std::uint8_t> configuration);

// Asks the node whether it answers property requests in that GUID: up to three
// attempts, each refusal followed by a 200 ms wait. A null control refuses at
// once.
bool TryUnitOnNode(Runtime& runtime, KsControl* control, std::uint32_t nodeId, const Guid& guid);

}  // namespace norvik
