#include "apps/norvikctl/CameraAddress.h"

#include <algorithm>
#include <vector>

#include "runtime/HexDigit.h"
#include "runtime/Utf8.h"

namespace norvik::ctl {

namespace {

constexpr const char* kForms =
    "a location as list shows it, a video node (/dev/videoN), VID:PID or VID:PID:SERIAL";

// Exactly four hex digits, either case.
bool ReadId(const std::string& text, std::uint16_t& id)
{
    if (text.size() != 4)
        return false;
    unsigned value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        value = value * 16 + unsigned(digit);
    }
    id = std::uint16_t(value);
    return true;
}

bool AllDigits(const std::string& text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// How a message names a camera: its location, or its position.
std::string Named(const DeviceTable& table, std::uint32_t device)
{
    const DeviceAddress* address = table.Address(device);
    if (address && !address->location.empty())
        return WideToUtf8(address->location);
    return "device " + std::to_string(device) + " (no location)";
}

std::string JoinedNames(const DeviceTable& table, const std::vector<std::uint32_t>& devices)
{
    std::string names;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (i > 0)
            names += i + 1 == devices.size() ? " and " : ", ";
        names += Named(table, devices[i]);
    }
    return names;
}

}  // namespace

bool ParseCameraAddress(const std::string& text, CameraAddress& address, std::string& error)
{
    address = CameraAddress{};
    address.text = text;
    const std::string prefix = "norvikctl: --camera " + Quoted(text) + ": ";
    if (text.empty()) {
        error = std::string("norvikctl: --camera needs an address: ") + kForms;
        return false;
    }
    // Nothing that would be trimmed, cut or ignored elsewhere reaches the match.
    for (unsigned char c : text) {
        if (c <= ' ' || c == 0x7F) {
            error = prefix + "blanks and control characters are in no address (" + kForms + ")";
            return false;
        }
    }
    if (text.find(':') != std::string::npos) {
        const std::size_t first = text.find(':');
        const std::size_t second = text.find(':', first + 1);
        address.kind = CameraAddress::Kind::Ids;
        if (!ReadId(text.substr(0, first), address.vendorId)) {
            error = prefix + "the vendor ID of VID:PID must be four hex digits";
            return false;
        }
        const std::string product =
            text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        if (!ReadId(product, address.productId)) {
            error = prefix + "the product ID of VID:PID must be four hex digits";
            return false;
        }
        if (second != std::string::npos) {
            address.hasSerial = true;
            address.serial = text.substr(second + 1);
            if (address.serial.empty()) {
                error = prefix + "the serial after VID:PID: is empty";
                return false;
            }
        }
        return true;
    }
    if (text.rfind("/dev/", 0) == 0) {
        address.kind = CameraAddress::Kind::VideoNode;
        if (text.rfind("/dev/video", 0) != 0 || !AllDigits(text.substr(10))) {
            error = prefix + "a video node is /dev/video and its number, e.g. /dev/video0";
            return false;
        }
        return true;
    }
    address.kind = CameraAddress::Kind::Location;
    return true;
}

bool CameraMatches(const CameraAddress& address, const DeviceTable& table, std::uint32_t device)
{
    const DeviceTableEntry* entry = table.Device(device);
    const DeviceAddress* known = table.Address(device);
    if (!entry || !known)
        return false;
    switch (address.kind) {
    case CameraAddress::Kind::Location:
        return !known->location.empty() && WideToUtf8(known->location) == address.text;
    case CameraAddress::Kind::VideoNode:
        return !known->videoNode.empty() && WideToUtf8(known->videoNode) == address.text;
    case CameraAddress::Kind::Ids:
        if (entry->vendorId != address.vendorId || entry->productId != address.productId)
            return false;
        return !address.hasSerial || (!known->serial.empty() && WideToUtf8(known->serial) == address.serial);
    }
    return false;
}

bool FindCamera(const CameraAddress& address, const DeviceTable& table, std::uint32_t& device,
                std::string& error)
{
    std::vector<std::uint32_t> matches;
    for (std::uint32_t i = 0; i < table.deviceCount; ++i)
        if (CameraMatches(address, table, i))
            matches.push_back(i);
    const std::string written = address.text;
    if (matches.size() == 1) {
        device = matches.front();
        return true;
    }
    if (matches.empty()) {
        std::vector<std::uint32_t> all;
        for (std::uint32_t i = 0; i < table.deviceCount; ++i)
            all.push_back(i);
        error = "norvikctl: --camera " + Quoted(written) + " matches no camera" +
                (all.empty() ? std::string(" (no video capture device found)")
                             : " (the cameras: " + JoinedNames(table, all) + ")");
        return false;
    }
    error = "norvikctl: --camera " + Quoted(written) + " matches " + std::to_string(matches.size()) +
            " cameras, at " + JoinedNames(table, matches) + ": name one by its location or serial";
    return false;
}

}  // namespace norvik::ctl
