#include "channel/ChannelWorker.h"

#include <atomic>
#include <cstring>
#include <new>
#include <system_error>

#include "channel/XuChannel.h"
#include "runtime/Diagnostics.h"

namespace norvik {

namespace {

std::atomic<int> abandonedThreads{0};

// Runs requests until told to stop. A request is taken only while the
// requester still waits for it: once the link is stopped, whatever is left
// in it was withdrawn and never goes out.
void ServeRequests(WorkerLink& link, HResult apartment)
{
    std::unique_lock<std::mutex> guard(link.mutex);
    for (;;) {
        link.go.wait(guard, [&] { return link.request != nullptr || link.stop; });
        if (link.stop)
            return;
        std::shared_ptr<WorkerRequest> request = std::move(link.request);
        const WorkerTask task = link.task;
        if (!task)
            continue;  // nothing to run: no done signal
        guard.unlock();
        if (Succeeded(apartment))
            task(*request);
        else
            request->result = apartment;  // no call from outside the apartment
        guard.lock();
        request->done = true;
        link.done.notify_all();
        if (link.stop)
            return;
    }
}

// The thread holds its own reference to the link and to the request it
// works on, so it never touches memory the channel may have freed, whether
// it was abandoned or not. It enters the capture stack's apartment before
// it calls into any object, and leaves it as it ends; a thread abandoned
// before it got going does not touch the stack at all. An abandoned thread
// is counted until its very end.
void WorkerThreadMain(std::shared_ptr<WorkerLink> link, CaptureStack* stack)
{
    bool stopped = false;
    {
        std::lock_guard<std::mutex> guard(link->mutex);
        stopped = link->stop;
    }
    if (!stopped) {
        std::unique_ptr<ThreadApartment> apartment;
        const HResult entered = stack->EnterThreadApartment(&apartment);
        ServeRequests(*link, entered);
    }
    std::lock_guard<std::mutex> guard(link->mutex);
    if (link->abandoned)
        abandonedThreads.fetch_sub(1);
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

int AbandonedWorkerThreads()
{
    return abandonedThreads.load();
}

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

// Copies the channel's pending request into a block of its own. Throws
// std::bad_alloc when memory is short.
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
// itself, at once if it holds no request, else when its call returns) and
// tell the operator's console.
bool Abandon(Runtime& runtime, ChannelWorker& worker)
{
    if (worker.link) {
        {
            std::lock_guard<std::mutex> guard(worker.link->mutex);
            worker.link->stop = true;
            worker.link->abandoned = true;
            abandonedThreads.fetch_add(1);
        }
        worker.link->go.notify_all();
    }
    if (worker.thread.joinable())
        worker.thread.detach();
    worker.link.reset();
    worker.context.reset();
    DiagPrint(runtime, "timeout!\n");
    return false;
}

}  // namespace

bool RunOnWorker(ChannelPorts& ports, ChannelWorker* worker, XuChannel* channel)
{
    if (!worker || !channel)
        return false;
    Runtime& runtime = ports.runtime;
    std::lock_guard<std::mutex> handOff(worker->lock);

    worker->task = IssuePendingRequest;
    worker->context = MakeRequest(*channel);

    if (!worker->thread.joinable()) {
        if (AbandonedWorkerThreads() >= kMaxAbandonedWorkerThreads) {
            // Too many threads are still stuck in the driver: rather than
            // pile up another one, the request is not sent and ends at once
            // as an unanswered one does.
            worker->context.reset();
            DiagPrint(runtime, "timeout!\n");
            return false;
        }
        auto link = std::make_shared<WorkerLink>();
        try {
            worker->thread = std::thread(WorkerThreadMain, link, &ports.captureStack);
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
    const WaitCondition answered{
        [](const void* r) { return static_cast<const WorkerRequest*>(r)->done; }, request.get()};
    if (!runtime.WaitForSignal(link.done, guard, kWorkerTimeLimitMs, answered)) {
        // Withdrawn while the thread cannot take it in between: a request it
        // has not taken never goes out. One it has taken is in the driver;
        // its answer stays in the request block.
        if (link.request == request)
            link.request.reset();
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
