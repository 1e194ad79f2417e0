// GET and SET on an open channel: the request record, the direct path, the
// worker with its retry rule, and requests that are not answered in time.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "FakeCaptureStack.h"
#include "channel/NodeRequests.h"
#include "channel/XuChannel.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik::test {
namespace {

const Guid kUnitGuid = *ParseRegistryGuid("{0FB885C3-68C2-4547-90F7-8F47579D95FC}");
const HResult kBusyError = HResultFromWin32(win32::kBusy);

class ChannelRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        channel = CreateChannel();
        ASSERT_TRUE(channel);
        channel->xuGuid = kUnitGuid;
        channel->nodeId = 5;
        channel->control = control;
        control->SetValue({1, 2, 3, 4, 5, 6, 7, 8});
        // Time runs out only where a test says so.
        runtime.SetRealTimeWaits(false);
    }

    void TearDown() override
    {
        // The count is the process's: every test leaves no thread behind.
        EXPECT_TRUE(WaitUntil([] { return AbandonedWorkerThreads() == 0; }));
    }

    bool Get(std::uint8_t cs, std::uint8_t* data, std::uint16_t length)
    {
        return RequestXuProperty(ports, channel.get(), cs, data, length, false);
    }

    FakeRuntime runtime;
    FakeCaptureStack stack;
    ChannelPorts ports{stack, runtime};
    std::shared_ptr<FakeKsControl> control = std::make_shared<FakeKsControl>();
    std::unique_ptr<XuChannel> channel;
};

// A device that does not respond until `release` opens; `entered` opens as
// the call comes in.
struct Blocked {
    std::shared_ptr<Gate> entered = std::make_shared<Gate>();
    std::shared_ptr<Gate> release = std::make_shared<Gate>();
    // The scene of a wait that runs out while the call is blocked.
    std::function<void()> Entered() const
    {
        return [gate = entered] { gate->Wait(); };
    }
};

// Its late answer differs from every answer a test expects: a failure, a
// byte count of 3 and 0xEE over the whole buffer.
FakeKsControl::Answer BlockedAnswer(const Blocked& blocked)
{
    return [blocked](const KsNodeProperty&, std::uint8_t* data, std::uint32_t length, std::uint32_t* bytes) {
        blocked.entered->Open();
        blocked.release->Wait();
        std::memset(data, 0xEE, length);
        *bytes = 3;
        return HResultFromWin32(win32::kGenFailure);
    };
}

FakeKsControl::Answer Refuse(HResult error)
{
    return [error](const KsNodeProperty&, std::uint8_t*, std::uint32_t, std::uint32_t*) { return error; };
}

