#include "shell/BuildTimestamp.h"

#include <gtest/gtest.h>

namespace norvik {
namespace {

TEST(BuildTimestamp, EveryMonthNameMapsToItsNumber)
{
    const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i) {
        const std::string date = std::string(names[i]) + " 15 2024";
        BuildTimestamp stamp;
        ParseBuildTimestamp(stamp, date.c_str(), "00:00:00");
        EXPECT_EQ(stamp.month, i + 1) << date;
        EXPECT_EQ(stamp.day, 15) << date;
        EXPECT_EQ(stamp.year, 2024) << date;
    }
}

TEST(BuildTimestamp, UnknownMonthStaysZeroAndTheRecordIsZeroedFirst)
{
    BuildTimestamp stamp;
    stamp.month = 5;
    stamp.dayOfWeek = 3;
    stamp.milliseconds = 999;
    ParseBuildTimestamp(stamp, "Xyz 21 2030", "07:08:09");
    EXPECT_EQ(stamp.month, 0);
    EXPECT_EQ(stamp.dayOfWeek, 0);
    EXPECT_EQ(stamp.milliseconds, 0);
    EXPECT_EQ(stamp.year, 2030);
    EXPECT_EQ(stamp.day, 21);
    EXPECT_EQ(stamp.hour, 7);
    EXPECT_EQ(stamp.minute, 8);
    EXPECT_EQ(stamp.second, 9);
}

TEST(BuildTimestamp, PaddedAndTwoDigitDays)
{
    BuildTimestamp stamp;
    ParseBuildTimestamp(stamp, "Mar  8 2024", "18:00:22");
    EXPECT_EQ(stamp.day, 8);
    EXPECT_EQ(FormatVersionLine(stamp), L"Version: 20240308-180022");

    ParseBuildTimestamp(stamp, "Dec 31 2024", "23:59:59");
    EXPECT_EQ(stamp.day, 31);
    EXPECT_EQ(FormatVersionLine(stamp), L"Version: 20241231-235959");
}

TEST(BuildTimestamp, MidnightOnNewYearsDay)
{
    BuildTimestamp stamp;
    ParseBuildTimestamp(stamp, "Jan  1 2025", "00:00:00");
    EXPECT_EQ(FormatVersionLine(stamp), L"Version: 20250101-000000");
}

}  // namespace
}  // namespace norvik
