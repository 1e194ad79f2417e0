#pragma once
// --camera: which camera of a discovery run a command means, by what tells
// it apart from an identical one rather than by discovery order. An address
// is a location as `list` shows it, a video node (/dev/videoN), VID:PID, or
// VID:PID:SERIAL; it is read strictly and must name exactly one camera.

#include <cstdint>
#include <string>

#include "discovery/DeviceRecords.h"

namespace norvik::ctl {

struct CameraAddress {
    enum class Kind { Location, VideoNode, Ids };
    Kind kind = Kind::Location;
    std::string text;  // as written: the location or video node itself
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool hasSerial = false;
    std::string serial;
};

// Reads the text of --camera; false with the reason in error (a line
// starting "norvikctl: ") when it is no address.
bool ParseCameraAddress(const std::string& text, CameraAddress& address, std::string& error);

// Whether the device at that table position is the one the address names.
bool CameraMatches(const CameraAddress& address, const DeviceTable& table, std::uint32_t device);

// The table position of the one camera the address names; false with the
// reason in error when it names none or several (the message names the
// locations of the cameras it could mean).
bool FindCamera(const CameraAddress& address, const DeviceTable& table, std::uint32_t& device,
                std::string& error);

}  // namespace norvik::ctl