TEST_F(ChannelRequest, RecordLayoutForGetAndSet)
{
    std::uint8_t buffer[8] = {};
    ASSERT_TRUE(Get(7, buffer, 8));
    std::uint8_t sent[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    ASSERT_TRUE(RequestXuProperty(ports, channel.get(), 0x83, sent, 8, true));

    const auto calls = control->Calls();
    ASSERT_EQ(calls.size(), 2u);
    // Set GUID in its in-memory layout, Id, Flags, NodeId, Reserved.
    const std::uint8_t getRecord[32] = {0xC3, 0x85, 0xB8, 0x0F, 0xC2, 0x68, 0x47, 0x45, 0x90, 0xF7, 0x8F,
                                        0x47, 0x57, 0x9D, 0x95, 0xFC, 0x07, 0,    0,    0,    0x01, 0,
                                        0,    0x10, 0x05, 0,    0,    0,    0,    0,    0,    0};
    std::uint8_t setRecord[32];
    std::memcpy(setRecord, getRecord, 32);
    setRecord[16] = 0x83;
    setRecord[20] = 0x02;
    EXPECT_EQ(std::memcmp(&calls[0].property, getRecord, 32), 0);
    EXPECT_EQ(std::memcmp(&calls[1].property, setRecord, 32), 0);
    for (const auto& call : calls) {
        EXPECT_EQ(call.propertyLength, 32u);
        EXPECT_EQ(call.dataLength, 8u);
    }
    EXPECT_EQ(calls[1].dataIn, std::vector<std::uint8_t>(sent, sent + 8));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 8),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(ChannelRequest, LengthQueryAndSelectorZeroGoOutDirectly)
{
    // The length query: refused with the more-data status, which carries the
    // control's length in the byte count.
    EXPECT_FALSE(Get(7, nullptr, 0));
    EXPECT_EQ(channel->lastResult, HResultFromWin32(win32::kMoreData));
    EXPECT_EQ(channel->bytesReturned, 8u);
    EXPECT_EQ(runtime.AllDiagnostics(), "KsProperty error, hr = 800700ea\n");

    std::uint8_t data[4] = {1, 2, 3, 4};
    control->QueueAnswer([](const KsNodeProperty&, std::uint8_t*, std::uint32_t, std::uint32_t* bytes) {
        *bytes = 4;
        return hr::kOk;
    });
    EXPECT_TRUE(RequestXuProperty(ports, channel.get(), 0, data, 4, true));
    EXPECT_EQ(channel->lastResult, hr::kOk);

    const auto calls = control->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_FALSE(calls[0].hadData);
    EXPECT_EQ(calls[0].property.flags, 0x10000001u);
    EXPECT_EQ(calls[1].property.flags, 0x10000002u);
    EXPECT_EQ(calls[0].bytesReturnedIn, 0u);
    for (const auto& call : calls)
        EXPECT_EQ(call.thread, std::this_thread::get_id());
    EXPECT_FALSE(channel->worker->HasThread());
}

TEST_F(ChannelRequest, NothingIsSentWithoutAChannelOrControl)
{
    std::uint8_t buffer[8];
    EXPECT_FALSE(RequestXuProperty(ports, nullptr, 7, buffer, 8, false));
    channel->control.reset();
    channel->lastResult = 42;
    EXPECT_FALSE(Get(7, buffer, 8));
    EXPECT_EQ(channel->lastResult, 42);
    EXPECT_TRUE(control->Calls().empty());
}

TEST_F(ChannelRequest, AnsweredRequestsShareOneWorkerThread)
{
    std::uint8_t first[8] = {};
    std::uint8_t second[8] = {};
    ASSERT_TRUE(Get(7, first, 8));
    ASSERT_TRUE(Get(7, second, 8));
    EXPECT_EQ(channel->bytesReturned, 8u);
    EXPECT_EQ(second[7], 8);

    const auto calls = control->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].thread, std::this_thread::get_id());
    EXPECT_EQ(calls[0].thread, calls[1].thread);
    EXPECT_TRUE(channel->worker->HasThread());
    EXPECT_EQ(calls[0].bytesReturnedIn, 0u);  // cleared before the first attempt

    // Closing joins the idle thread and drops every reference to the control.
    CloseChannel(channel);
    EXPECT_FALSE(channel);
    EXPECT_EQ(control.use_count(), 1);
    CloseChannel(channel);  // an empty slot is left alone
}

TEST_F(ChannelRequest, RefusedRequestIsTriedTwiceWithAPauseAfterEach)
{
    control->QueueAnswer(Refuse(hr::kFail));
    control->QueueAnswer(Refuse(kBusyError));
    std::uint8_t buffer[8] = {};
    EXPECT_FALSE(Get(7, buffer, 8));
    EXPECT_EQ(channel->lastResult, kBusyError);
    EXPECT_EQ(control->Calls().size(), 2u);
    EXPECT_EQ(runtime.SleepCalls(), (std::vector<std::uint32_t>{200, 200}));
    EXPECT_EQ(runtime.AllDiagnostics(), "");

    // Refused once, then answered.
    control->QueueAnswer(Refuse(hr::kFail));
    EXPECT_TRUE(Get(7, buffer, 8));
    EXPECT_EQ(channel->lastResult, hr::kOk);
    EXPECT_EQ(control->Calls().size(), 4u);
    EXPECT_EQ(runtime.SleepCalls(), (std::vector<std::uint32_t>{200, 200, 200}));
    EXPECT_EQ(buffer[0], 1);
}

