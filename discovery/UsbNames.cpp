#include "discovery/UsbNames.h"

#include <cstring>
#include <memory>
#include <new>

#include "discovery/UsbStructures.h"

namespace norvik {

namespace {

// The two-step pattern of every name query: a probe with room for one
// character tells the whole structure's size (ActualLength), a second request
// of that size returns the name, which stands after a header of nameOffset
// bytes. Per-port queries carry the port in ConnectionIndex (connectionIndex
// set); the root hub query has no input buffer.
std::optional<std::string> QueryName(Runtime& runtime, UsbDeviceHandle& handle, std::uint32_t code,
                                     bool hasInput, std::optional<std::uint32_t> connectionIndex)
{
    const std::uint32_t probeSize =
        connectionIndex ? sizeof(usb::ConnectionName) : sizeof(usb::ControllerName);
    const std::size_t nameOffset = connectionIndex ? 8 : 4;
    const std::size_t lengthOffset = connectionIndex ? 4 : 0;

    std::uint8_t probe[sizeof(usb::ConnectionName)] = {};
    if (connectionIndex)
        std::memcpy(probe, &*connectionIndex, 4);
    std::uint32_t returned = 0;
    if (!handle.DeviceIoControl(code, hasInput ? probe : nullptr, hasInput ? probeSize : 0, probe, probeSize,
                                &returned))
        return std::nullopt;
    std::uint32_t actualLength = 0;
    std::memcpy(&actualLength, probe + lengthOffset, 4);
    if (actualLength <= probeSize)
        return std::nullopt;

    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[actualLength]());
    if (!buffer)
        return std::nullopt;
    if (connectionIndex)
        std::memcpy(buffer.get(), &*connectionIndex, 4);
    if (!handle.DeviceIoControl(code, hasInput ? buffer.get() : nullptr, hasInput ? actualLength : 0,
                                buffer.get(), actualLength, &returned))
        return std::nullopt;
    const std::wstring name = usb::ReadUtf16Le(buffer.get() + nameOffset, actualLength - nameOffset);
    return ToAnsiString(runtime, name);
}

}  // namespace

std::optional<std::string> QueryControllerDriverKey(Runtime& runtime, UsbDeviceHandle& controller)
{
    return QueryName(runtime, controller, usb::kIoctlGetHcdDriverKeyName, true, std::nullopt);
}

std::optional<std::string> QueryRootHub(Runtime& runtime, UsbDeviceHandle& controller)
{
    return QueryName(runtime, controller, usb::kIoctlGetRootHubName, false, std::nullopt);
}

std::optional<std::string> QueryPortDriverKey(Runtime& runtime, UsbDeviceHandle& hub, std::uint32_t port)
{
    return QueryName(runtime, hub, usb::kIoctlGetNodeConnectionDriverKeyName, true, port);
}

std::optional<std::string> QueryChildHub(Runtime& runtime, UsbDeviceHandle& hub, std::uint32_t port)
{
    return QueryName(runtime, hub, usb::kIoctlGetNodeConnectionName, true, port);
}

std::optional<std::string> ToAnsiString(Runtime& runtime, std::wstring_view text)
{
    return runtime.WideToAnsi(text);
}

}  // namespace norvik
