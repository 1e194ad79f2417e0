// GET and SET on an open channel: the request record, the direct path, the
// worker with its retry rule, and requests that are not answered in time.

#include <gtest/gtest.h>

#include <cstring>

#include "FakeCaptureStack.h"
#include "channel/NodeRequests.h"
#include "channel/XuChannel.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik::test {
namespace {

using std::chrono::steady_clock;

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

// The answer of a device that does not respond until the gate opens, and
// then writes 0xEE over the whole buffer.
FakeKsControl::Answer BlockedAnswer(std::shared_ptr<Gate> gate)
{
    return [gate](const KsNodeProperty&, std::uint8_t* data, std::uint32_t length,
                  std::uint32_t* bytes) {
        gate->Wait();
        std::memset(data, 0xEE, length);
        *bytes = length;
        return hr::kOk;
    };
}

FakeKsControl::Answer Refuse(HResult error)
{
    return [error](const KsNodeProperty&, std::uint8_t*, std::uint32_t, std::uint32_t*) {
        return error;
    };
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
    const std::uint8_t getRecord[32] = {
        0xC3, 0x85, 0xB8, 0x0F, 0xC2, 0x68, 0x47, 0x45, 0x90, 0xF7, 0x8F, 0x47, 0x57, 0x9D, 0x95, 0xFC,
        0x07, 0, 0, 0,  0x01, 0, 0, 0x10,  0x05, 0, 0, 0,  0, 0, 0, 0};
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
    auto gate = std::make_shared<Gate>();
    control->QueueAnswer(BlockedAnswer(gate));
    // Heap buffer: freed before the late answer comes, so a write into it
    // would be caught by the address sanitizer.
    auto* late = new std::uint8_t[8]();
    const auto start = steady_clock::now();
    EXPECT_FALSE(Get(7, late, 8));
    EXPECT_GE(steady_clock::now() - start, std::chrono::milliseconds(490));
    EXPECT_EQ(channel->lastResult, HResult(kWaitTimeout));
    EXPECT_EQ(channel->bytesReturned, 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(late, late + 8), std::vector<std::uint8_t>(8, 0));
    EXPECT_EQ(runtime.AllDiagnostics(), "timeout!\n");
    EXPECT_EQ(control->Calls().size(), 1u);  // not retried
    EXPECT_TRUE(runtime.SleepCalls().empty());  // and no pause
    delete[] late;

    // The blocked thread is still alive, so the next one is surely distinct.
    std::uint8_t buffer[8] = {};
    EXPECT_TRUE(Get(7, buffer, 8));
    EXPECT_EQ(buffer[0], 1);
    const auto calls = control->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].thread, calls[1].thread);

    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return control->Finished() == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return control.use_count() == 2; }));  // test + channel
    EXPECT_EQ(channel->lastResult, hr::kOk);
    EXPECT_EQ(buffer[0], 1);
}

TEST_F(ChannelRequest, SecondAttemptTimingOutKeepsTheFirstError)
{
    auto gate = std::make_shared<Gate>();
    control->QueueAnswer(Refuse(kBusyError));
    control->QueueAnswer(BlockedAnswer(gate));
    std::uint8_t buffer[8] = {};
    EXPECT_FALSE(Get(7, buffer, 8));
    EXPECT_EQ(channel->lastResult, kBusyError);
    // The first attempt's error is still in place after the second attempt,
    // so it is followed by a pause too.
    EXPECT_EQ(runtime.SleepCalls(), (std::vector<std::uint32_t>{200, 200}));
    EXPECT_EQ(runtime.AllDiagnostics(), "timeout!\n");
    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return control->Finished() == 2; }));
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(ChannelRequest, LeftoverDoneSignalDoesNotEndTheNextWait)
{
    auto gate = std::make_shared<Gate>();
    control->QueueAnswer(BlockedAnswer(gate));
    std::uint8_t buffer[8] = {};
    ASSERT_FALSE(Get(7, buffer, 8));

    // The next call lets the abandoned one finish (and signal its done) while
    // the requester waits, and answers only some time later.
    auto fake = control.get();
    control->QueueAnswer([gate, fake](const KsNodeProperty&, std::uint8_t* data, std::uint32_t,
                                      std::uint32_t* bytes) {
        gate->Open();
        WaitUntil([&] { return fake->Finished() == 1; });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        data[0] = 0x42;
        *bytes = 1;
        return hr::kOk;
    });
    EXPECT_TRUE(Get(7, buffer, 8));
    EXPECT_EQ(buffer[0], 0x42);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(channel->bytesReturned, 1u);
    EXPECT_EQ(runtime.AllDiagnostics(), "timeout!\n");
}

TEST_F(ChannelRequest, ClosingWhileAnAbandonedCallIsBlockedIsSafe)
{
    auto gate = std::make_shared<Gate>();
    control->QueueAnswer(BlockedAnswer(gate));
    std::uint8_t buffer[8] = {};
    ASSERT_FALSE(Get(7, buffer, 8));
    CloseChannel(channel);
    EXPECT_FALSE(channel);
    // The abandoned request keeps the control alive until its call returns.
    EXPECT_EQ(control.use_count(), 2);
    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return control.use_count() == 1; }));
    EXPECT_EQ(buffer[0], 0);
}

}  // namespace
}  // namespace norvik::test
