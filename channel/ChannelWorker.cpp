#include "channel/ChannelWorker.h"

#include <atomic>
#include <cstring>
#include <new>
#include <system_error>

#include "channel/XuChannel.h"
#include "runtime/Diagnostics.h"
#include "runtime/SpinWait.h"

namespace norvik {

namespace {

std::atomic<int> abandonedThreads{0};

// Runs requests until told to stop. A request is taken only while the
// requester still waits for it: one it withdrew is never sent.
void ServeRequests(WorkerLink& link, HResult apartment)
{
    for (;;) {
        const std::uint32_t seen = link.go.load(std::memory_order_acquire);
        if (link.stop.load(std::memory_order_acquire))
            return;
        std::uint32_t handed = kSlotHanded;
        if (!link.slot.compare_exchange_strong(handed, kSlotTaken, std::memory_order_acq_rel)) {
            // The next request of a busy requester usually follows within
            // microseconds: look for it before sleeping.
            if (SpinUntilChanged(link.go, seen, kHandOffSpinChecks))
                continue;
            std::unique_lock<std::mutex> parked(link.goMutex);
            link.goChanged.wait(parked, [&] { return link.go.load(std::memory_order_acquire) != seen; });
            continue;
        }
        std::shared_ptr<WorkerRequest> request = std::move(link.request);
        const WorkerTask task = link.task;
        if (!task)
            continue;  // nothing to run: no answer
        if (Succeeded(apartment))
            task(*request);
        else
            request->result = apartment;  // no call from outside the apartment
        request.reset();                  // the block is the requester's again
        link.slot.store(kSlotEmpty, std::memory_order_release);
        link.answers.fetch_add(1, std::memory_order_release);
        // Either the requester sees the new answer count before it sleeps,
        // or this sees that it waits (each side writes, then reads the
        // other's word).
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (link.requesterWaits.load(std::memory_order_relaxed)) {
            const std::lock_guard<std::mutex> guard(link.mutex);
            if (!link.stop.load(std::memory_order_relaxed))
                link.runtime->WakeValue(link.answers);
        }
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
    if (!link->stop.load(std::memory_order_acquire)) {
        std::unique_ptr<ThreadApartment> apartment;
        const HResult entered = stack->EnterThreadApartment(&apartment);
        ServeRequests(*link, entered);
    }
    const std::lock_guard<std::mutex> guard(link->mutex);
    if (link->abandoned)
        abandonedThreads.fetch_sub(1);
}

// Moves the go signal on and wakes the thread if it waits on it.
void SignalGo(WorkerLink& link)
{
    link.go.fetch_add(1, std::memory_order_release);
    // Passing through the mutex orders this after a thread that checked the
    // signal under it and is about to sleep, so the wake is not lost; the
    // notification itself comes after unlocking.
    {
        const std::lock_guard<std::mutex> passed(link.goMutex);
    }
    link.goChanged.notify_one();
}

// Tells the thread behind the link to leave once its current task, if any,
// is over.
void StopLink(WorkerLink& link)
{
    {
        const std::lock_guard<std::mutex> guard(link.mutex);
        link.stop.store(true, std::memory_order_release);
    }
    SignalGo(link);
}

}  // namespace

int AbandonedWorkerThreads() { return abandonedThreads.load(); }

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
    void* data = request.hasData ? request.data.data() : nullptr;
    if (request.isQuery)
        request.result = request.control->KsQuery(request.query, &request.property, request.propertyLength,
                                                  data, request.dataLength, &request.bytesReturned);
    else
        request.result = request.control->KsProperty(&request.property, request.propertyLength, data,
                                                     request.dataLength, &request.bytesReturned);
}

namespace {

// Copies the channel's pending request into the worker's request block:
// the last request's block when no abandoned thread holds it (its data
// buffer keeps its capacity), else a new one. Throws std::bad_alloc when
// memory is short.
WorkerRequest& PrepareRequest(ChannelWorker& worker, const XuChannel& channel)
{
    if (!worker.context || worker.context.use_count() != 1)
        worker.context = std::make_shared<WorkerRequest>();
    WorkerRequest& request = *worker.context;
    request.property = channel.pendingProperty ? *channel.pendingProperty : KsNodeProperty{};
    request.propertyLength = channel.pendingPropertyLength;
    request.dataLength = channel.pendingDataLength;
    request.hasData = channel.pendingData != nullptr;
    if (request.hasData)
        request.data.assign(channel.pendingData, channel.pendingData + channel.pendingDataLength);
    else
        request.data.clear();
    request.control = channel.control;
    request.isQuery = channel.pendingIsQuery;
    request.query = channel.pendingQuery;
    // The control call writes the byte count in place; it starts from what
    // the channel holds, as a call on the channel's own field would.
    request.bytesReturned = channel.bytesReturned;
    request.result = HResult(kWaitTimeout);
    return request;
}

// The hand-off ended without an answer: forget the thread (it ends by
// itself, at once if it holds no request, else when its call returns) and
// tell the operator's console.
bool Abandon(Runtime& runtime, ChannelWorker& worker)
{
    if (worker.link) {
        {
            const std::lock_guard<std::mutex> guard(worker.link->mutex);
            worker.link->stop.store(true, std::memory_order_release);
            worker.link->abandoned = true;
            abandonedThreads.fetch_add(1);
        }
        SignalGo(*worker.link);
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
    WorkerRequest& request = PrepareRequest(*worker, *channel);

    if (!worker->thread.joinable()) {
        if (AbandonedWorkerThreads() >= kMaxAbandonedWorkerThreads) {
            // Too many threads are still stuck in the driver: rather than
            // pile up another one, the request is not sent and ends at once
            // as an unanswered one does.
            request.control.reset();
            DiagPrint(runtime, "timeout!\n");
            return false;
        }
        auto link = std::make_shared<WorkerLink>();
        link->runtime = &runtime;
        try {
            worker->thread = std::thread(WorkerThreadMain, link, &ports.captureStack);
        } catch (const std::system_error&) {
            // No thread: nobody can answer, which ends as a timeout does.
            return Abandon(runtime, *worker);
        }
        worker->link = std::move(link);
    }
    WorkerLink& link = *worker->link;

    // The slot is empty: task and request are this side's to fill.
    link.task = worker->task;
    link.request = worker->context;
    const std::uint32_t answered = link.answers.load(std::memory_order_relaxed);
    link.slot.store(kSlotHanded, std::memory_order_release);
    SignalGo(link);

    link.requesterWaits.store(true, std::memory_order_relaxed);
    // Pairs with the thread's fence after it moves answers on.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    bool inTime = false;
    try {
        inTime = runtime.WaitForValue(link.answers, answered, worker->timeLimitMs);
    } catch (...) {
        // A wait that failed ends as one that ran out: the request is handed
        // over, so it must be withdrawn or abandoned all the same.
    }
    link.requesterWaits.store(false, std::memory_order_relaxed);
    if (!inTime) {
        // Withdrawn unless the thread has taken it: a request it has not
        // taken never goes out. One it has taken is in the driver; its
        // answer stays in the request block.
        std::uint32_t handed = kSlotHanded;
        if (link.slot.compare_exchange_strong(handed, kSlotEmpty, std::memory_order_acq_rel))
            link.request.reset();
        return Abandon(runtime, *worker);
    }

    channel->lastResult = request.result;
    channel->bytesReturned = request.bytesReturned;
    if (channel->pendingData && request.hasData)
        std::memcpy(channel->pendingData, request.data.data(), request.data.size());
    request.control.reset();  // the channel's reference is the one that stays
    return true;
}

}  // namespace norvik
