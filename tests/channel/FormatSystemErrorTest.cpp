#include <gtest/gtest.h>

#include <cstring>

#include "channel/NodeRequests.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik::test {
namespace {

// A runtime whose system knows one text.
class OneTextRuntime : public FakeRuntime {
public:
    std::optional<std::string> SystemErrorText(std::uint32_t code) override
    {
        if (code == 0x800700EAu)
            return std::string("More data is available.\r\n");
        return std::nullopt;
    }
};

TEST(ChannelSystemError, FormatsCutsAndLeavesTheBufferWhenThereIsNoText)
{
    OneTextRuntime runtime;
    char buffer[64];
    ASSERT_TRUE(FormatSystemError(runtime, 0x800700EAu, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "0x800700ea: More data is available.\r\n");

    std::memset(buffer, '#', sizeof buffer);
    ASSERT_TRUE(FormatSystemError(runtime, 0x800700EAu, buffer, 16));
    EXPECT_STREQ(buffer, "0x800700ea: Mor");
    EXPECT_EQ(buffer[16], '#');

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(FormatSystemError(runtime, 0x102, buffer, sizeof buffer));
    EXPECT_FALSE(FormatSystemError(runtime, 0x800700EAu, buffer, 0));
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
}

}  // namespace
}  // namespace norvik::test
