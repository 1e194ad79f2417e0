#include <cstring>

#include "channel/NodeRequests.h"

namespace norvik {

namespace {

// The UTF-16 buffer a display name is converted into, terminator included.
constexpr std::size_t kDisplayNameUnits = 1024;

}  // namespace

std::shared_ptr<DeviceMoniker> MonikerByName(ChannelPorts& ports, const char* displayName)
{
    if (!displayName)
        return nullptr;
    // A name that does not fit the buffer cannot be converted, so it cannot
    // be bound either.
    const std::optional<std::wstring> wideName =
        ports.runtime.AnsiToWide(std::string_view(displayName, std::strlen(displayName)));
    if (!wideName || wideName->size() >= kDisplayNameUnits)
        return nullptr;

    std::shared_ptr<BindContext> context;
    if (Failed(ports.captureStack.CreateBindContext(&context)) || !context)
        return nullptr;
    std::shared_ptr<DeviceMoniker> moniker;
    const HResult parsed = ports.captureStack.ParseDisplayName(*context, *wideName, &moniker);
    context.reset();
    if (Failed(parsed))
        return nullptr;
    return moniker;
}

std::shared_ptr<KsControl> BindControlByName(ChannelPorts& ports, const char* displayName,
                                             DeviceInfo& deviceInfo)
{
    std::shared_ptr<DeviceMoniker> moniker = MonikerByName(ports, displayName);
    if (!moniker)
        return nullptr;

    ReadDeviceInfo(ports.runtime, *moniker, deviceInfo);

    std::shared_ptr<CaptureFilter> filter;
    const HResult bound = moniker->BindToObject(&filter);
    moniker.reset();
    if (Failed(bound) || !filter)
        return nullptr;

    std::shared_ptr<KsControl> control;
    if (Failed(filter->QueryKsControl(&control)))
        return nullptr;
    return control;
}

}  // namespace norvik
