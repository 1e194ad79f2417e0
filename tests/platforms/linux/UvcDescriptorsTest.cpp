// Reading the sysfs descriptors of the fixture cameras, whole and cut short.

#include <gtest/gtest.h>

#include "LabSystem.h"
#include "platforms/linux/SysfsTree.h"
#include "platforms/linux/UvcDescriptors.h"

namespace norvik {
namespace {

std::vector<std::uint8_t> FixtureDescriptors(const char* device)
{
    auto bytes = sysfs::ReadBinary(test::FixtureTree("lab") / "bus/usb/devices" / device / "descriptors");
    EXPECT_TRUE(bytes);
    return bytes.value_or(std::vector<std::uint8_t>{});
}

TEST(UvcDescriptors, CutShortDescriptorsNeverReadPastTheEnd)
{
    const auto full = FixtureDescriptors("1-1.2");
    const auto whole = uvc::SplitDescriptors(full);
    ASSERT_EQ(whole.configurations.size(), 1u);
    ASSERT_EQ(uvc::FindVideoControlInterface(whole.configurations[0], 0)->entities.size(), 6u);

    for (std::size_t size = 0; size < full.size(); ++size) {
        const std::vector<std::uint8_t> cut(full.begin(), full.begin() + std::ptrdiff_t(size));
        const auto set = uvc::SplitDescriptors(cut);
        if (size < 18) {
            EXPECT_TRUE(set.device.empty());
            continue;
        }
        std::size_t kept = 0;
        for (const auto& configuration : set.configurations) {
            kept += configuration.size();
            auto control = uvc::FindVideoControlInterface(configuration, 0);
            if (!control)
                continue;
            for (const auto& entity : control->entities) {
                EXPECT_GE(entity.descriptor.size(), 4u);
                // Only whole descriptors are taken.
                EXPECT_EQ(entity.descriptor.size(), entity.descriptor[0]);
            }
            EXPECT_LE(control->entities.size(), 6u);
        }
        EXPECT_LE(18 + kept, size);
    }
}

TEST(UvcDescriptors, MalformedExtensionUnitsAreNotEntities)
{
    // A configuration holding one VideoControl interface and extension units
    // whose declared sizes do not fit their bLength.
    std::vector<std::uint8_t> config = {9, 2, 0, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 0, 0x0E, 0x01, 0, 0};
    auto addUnit = [&](std::uint8_t length, std::uint8_t id, std::uint8_t pins, std::uint8_t controlSize) {
        std::vector<std::uint8_t> d(length, 0);
        d[0] = length;
        d[1] = 0x24;
        d[2] = 0x06;
        d[3] = id;
        if (length > 21)
            d[21] = pins;
        if (length > std::size_t(22 + pins))
            d[22 + pins] = controlSize;
        config.insert(config.end(), d.begin(), d.end());
    };
    addUnit(26, 1, 1, 1);  // well formed: 24 + 1 + 1
    addUnit(23, 2, 1, 1);  // too short for the fixed part
    addUnit(26, 3, 1, 9);  // bmControls would run past bLength
    addUnit(26, 0, 1, 1);  // unit ID 0 is reserved
    config[2] = std::uint8_t(config.size());
    auto control = uvc::FindVideoControlInterface(config, 0);
    ASSERT_TRUE(control);
    ASSERT_EQ(control->entities.size(), 1u);
    EXPECT_EQ(control->entities[0].id, 1);
}

}  // namespace
}  // namespace norvik
