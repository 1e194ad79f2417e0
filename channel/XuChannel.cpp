#include "channel/XuChannel.h"

#include <new>

#include "channel/NodeRequests.h"

namespace norvik {

std::unique_ptr<XuChannel> CreateChannel()
{
    std::unique_ptr<XuChannel> channel(new (std::nothrow) XuChannel());
    if (!channel)
        return nullptr;
    channel->worker = CreateChannelWorker();
    if (!channel->worker)
        return nullptr;
    return channel;
}

std::unique_ptr<XuChannel> OpenChannelByGuid(ChannelPorts& ports, const Guid* guid)
{
    if (!guid)
        return nullptr;
    std::unique_ptr<XuChannel> channel = CreateChannel();
    if (!channel)
        return nullptr;
    channel->xuGuid = *guid;
    SearchDevicesForXu(ports, channel.get());
    if (!channel->control) {
        CloseChannel(channel);
        return nullptr;
    }
    return channel;
}

std::unique_ptr<XuChannel> OpenChannelByGuidOnDevice(ChannelPorts& ports, const char* displayName,
                                                     const Guid* guid)
{
    if (!displayName || !guid)
        return nullptr;
    std::unique_ptr<XuChannel> channel = CreateChannel();
    if (!channel)
        return nullptr;
    channel->xuGuid = *guid;
    std::shared_ptr<DeviceMoniker> moniker = MonikerByName(ports, displayName);
    if (!moniker || !ProbeDeviceForXu(ports, moniker.get(), channel.get())) {
        CloseChannel(channel);
        return nullptr;
    }
    return channel;
}

std::unique_ptr<XuChannel> OpenChannelOnDevice(ChannelPorts& ports, const char* displayName, const Guid* guid,
                                               std::uint8_t nodeId)
{
    if (!displayName || !guid || nodeId == 0)
        return nullptr;
    std::unique_ptr<XuChannel> channel = CreateChannel();
    if (!channel)
        return nullptr;
    channel->xuGuid = *guid;
    channel->nodeId = nodeId;
    channel->control = BindControlByName(ports, displayName, channel->deviceInfo);
    if (!channel->control) {
        CloseChannel(channel);
        return nullptr;
    }
    return channel;
}

void CloseChannel(std::unique_ptr<XuChannel>& channel)
{
    if (!channel)
        return;
    channel->control.reset();
    channel->worker.reset();
    channel.reset();
}

}  // namespace norvik
