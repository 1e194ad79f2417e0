// A request that cannot get its memory. This program replaces the global
// operator new so that a test can refuse every allocation of its own thread
// for a while; it is a program of its own so that no other test runs on
// that allocator.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "FakeCaptureStack.h"
#include "channel/NodeRequests.h"
#include "channel/XuChannel.h"
#include "platforms/sim/FakeRuntime.h"

namespace {
thread_local bool refuseAllocations = false;
}  // namespace

void* operator new(std::size_t size)
{
    if (!refuseAllocations)
        if (void* block = std::malloc(size ? size : 1))
            return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace norvik::test {
namespace {

// Every allocation on this thread fails while one of these lives.
class NoMemory {
public:
    NoMemory() { refuseAllocations = true; }
    ~NoMemory() { refuseAllocations = false; }
    NoMemory(const NoMemory&) = delete;
    NoMemory& operator=(const NoMemory&) = delete;
};

const Guid kUnitGuid = *ParseRegistryGuid("{0FB885C3-68C2-4547-90F7-8F47579D95FC}");

class ChannelRequestMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
        channel = CreateChannel();
        ASSERT_TRUE(channel);
        channel->xuGuid = kUnitGuid;
        channel->nodeId = 5;
        channel->control = control;
        control->SetValue({1, 2, 3, 4, 5, 6, 7, 8});
        runtime.SetRealTimeWaits(false);
    }

    // The request as the operator's thread makes it, with no memory to be had.
    bool RequestWithoutMemory(std::uint8_t* data, std::uint16_t length, bool isSet)
    {
        const NoMemory refuse;
        return RequestXuProperty(ports, channel.get(), 7, data, length, isSet);
    }

    FakeRuntime runtime;
    FakeCaptureStack stack;
    ChannelPorts ports{stack, runtime};
    std::shared_ptr<FakeKsControl> control = std::make_shared<FakeKsControl>();
    std::unique_ptr<XuChannel> channel;
};

TEST_F(ChannelRequestMemory, RequestWithoutMemoryFailsUnsentAndTheChannelStaysUsable)
{
    // The first request needs a request block and a thread.
    std::uint8_t sent[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(RequestWithoutMemory(sent, 8, true));
    EXPECT_EQ(channel->lastResult, hr::kOutOfMemory);
    EXPECT_EQ(channel->bytesReturned, 0u);
    EXPECT_FALSE(channel->worker->HasThread());

    // Neither SET went out, nor was it retried or taken for a timeout, and
    // the channel holds no pointer into the caller's frame.
    EXPECT_TRUE(control->Calls().empty());
    EXPECT_TRUE(runtime.SleepCalls().empty());
    EXPECT_EQ(runtime.AllDiagnostics(), "");
    EXPECT_EQ(channel->pendingProperty, nullptr);
    EXPECT_EQ(channel->pendingData, nullptr);
    EXPECT_EQ(channel->pendingDataLength, 0u);

    std::uint8_t buffer[8] = {};
    ASSERT_TRUE(RequestXuProperty(ports, channel.get(), 7, buffer, 8, false));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 8),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    CloseChannel(channel);
}

TEST_F(ChannelRequestMemory, OnceRunningARequestAllocatesNothingUnlessItOutgrowsTheBlock)
{
    std::uint8_t buffer[8] = {};
    ASSERT_TRUE(RequestXuProperty(ports, channel.get(), 7, buffer, 8, false));

    // The block of the last request serves the next one of the same size.
    std::uint8_t sent[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    EXPECT_TRUE(RequestWithoutMemory(sent, 8, true));
    EXPECT_EQ(control->Calls().size(), 2u);

    // A longer one needs a bigger copy of the data.
    std::uint8_t longer[16] = {};
    EXPECT_FALSE(RequestWithoutMemory(longer, 16, true));
    EXPECT_EQ(channel->lastResult, hr::kOutOfMemory);
    EXPECT_EQ(control->Calls().size(), 2u);

    ASSERT_TRUE(RequestXuProperty(ports, channel.get(), 7, buffer, 8, false));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 8), std::vector<std::uint8_t>(sent, sent + 8));
    CloseChannel(channel);
}

}  // namespace
}  // namespace norvik::test
