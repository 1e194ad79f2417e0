#pragma once
// The serial number in a USB device's instance ID. Windows names a USB device
// "USB\VID_046D&PID_0825\8D6A0C10" when the device reports a serial number
// that it accepts as unique; otherwise (no serial, or one it refuses) the
// last part is an ID it made up from the port, such as "5&2A3B4C5D&0&2",
// which always contains '&'. An interface of a composite device
// ("USB\VID_046D&PID_0825&MI_00\...") is not the USB device itself.

#include <optional>
#include <string>
#include <string_view>

namespace norvik {

// The serial of a USB device's instance ID; nullopt for a generated last
// part, an interface's ID or any other form.
std::optional<std::wstring> SerialFromInstanceId(std::wstring_view instanceId);

}  // namespace norvik
