#pragma once
// Extension-unit property requests on an open channel, the search for the
// node that answers a GUID, the binding of a device by its display name, and
// the text of an error code.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "discovery/CaptureStack.h"
#include "channel/ChannelPorts.h"
#include "channel/XuChannel.h"
#include "runtime/Runtime.h"

namespace norvik {

// Most extension-unit nodes of one device that are tried as candidates.
constexpr int kMaxXuNodes = 8;

// One GET or SET of control selector cs with a data buffer of length bytes.
// Selector 0 or length 0 goes out directly on the calling thread (this is the
// length query: a zero-length GET answers the more-data status with the
// control's length in bytesReturned). Anything else goes through the worker,
// at most twice, with a 200 ms pause after each refused attempt; a request
// not answered in time is not retried. Leaves the result in lastResult and
// the byte count in bytesReturned; true when the result is a success. No
// exception leaves it: a request that cannot get the memory it needs fails
// with E_OUTOFMEMORY, without being sent.
bool RequestXuProperty(ChannelPorts& ports, XuChannel* channel, std::uint8_t cs, std::uint8_t* data,
                       std::uint16_t length, bool isSet) noexcept;

// One class query (GET_INFO, GET_MIN, GET_MAX, GET_RES, GET_DEF) of control
// selector cs into data, length bytes (1 for the information byte). Goes
// through the worker with its time limit, once: a refusal is not retried.
// Leaves the result in lastResult (kWaitTimeout when unanswered) and the
// byte count in bytesReturned; true when the result is a success. No
// exception leaves it.
bool QueryXuProperty(ChannelPorts& ports, XuChannel* channel, std::uint8_t cs, ControlQuery kind,
                     std::uint8_t* data, std::uint16_t length) noexcept;

// "0x%08x: %s" with the code and the system's text for it (which keeps its
// own CR LF), cut to size - 1 characters and always NUL-terminated. False,
// with the buffer untouched, when the system has no text for the code or
// there is no room for even the terminator.
bool FormatSystemError(Runtime& runtime, std::uint32_t code, char* buffer, std::size_t size);

// Walks the video capture devices in enumeration order and keeps the first
// node that answers the channel's GUID: afterwards control, nodeId and
// deviceInfo are set, or control is null.
void SearchDevicesForXu(ChannelPorts& ports, XuChannel* channel);

// Tries the extension-unit nodes of one device with a unit-info GET in the
// channel's GUID. True: the channel holds the device's control interface,
// the answering node and the device description.
bool ProbeDeviceForXu(ChannelPorts& ports, DeviceMoniker* moniker, XuChannel* channel);

// Stores the indexes of the first kMaxXuNodes extension-unit nodes in nodes
// and returns how many were stored.
int CollectXuNodes(Runtime& runtime, KsTopologyInfo* topology, std::uint8_t* nodes);

// The moniker of the device named by displayName (ANSI code page); null when
// the name cannot be converted or parsed.
std::shared_ptr<DeviceMoniker> MonikerByName(ChannelPorts& ports, const char* displayName);

// The control interface of the device named by displayName (ANSI code page);
// fills deviceInfo on the way. Null when the name cannot be converted,
// parsed or bound, or the filter offers no control interface.
std::shared_ptr<KsControl> BindControlByName(ChannelPorts& ports, const char* displayName,
                                             DeviceInfo& deviceInfo);

// Friendly name (ANSI, cut to 259 bytes at a character boundary), vendor
// and product ids of a USB device; leaves the record untouched for any other.
void ReadDeviceInfo(Runtime& runtime, DeviceMoniker& moniker, DeviceInfo& deviceInfo);

}  // namespace norvik
