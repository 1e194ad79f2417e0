#include <new>

#include "channel/ChannelWorker.h"
#include "discovery/KsNode.h"
#include "channel/NodeRequests.h"
#include "runtime/Diagnostics.h"

namespace norvik {

namespace {

constexpr int kWorkerAttempts = 2;
constexpr std::uint32_t kRetryPauseMs = 200;

// The length query and selector 0: on the calling thread, no time limit.
bool RequestDirect(Runtime& runtime, XuChannel& channel, KsNodeProperty& property, std::uint8_t* data,
                   std::uint16_t length)
{
    std::uint32_t bytes = 0;
    const HResult result = channel.control->KsProperty(&property, sizeof property, data, length, &bytes);
    channel.lastResult = result;
    channel.bytesReturned = bytes;
    if (Failed(result))
        DiagPrint(runtime, "KsProperty error, hr = %x\n", unsigned(result));
    return Succeeded(result);
}

// Points the channel's pending fields at one request for as long as it
// runs, and clears them however it ends.
class PendingRequest {
public:
    PendingRequest(XuChannel& channel, const KsNodeProperty& property, std::uint8_t* data,
                   std::uint16_t length, const ControlQuery* query = nullptr)
        : channel_(channel)
    {
        channel.pendingIsQuery = query != nullptr;
        channel.pendingQuery = query ? *query : ControlQuery::Info;
        channel.pendingProperty = &property;
        channel.pendingPropertyLength = sizeof property;
        channel.pendingData = data;
        channel.pendingDataLength = length;
    }
    ~PendingRequest()
    {
        channel_.pendingProperty = nullptr;
        channel_.pendingPropertyLength = 0;
        channel_.pendingData = nullptr;
        channel_.pendingDataLength = 0;
        channel_.pendingIsQuery = false;
    }
    PendingRequest(const PendingRequest&) = delete;
    PendingRequest& operator=(const PendingRequest&) = delete;

private:
    XuChannel& channel_;
};

bool RequestOnChannel(ChannelPorts& ports, XuChannel& channel, std::uint8_t cs, std::uint8_t* data,
                      std::uint16_t length, bool isSet)
{
    KsNodeProperty property = MakeKsNodeProperty(channel.xuGuid, cs, isSet, channel.nodeId);
    if (cs == 0 || length == 0)
        return RequestDirect(ports.runtime, channel, property, data, length);

    const PendingRequest pending(channel, property, data, length);
    channel.bytesReturned = 0;
    // Stays if no attempt is answered. Not reset between the attempts, so an
    // unanswered second attempt leaves the first one's error in place.
    channel.lastResult = HResult(kWaitTimeout);

    for (int attempt = 0; attempt < kWorkerAttempts; ++attempt) {
        RunOnWorker(ports, channel.worker.get(), &channel);
        const HResult result = channel.lastResult;
        if (result == HResult(kWaitTimeout) || Succeeded(result))
            break;
        ports.runtime.Sleep(kRetryPauseMs);
    }
    return channel.lastResult != HResult(kWaitTimeout) && Succeeded(channel.lastResult);
}

// A class query: one attempt on the worker. A refused query is the
// driver's standing answer for that control (it does not offer the request),
// so unlike a GET or SET it is not tried again after a pause.
bool QueryOnChannel(ChannelPorts& ports, XuChannel& channel, std::uint8_t cs, ControlQuery kind,
                    std::uint8_t* data, std::uint16_t length)
{
    const KsNodeProperty property = MakeKsNodeProperty(channel.xuGuid, cs, false, channel.nodeId);
    const PendingRequest pending(channel, property, data, length, &kind);
    channel.bytesReturned = 0;
    channel.lastResult = HResult(kWaitTimeout);
    RunOnWorker(ports, channel.worker.get(), &channel);
    return channel.lastResult != HResult(kWaitTimeout) && Succeeded(channel.lastResult);
}

}  // namespace

bool QueryXuProperty(ChannelPorts& ports, XuChannel* channel, std::uint8_t cs, ControlQuery kind,
                     std::uint8_t* data, std::uint16_t length) noexcept
{
    if (!channel || !channel->control)
        return false;
    try {
        return QueryOnChannel(ports, *channel, cs, kind, data, length);
    } catch (const std::bad_alloc&) {
        channel->lastResult = hr::kOutOfMemory;
    } catch (...) {
        channel->lastResult = hr::kUnexpected;
    }
    return false;
}

bool RequestXuProperty(ChannelPorts& ports, XuChannel* channel, std::uint8_t cs, std::uint8_t* data,
                       std::uint16_t length, bool isSet) noexcept
{
    if (!channel || !channel->control)
        return false;
    try {
        return RequestOnChannel(ports, *channel, cs, data, length, isSet);
    } catch (const std::bad_alloc&) {
        // No memory for the request block or the thread: nothing was sent.
        channel->lastResult = hr::kOutOfMemory;
    } catch (...) {
        // A lock or thread the system refused: the request fails as well.
        channel->lastResult = hr::kUnexpected;
    }
    return false;
}

}  // namespace norvik