TEST_F(ChannelRequest, UnansweredRequestIsAbandonedAndTheNextRunsOnAFreshThread)
{
    Blocked blocked;
    control->QueueAnswer(BlockedAnswer(blocked));
    runtime.TimeOutNextWait(blocked.Entered());
    // Heap buffer: freed before the late answer comes, so a write into it
    // would be caught by the address sanitizer.
    auto* late = new std::uint8_t[8]();
    EXPECT_FALSE(Get(7, late, 8));
    EXPECT_EQ(runtime.WaitCalls(), (std::vector<std::uint32_t>{500}));
    EXPECT_EQ(channel->lastResult, HResult(kWaitTimeout));
    EXPECT_EQ(channel->bytesReturned, 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(late, late + 8), std::vector<std::uint8_t>(8, 0));
    EXPECT_EQ(runtime.AllDiagnostics(), "timeout!\n");
    EXPECT_EQ(control->Calls().size(), 1u);     // not retried
    EXPECT_TRUE(runtime.SleepCalls().empty());  // and no pause
    delete[] late;

    // The blocked thread is still alive, so the next one is surely distinct.
    std::uint8_t buffer[8] = {};
    EXPECT_TRUE(Get(7, buffer, 8));
    EXPECT_EQ(buffer[0], 1);
    const auto calls = control->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].thread, calls[1].thread);

    blocked.release->Open();
    ASSERT_TRUE(WaitUntil([&] { return control->Finished() == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return control.use_count() == 2; }));  // test + channel
}

