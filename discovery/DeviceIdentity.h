#pragma once
// The identity rules for a video input device's moniker display name, shared
// by discovery and by the control channel when it describes a device.

#include <cstdint>
#include <string>

namespace norvik {

// True when the display name contains "usb#vid" (exact, case-sensitive).
bool IsUsbDisplayName(const std::wstring& displayName);

// The up to four characters after the first occurrence of marker ("vid_" or
// "pid_") read as hexadecimal, stopping at the first non-digit; 0 when the
// marker is missing or no digit follows.
std::uint32_t ReadIdAfterMarker(const std::wstring& displayName, const wchar_t* marker);

}  // namespace norvik
