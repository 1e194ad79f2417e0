#pragma once
// Names read from host controllers and hubs: driver keys, root hub and child
// hub names. Each comes back as a new narrow string in the ANSI code page, or
// nothing when the platform does not give it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "discovery/UsbHost.h"
#include "runtime/Runtime.h"

namespace norvik {

std::optional<std::string> QueryControllerDriverKey(Runtime& runtime, UsbDeviceHandle& controller);
std::optional<std::string> QueryRootHub(Runtime& runtime, UsbDeviceHandle& controller);
std::optional<std::string> QueryPortDriverKey(Runtime& runtime, UsbDeviceHandle& hub, std::uint32_t port);
std::optional<std::string> QueryChildHub(Runtime& runtime, UsbDeviceHandle& hub, std::uint32_t port);

// A wide text in the ANSI code page; nothing when the conversion is refused.
std::optional<std::string> ToAnsiString(Runtime& runtime, std::wstring_view text);

}  // namespace norvik
