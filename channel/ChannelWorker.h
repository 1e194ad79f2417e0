#pragma once
// The worker thread of a channel. Each request handed to it waits at most
// 500 ms for the answer. A request not answered in time is abandoned: if the
// thread had not taken it yet, it is withdrawn and never sent; if it had,
// the thread is detached and left to finish the blocked control call on its
// own, touching only the request block it shares with the requester (copies
// of the property record and the data, the result, the byte count and its
// own reference to the control interface). The late answer therefore never
// reaches the channel, the caller's buffer or an interface the channel has
// released, and the next request starts a fresh thread. Nothing is ever
// killed inside a driver call; the number of abandoned threads still
// running is bounded instead.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "channel/ChannelPorts.h"
#include "discovery/CaptureStack.h"
#include "discovery/KsNode.h"
#include "runtime/ResultCodes.h"
#include "runtime/Runtime.h"

namespace norvik {

struct XuChannel;

// How long a requester waits for one hand-off, in milliseconds (through the
// runtime's timed wait: real time on the platforms).
constexpr std::uint32_t kWorkerTimeLimitMs = 500;

// Most abandoned worker threads, over all channels of the process, that may
// still be blocked in a control call. Past it no new thread is started.
constexpr int kMaxAbandonedWorkerThreads = 4;

// One request as the worker thread sees it. Shared between the requester and
// the thread; after a timeout only the thread still holds it. After an
// answer the thread lets go of it, and the worker uses it again for the next
// request, so a request in the steady state allocates nothing.
struct WorkerRequest {
    KsNodeProperty property{};
    std::uint32_t propertyLength = 0;
    std::vector<std::uint8_t> data;  // copy of the caller's buffer
    bool hasData = false;            // false: the caller passed no buffer
    std::uint32_t dataLength = 0;
    std::shared_ptr<KsControl> control;
    bool isQuery = false;  // a class query (KsQuery) rather than KsProperty
    ControlQuery query = ControlQuery::Info;
    std::uint32_t bytesReturned = 0;
    HResult result = HResult(kWaitTimeout);
};

// The work run on the worker thread for one request.
using WorkerTask = void (*)(WorkerRequest& request);

// Where a request handed over stands (WorkerLink::slot).
enum WorkerSlot : std::uint32_t {
    kSlotEmpty = 0,   // nothing handed over; task and request are the requester's
    kSlotHanded = 1,  // handed over and not taken: the requester may still withdraw it
    kSlotTaken = 2,   // the thread works on it
};

// What one worker thread shares with its requester. Each thread has its own
// link, so an answer from an abandoned thread can never end a later
// request's wait.
//
// A hand-off takes no lock: the requester fills task and request, marks the
// slot handed and moves `go` on; the thread takes the slot (handed to
// taken, so a withdrawal and a take cannot both succeed), runs the task,
// empties the slot and moves `answers` on. Each side sleeps only when the
// other has nothing for it yet, and each wakes the other only when it
// sleeps, so a round trip costs at most one wake-up each way.
struct WorkerLink {
    // Guards stop and abandoned, and the thread's wake of the requester, so
    // that a requester that gave up (and may be gone with its runtime) is
    // never woken.
    std::mutex mutex;
    // The go signal: moved on by every change the thread must look at (a
    // request handed over, stop). The thread sleeps on goChanged only when
    // it found nothing to do since the value it last saw, even after a short
    // spin. (Not std::atomic's
    // wait: GCC 12's libstdc++ can lose its wake where there is no futex,
    // as in the Windows build, and the thread then sleeps for ever.)
    std::atomic<std::uint32_t> go{0};
    std::mutex goMutex;
    std::condition_variable goChanged;
    std::atomic<std::uint32_t> slot{kSlotEmpty};
    // Moved on by the thread after each answer; the requester waits on it
    // through the runtime's timed wait.
    std::atomic<std::uint32_t> answers{0};
    // True while the requester waits (or is about to wait) on answers: only
    // then does the thread wake it.
    std::atomic<bool> requesterWaits{false};
    Runtime* runtime = nullptr;  // whose WakeValue matches the requester's wait
    WorkerTask task = nullptr;
    std::shared_ptr<WorkerRequest> request;  // handed over; moved out by the thread as it takes it
    std::atomic<bool> stop{false};           // set on abandonment and at close: take nothing more, leave
    bool abandoned = false;                  // counted in AbandonedWorkerThreads() until the thread ends
};

// One per channel, owned by it.
struct ChannelWorker {
    WorkerTask task = nullptr;                       // always IssuePendingRequest
    std::shared_ptr<WorkerRequest> context;          // the request being handed off, kept for the next
    std::shared_ptr<WorkerLink> link;                // null when no thread runs
    std::thread thread;                              // not joinable when no thread runs
    std::mutex lock;                                 // held by the requester for one hand-off
    std::uint32_t timeLimitMs = kWorkerTimeLimitMs;  // how long a requester waits for one hand-off

    ChannelWorker() = default;
    ChannelWorker(const ChannelWorker&) = delete;
    ChannelWorker& operator=(const ChannelWorker&) = delete;
    // Stops and joins an idle thread. A detached (abandoned) thread is not
    // this worker's any more and ends by itself when its call returns.
    ~ChannelWorker();

    bool HasThread() const { return thread.joinable(); }
};

// Allocates a worker with no thread; null when memory is short.
std::unique_ptr<ChannelWorker> CreateChannelWorker();

// Hands the channel's pending request to the worker thread (creating the
// thread when there is none) and waits at most the worker's timeLimitMs. True: the
// answer came in time, and the result, the byte count and the data were
// copied back into the channel and the caller's buffer. False: no worker, or
// no answer in time ("timeout!\n" written, the thread abandoned, the
// channel's lastResult and bytesReturned left as they were). A request the
// thread had not taken by then is withdrawn and never sent. When a new
// thread is needed while kMaxAbandonedWorkerThreads abandoned ones are still
// running, nothing is sent and the hand-off ends at once as a timeout does.
// Throws std::bad_alloc when the request block cannot be had.
bool RunOnWorker(ChannelPorts& ports, ChannelWorker* worker, XuChannel* channel);

// Worker threads of every channel in the process that were abandoned and
// have not ended yet.
int AbandonedWorkerThreads();

// The worker task: one KsProperty (or KsQuery) call on the request's own
// copies.
void IssuePendingRequest(WorkerRequest& request);

}  // namespace norvik
