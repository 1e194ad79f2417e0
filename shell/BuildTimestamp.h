#pragma once
// The build's date and time, in the forms of the compiler's __DATE__ and
// __TIME__ texts, so that the About box can tell two builds of one release
// apart. They come from a source generated on every build, not from the
// macros, which keep the time of the last compilation of their unit.

#include <cstdint>
#include <string>

namespace norvik {

// SYSTEMTIME's fields, in its order. dayOfWeek and milliseconds stay 0;
// month is 0 when the month name is not recognised.
struct BuildTimestamp {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

// Fills out from a date text in the __DATE__ form ("Mar  8 2024": month
// name, blank, day padded to two characters, blank, year) and a time text in
// the __TIME__ form ("18:00:22"). The record is zeroed first. A text that is
// too short reads as ending in NUL characters; a null text leaves its fields
// zeroed.
void ParseBuildTimestamp(BuildTimestamp& out, const char* date, const char* time);

// The same for this build: the date and time at which it was built.
void ParseBuildTimestamp(BuildTimestamp& out);

// This build's date and time texts, in the __DATE__ and __TIME__ forms.
const char* BuildDateText();
const char* BuildTimeText();
// The commit the build was made from (with "+" for a changed tree); empty
// when the build did not know it.
const char* BuildCommitText();

// "Version: 20240308-180022": year, then month, day, hour, minute and second
// with two digits each.
std::wstring FormatVersionLine(const BuildTimestamp& stamp);

}  // namespace norvik