TEST_F(ChannelRequest, SecondAttemptTimingOutKeepsTheFirstError)
{
    Blocked blocked;
    control->QueueAnswer(Refuse(kBusyError));
    control->QueueAnswer(BlockedAnswer(blocked));
    runtime.TimeOutWait(1, blocked.Entered());
    std::uint8_t buffer[8] = {};
    EXPECT_FALSE(Get(7, buffer, 8));
    EXPECT_EQ(channel->lastResult, kBusyError);
    // The first attempt's error is still in place after the second attempt,
    // so it is followed by a pause too.
    EXPECT_EQ(runtime.SleepCalls(), (std::vector<std::uint32_t>{200, 200}));
    EXPECT_EQ(runtime.AllDiagnostics(), "timeout!\n");
    blocked.release->Open();
    ASSERT_TRUE(WaitUntil([&] { return control->Finished() == 2; }));
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(ChannelRequest, LateAnswerReachesNothingNorEndsTheNextWait)
{
    Blocked blocked;
    control->QueueAnswer(BlockedAnswer(blocked));
    runtime.TimeOutNextWait(blocked.Entered());
    std::uint8_t first[8] = {};
    ASSERT_FALSE(Get(7, first, 8));

    // The next call lets the abandoned one answer while the requester waits,
    // and answers itself only once that answer has fully landed and its
    // thread has ended.
    control->QueueAnswer(
        [blocked](const KsNodeProperty&, std::uint8_t* data, std::uint32_t, std::uint32_t* bytes) {
            blocked.release->Open();
            WaitUntil([] { return AbandonedWorkerThreads() == 0; });
            data[0] = 0x42;
            *bytes = 1;
            return hr::kOk;
        });
    std::uint8_t second[8] = {};
    EXPECT_TRUE(Get(7, second, 8));
    EXPECT_EQ(AbandonedWorkerThreads(), 0);
    EXPECT_EQ(control->Finished(), 2);
    EXPECT_EQ(channel->lastResult, hr::kOk);
    EXPECT_EQ(channel->bytesReturned, 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(second, second + 8),
              (std::vector<std::uint8_t>{0x42, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(first, first + 8), std::vector<std::uint8_t>(8, 0));
    EXPECT_EQ(runtime.AllDiagnostics(), "timeout!\n");
    EXPECT_EQ(runtime.WaitCalls().size(), 2u);
}

TEST_F(ChannelRequest, RequestNotTakenInTimeIsNeverSent)
{
    // The new worker thread is slow to start: it has not reached the request
    // when the time runs out.
    auto start = std::make_shared<Gate>();
    stack.apartments->gate = start;
    runtime.TimeOutNextWait([&] { WaitUntil([&] { return stack.apartments->arrived == 1; }); });
    std::uint8_t sent[8] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8};
    EXPECT_FALSE(RequestXuProperty(ports, channel.get(), 7, sent, 8, true));
    EXPECT_EQ(channel->lastResult, HResult(kWaitTimeout));
    EXPECT_EQ(runtime.AllDiagnostics(), "timeout!\n");

    stack.apartments->gate = nullptr;
    start->Open();
    ASSERT_TRUE(WaitUntil([] { return AbandonedWorkerThreads() == 0; }));
    EXPECT_TRUE(control->Calls().empty());

    // The value the SET carried never reached the device.
    std::uint8_t read[8] = {};
    EXPECT_TRUE(Get(7, read, 8));
    EXPECT_EQ(std::vector<std::uint8_t>(read, read + 8), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(control->Calls().size(), 1u);
}

TEST_F(ChannelRequest, PastTheAbandonedThreadBoundNothingIsSent)
{
    std::vector<Blocked> blocked(kMaxAbandonedWorkerThreads);
    std::uint8_t buffer[8] = {};
    for (const Blocked& b : blocked) {
        control->QueueAnswer(BlockedAnswer(b));
        runtime.TimeOutNextWait(b.Entered());
        ASSERT_FALSE(Get(7, buffer, 8));
    }
    ASSERT_EQ(AbandonedWorkerThreads(), kMaxAbandonedWorkerThreads);
    const std::size_t waits = runtime.WaitCalls().size();

    // One more would need a fifth thread: the request is not sent at all and
    // ends at once as a timeout does.
    channel->bytesReturned = 77;
    std::uint8_t sent[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(RequestXuProperty(ports, channel.get(), 7, sent, 8, true));
    EXPECT_EQ(channel->lastResult, HResult(kWaitTimeout));
    EXPECT_EQ(channel->bytesReturned, 0u);
    EXPECT_EQ(control->Calls().size(), std::size_t(kMaxAbandonedWorkerThreads));
    EXPECT_EQ(runtime.WaitCalls().size(), waits);
    EXPECT_FALSE(channel->worker->HasThread());
    std::string expected;
    for (int i = 0; i <= kMaxAbandonedWorkerThreads; ++i)
        expected += "timeout!\n";
    EXPECT_EQ(runtime.AllDiagnostics(), expected);

    // Once one blocked call returns, a new thread may start again.
    blocked[0].release->Open();
    ASSERT_TRUE(WaitUntil([] { return AbandonedWorkerThreads() == kMaxAbandonedWorkerThreads - 1; }));
    EXPECT_TRUE(Get(7, buffer, 8));
    EXPECT_EQ(buffer[0], 1);
    for (const Blocked& b : blocked)
        b.release->Open();
}

TEST_F(ChannelRequest, WorkerThreadsCallFromInsideTheirApartment)
{
    std::uint8_t buffer[8] = {};
    ASSERT_FALSE(Get(7, nullptr, 0));  // the length query, on this thread
    ASSERT_TRUE(Get(7, buffer, 8));
    Blocked blocked;
    control->QueueAnswer(BlockedAnswer(blocked));
    runtime.TimeOutNextWait(blocked.Entered());
    ASSERT_FALSE(Get(7, buffer, 8));
    ASSERT_TRUE(Get(7, buffer, 8));

    const auto calls = control->Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_FALSE(calls[0].inApartment);
    for (std::size_t i = 1; i < calls.size(); ++i)
        EXPECT_TRUE(calls[i].inApartment) << i;
    EXPECT_EQ(stack.apartments->entered, 2);  // one per thread, not per request

    // Every thread leaves the apartment as it ends.
    blocked.release->Open();
    CloseChannel(channel);
    ASSERT_TRUE(WaitUntil([] { return AbandonedWorkerThreads() == 0; }));
    EXPECT_EQ(stack.apartments->left, 2);
}

TEST_F(ChannelRequest, ThreadOutsideTheApartmentSendsNothing)
{
    const HResult changedMode = HResult(0x80010106);
    stack.apartments->result = changedMode;
    std::uint8_t buffer[8] = {};
    EXPECT_FALSE(Get(7, buffer, 8));
    EXPECT_EQ(channel->lastResult, changedMode);
    EXPECT_TRUE(control->Calls().empty());
    EXPECT_EQ(runtime.SleepCalls(), (std::vector<std::uint32_t>{200, 200}));
}

TEST_F(ChannelRequest, ClosingWhileAnAbandonedCallIsBlockedIsSafe)
{
    Blocked blocked;
    control->QueueAnswer(BlockedAnswer(blocked));
    runtime.TimeOutNextWait(blocked.Entered());
    std::uint8_t buffer[8] = {};
    ASSERT_FALSE(Get(7, buffer, 8));
    CloseChannel(channel);
    EXPECT_FALSE(channel);
    // The abandoned request keeps the control alive until its call returns.
    EXPECT_EQ(control.use_count(), 2);
    blocked.release->Open();
    ASSERT_TRUE(WaitUntil([&] { return control.use_count() == 1; }));
    EXPECT_EQ(buffer[0], 0);
}

}  // namespace
}  // namespace norvik::test

namespace norvik::test {
namespace {

bool Query(ChannelPorts& ports, XuChannel& channel, ControlQuery kind, std::uint8_t* data,
           std::uint16_t length)
{
    return QueryXuProperty(ports, &channel, 7, kind, data, length);
}

TEST_F(ChannelRequest, QueriesGoThroughTheWorkerAsAGetOfTheirKind)
{
    std::uint8_t info = 0;
    ASSERT_TRUE(Query(ports, *channel, ControlQuery::Info, &info, 1));
    EXPECT_EQ(info, 0x03);
    EXPECT_EQ(channel->bytesReturned, 1u);
    std::uint8_t bytes[8] = {};
    ASSERT_TRUE(Query(ports, *channel, ControlQuery::Def, bytes, 8));
    EXPECT_EQ(bytes[7], 8);

    const auto calls = control->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].query, ControlQuery::Info);
    EXPECT_EQ(calls[1].query, ControlQuery::Def);
    for (const RecordedCall& call : calls) {
        EXPECT_NE(call.thread, std::this_thread::get_id());
        EXPECT_EQ(call.property.flags, kKsPropertyTypeTopology | kKsPropertyTypeGet);
        EXPECT_EQ(call.property.id, 7u);
        EXPECT_EQ(call.property.nodeId, 5u);
    }
    EXPECT_EQ(runtime.WaitCalls().size(), 2u);

    // A GET after a query is a plain KsProperty again.
    ASSERT_TRUE(Get(7, bytes, 8));
    EXPECT_FALSE(control->Calls().back().query.has_value());
}

TEST_F(ChannelRequest, ARefusedQueryIsNotTriedAgain)
{
    control->QueueAnswer(Refuse(kBusyError));
    std::uint8_t bytes[8] = {};
    EXPECT_FALSE(Query(ports, *channel, ControlQuery::Min, bytes, 8));
    EXPECT_EQ(channel->lastResult, kBusyError);
    EXPECT_EQ(control->Calls().size(), 1u);
    EXPECT_TRUE(runtime.SleepCalls().empty());
}

TEST_F(ChannelRequest, AnUnansweredQueryTimesOutAfterTheSameLimit)
{
    Blocked blocked;
    control->QueueAnswer(BlockedAnswer(blocked));
    runtime.TimeOutNextWait(blocked.Entered());
    std::uint8_t bytes[8] = {};
    EXPECT_FALSE(Query(ports, *channel, ControlQuery::Max, bytes, 8));
    EXPECT_EQ(runtime.WaitCalls(), (std::vector<std::uint32_t>{kWorkerTimeLimitMs}));
    EXPECT_EQ(channel->lastResult, HResult(kWaitTimeout));
    EXPECT_EQ(runtime.AllDiagnostics(), "timeout!\n");
    blocked.release->Open();
    ASSERT_TRUE(WaitUntil([&] { return control->Finished() == 1; }));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 8), std::vector<std::uint8_t>(8, 0));
}

TEST_F(ChannelRequest, AControlWithoutQueriesAnswersNotImplemented)
{
    // The port's own answer for an interface that has no way to ask.
    class GetSetOnly : public KsControl {
    public:
        HResult KsProperty(const void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override
        {
            return hr::kOk;
        }
    };
    channel->control = std::make_shared<GetSetOnly>();
    std::uint8_t info = 0;
    EXPECT_FALSE(Query(ports, *channel, ControlQuery::Info, &info, 1));
    EXPECT_EQ(channel->lastResult, hr::kNotImpl);
}

}  // namespace
}  // namespace norvik::test
