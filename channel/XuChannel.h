#pragma once
// An open control path to one extension-unit node of one video capture
// device, and its two ways of opening.

#include <cstdint>
#include <memory>

#include "discovery/CaptureStack.h"
#include "channel/ChannelPorts.h"
#include "channel/ChannelWorker.h"
#include "discovery/KsNode.h"
#include "runtime/Guid.h"
#include "runtime/ResultCodes.h"

namespace norvik {

// Description of the opened device for display and for the transfer log.
// All zero when the device's display name cannot be read, is not a USB one
// or its friendly name cannot be read.
struct DeviceInfo {
    char friendlyName[260] = {};  // ANSI code page, NUL-terminated
    std::uint32_t productId = 0;
    std::uint32_t vendorId = 0;
    std::uint32_t reserved = 0;  // left 0; a caller copying the record may put the node id here
};

struct XuChannel {
    Guid xuGuid{};
    std::uint32_t nodeId = 0;
    std::unique_ptr<ChannelWorker> worker;
    // Declared after the worker so that it is released first when the
    // channel goes.
    std::shared_ptr<KsControl> control;
    // The request being handed to the worker; they point into the
    // requester's frame and are cleared when the request returns.
    const KsNodeProperty* pendingProperty = nullptr;
    std::uint32_t pendingPropertyLength = 0;
    std::uint8_t* pendingData = nullptr;
    std::uint32_t pendingDataLength = 0;
    // Set while the pending request is a class query rather than a GET or
    // SET, and which one.
    bool pendingIsQuery = false;
    ControlQuery pendingQuery = ControlQuery::Info;
    std::uint32_t bytesReturned = 0;
    // Result of the last request; kWaitTimeout (0x102) after a worker request
    // that was not answered in time.
    HResult lastResult = 0;
    DeviceInfo deviceInfo;
};

// A fresh channel with every field zero and a worker without a thread; null
// when memory is short. The opens below start from it.
std::unique_ptr<XuChannel> CreateChannel();

// Searches every video capture device, in enumeration order, for a node that
// answers the GUID; the first one wins. Null when none does (or no GUID).
std::unique_ptr<XuChannel> OpenChannelByGuid(ChannelPorts& ports, const Guid* guid);

// The search of OpenChannelByGuid on one device only, the one named by its
// display name (ANSI code page). Null when the name cannot be bound or no
// node of that device answers the GUID.
std::unique_ptr<XuChannel> OpenChannelByGuidOnDevice(ChannelPorts& ports, const char* displayName,
                                                     const Guid* guid);

// Binds the device by its display name (ANSI code page) and takes nodeId on
// trust: no request is made. Null, with no device touched, when any argument
// is missing or nodeId is 0; null when the name cannot be bound.
std::unique_ptr<XuChannel> OpenChannelOnDevice(ChannelPorts& ports, const char* displayName, const Guid* guid,
                                               std::uint8_t nodeId);

// Releases the control interface, stops the worker and frees the channel,
// leaving the slot empty. An empty slot is left alone. A worker thread that
// was abandoned while blocked in a call keeps its own references and ends
// when that call returns.
void CloseChannel(std::unique_ptr<XuChannel>& channel);

}  // namespace norvik
