#include "channel/ChannelWorker.h"

#include <cstring>
#include <new>
#include <system_error>

#include "channel/XuChannel.h"
#include "runtime/Diagnostics.h"

namespace norvik {

namespace {

// Runs requests until told to stop. The thread holds its own reference to
// the link and to the request it works on, so it never touches memory the
// channel may have freed, whether it was abandoned or not.
void WorkerThreadMain(std::shared_ptr<WorkerLink> link)
{
    std::unique_lock<std::mutex> guard(link->mutex);
    for (;;) {
        link->go.wait(guard, [&] { return link->request != nullptr || link->stop; });
        if (!link->request)
            return;
        std::shared_ptr<WorkerRequest> request = std::move(link->request);
        const WorkerTask task = link->task;
        if (!task)
            continue;  // nothing to run: no done signal
        guard.unlock();
        task(*request);
        guard.lock();
        request->done = true;
        link->done.notify_all();
        if (link->stop)
            return;
    }
}

// Tells the thread behind the link to leave once its current task, if any,
// is over.
void StopLink(WorkerLink& link)
{
    {
        std::lock_guard<std::mutex> guard(link.mutex);
        link.stop = true;
    }
    link.go.notify_all();
}

}  // namespace

ChannelWorker::~ChannelWorker()
{
    if (link)
        StopLink(*link);
    if (thread.joinable())
        thread.join();
}

std::unique_ptr<ChannelWorker> CreateChannelWorker()
{
    return std::unique_ptr<ChannelWorker>(new (std::nothrow) ChannelWorker());
}

void IssuePendingRequest(WorkerRequest& request)
{
    if (!request.control) {
        request.result = hr::kPointer;
        return;
    }
    request.result = request.control->KsProperty(
        &request.property, request.propertyLength, request.hasData ? request.data.data() : nullptr,
        request.dataLength, &request.bytesReturned);
}

namespace {

// Copies the channel's pending request into a block of its own.
std::shared_ptr<WorkerRequest> MakeRequest(const XuChannel& channel)
{
    auto request = std::make_shared<WorkerRequest>();
    if (channel.pendingProperty)
        request->property = *channel.pendingProperty;
    request->propertyLength = channel.pendingPropertyLength;
    request->dataLength = channel.pendingDataLength;
    if (channel.pendingData) {
        request->hasData = true;
        request->data.assign(channel.pendingData, channel.pendingData + channel.pendingDataLength);
    }
    request->control = channel.control;
    // The control call writes the byte count in place; it starts from what
    // the channel holds, as a call on the channel's own field would.
    request->bytesReturned = channel.bytesReturned;
    return request;
}

// The hand-off ended without an answer: forget the thread (it ends by
// itself when its call returns) and tell the operator's console.
bool Abandon(Runtime& runtime, ChannelWorker& worker)
{
    if (worker.link)
        StopLink(*worker.link);
    if (worker.thread.joinable())
        worker.thread.detach();
    worker.link.reset();
    worker.context.reset();
    DiagPrint(runtime, "timeout!\n");
    return false;
}

}  // namespace

bool RunOnWorker(Runtime& runtime, ChannelWorker* worker, XuChannel* channel)
{
    if (!worker || !channel)
        return false;
    std::lock_guard<std::mutex> handOff(worker->lock);

    worker->task = IssuePendingRequest;
    worker->context = MakeRequest(*channel);

    if (!worker->thread.joinable()) {
        auto link = std::make_shared<WorkerLink>();
        try {
            worker->thread = std::thread(WorkerThreadMain, link);
        } catch (const std::system_error&) {
            // No thread: nobody can answer, which ends as a timeout does.
            return Abandon(runtime, *worker);
        }
        worker->link = std::move(link);
    }
    WorkerLink& link = *worker->link;
    const std::shared_ptr<WorkerRequest> request = worker->context;

    std::unique_lock<std::mutex> guard(link.mutex);
    link.task = worker->task;
    link.request = request;
    link.go.notify_one();
    const auto deadline = std::chrono::steady_clock::now() + kWorkerTimeLimit;
    const bool answered = link.done.wait_until(guard, deadline, [&] { return request->done; });
    if (!answered) {
        // Marked while the thread cannot finish in between: it leaves as soon
        // as its call returns, and its answer stays in the request block.
        link.stop = true;
        guard.unlock();
        return Abandon(runtime, *worker);
    }
    guard.unlock();

    channel->lastResult = request->result;
    channel->bytesReturned = request->bytesReturned;
    if (channel->pendingData && request->hasData)
        std::memcpy(channel->pendingData, request->data.data(), request->data.size());
    worker->context.reset();
    return true;
}

}  // namespace norvik
