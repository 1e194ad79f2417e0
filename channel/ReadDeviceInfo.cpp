#include <algorithm>
#include <cstring>

#include "channel/NodeRequests.h"
#include "discovery/DeviceIdentity.h"

namespace norvik {

namespace {

// Display names are looked at up to this many UTF-16 units.
constexpr std::size_t kDisplayNameKeep = 259;
constexpr std::size_t kFriendlyNameBytes = sizeof(DeviceInfo{}.friendlyName) - 1;

// The ANSI form of the longest leading part of name that fits in limit
// bytes, so that a double-byte character is never cut in half.
std::optional<std::string> AnsiPrefixThatFits(Runtime& runtime, const std::wstring& name, std::size_t limit)
{
    // Every character takes at least one byte, so no more than limit of them.
    std::size_t units = std::min(name.size(), limit);
    std::optional<std::string> ansi = runtime.WideToAnsi(std::wstring_view(name).substr(0, units));
    while (ansi && ansi->size() > limit && units > 0) {
        --units;
        ansi = runtime.WideToAnsi(std::wstring_view(name).substr(0, units));
    }
    return ansi;
}

}  // namespace

void ReadDeviceInfo(Runtime& runtime, DeviceMoniker& moniker, DeviceInfo& deviceInfo)
{
    std::wstring displayName;
    if (Failed(moniker.GetDisplayName(&displayName)) || displayName.empty())
        return;
    // The kept copy ends at the first NUL, as a C string would.
    displayName = displayName.substr(0, std::min(displayName.find(L'\0'), kDisplayNameKeep));
    if (!IsUsbDisplayName(displayName))
        return;

    std::shared_ptr<PropertyBag> properties;
    if (Failed(moniker.BindToStorage(&properties)) || !properties)
        return;
    std::wstring friendlyName;
    if (Succeeded(properties->Read(L"FriendlyName", &friendlyName))) {
        // The name ends at its first NUL, as the system string does.
        friendlyName = friendlyName.substr(0, friendlyName.find(L'\0'));
        if (auto ansi = AnsiPrefixThatFits(runtime, friendlyName, kFriendlyNameBytes)) {
            std::memset(deviceInfo.friendlyName, 0, sizeof deviceInfo.friendlyName);
            std::memcpy(deviceInfo.friendlyName, ansi->data(), ansi->size());
        }
        deviceInfo.vendorId = ReadIdAfterMarker(displayName, L"vid_");
        deviceInfo.productId = ReadIdAfterMarker(displayName, L"pid_");
    }
}

}  // namespace norvik
