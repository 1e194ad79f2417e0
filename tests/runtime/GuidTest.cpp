#include <gtest/gtest.h>

#include "runtime/Guid.h"

namespace norvik {
namespace {

TEST(Guid, ConstantsAgreeWithTheirRegistryForm)
{
    EXPECT_EQ(guids::kNodeTypeDevSpecific, *ParseRegistryGuid("{941C7AC0-C559-11D0-8A2B-00A0C9255AC1}"));
    EXPECT_EQ(guids::kKsTopologyInfo, *ParseRegistryGuid("{720D4AC0-7533-11D0-A5D6-28DB04C10000}"));
    EXPECT_EQ(FormatGuid(guids::kVideoInputDeviceCategory), "{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
    // The first three fields are little-endian in memory.
    EXPECT_EQ(guids::kKsControl.bytes[0], 0x85);
    EXPECT_EQ(guids::kKsControl.bytes[4], 0xFD);
}

TEST(Guid, ParseRegistryGuidIsStrict)
{
    EXPECT_TRUE(ParseRegistryGuid("{941c7ac0-c559-11d0-8a2b-00a0c9255ac1}"));
    EXPECT_FALSE(ParseRegistryGuid("941C7AC0-C559-11D0-8A2B-00A0C9255AC1"));
    EXPECT_FALSE(ParseRegistryGuid("{941C7AC0-C559-11D0-8A2B-00A0C9255AZ1}"));
    EXPECT_FALSE(ParseRegistryGuid("{941C7AC0C-559-11D0-8A2B-00A0C9255AC1}"));
}

}  // namespace
}  // namespace norvik
