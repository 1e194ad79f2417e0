#include "shell/BuildTimestamp.h"

#include <cstddef>
#include <cwchar>

namespace norvik {

namespace {

// The character at index, or NUL once the text has ended before it, so that
// a short text never makes us read past its terminator.
char CharAt(const char* text, std::size_t index)
{
    for (std::size_t i = 0; i < index; ++i)
        if (text[i] == '\0')
            return '\0';
    return text[index];
}

int DigitAt(const char* text, std::size_t index) { return CharAt(text, index) - '0'; }

// The decimal number that starts at index, read the way atoi reads it:
// leading white space, an optional sign, then digits up to the first other
// character.
int NumberAt(const char* text, std::size_t index)
{
    for (std::size_t i = 0; i < index; ++i)
        if (text[i] == '\0')
            return 0;
    const char* p = text + index;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > 0x7FFFFFFF)
            value = 0x7FFFFFFF;  // saturate like the C library's strtol
    }
    return int(negative ? -value : value);
}

std::uint16_t MonthFromName(const char* date)
{
    const char first = CharAt(date, 0);
    const char second = CharAt(date, 1);
    const char third = CharAt(date, 2);
    switch (first) {
    case 'A':
        return second == 'p' ? 4 : 8;  // Apr, Aug
    case 'D':
        return 12;
    case 'F':
        return 2;
    case 'J':
        if (second == 'a')
            return 1;                 // Jan
        return third == 'n' ? 6 : 7;  // Jun, Jul
    case 'M':
        return third == 'r' ? 3 : 5;  // Mar, May
    case 'N':
        return 11;
    case 'O':
        return 10;
    case 'S':
        return 9;
    default:
        return 0;
    }
}

}  // namespace

void ParseBuildTimestamp(BuildTimestamp& out, const char* date, const char* time)
{
    out = BuildTimestamp{};
    if (date) {
        out.year = std::uint16_t(NumberAt(date, 7));
        if (CharAt(date, 4) == ' ')
            out.day = std::uint16_t(DigitAt(date, 5));
        else
            out.day = std::uint16_t(10 * DigitAt(date, 4) + DigitAt(date, 5));
        out.month = MonthFromName(date);
    }
    if (time) {
        out.hour = std::uint16_t(10 * DigitAt(time, 0) + DigitAt(time, 1));
        out.minute = std::uint16_t(10 * DigitAt(time, 3) + DigitAt(time, 4));
        out.second = std::uint16_t(10 * DigitAt(time, 6) + DigitAt(time, 7));
    }
}

void ParseBuildTimestamp(BuildTimestamp& out) { ParseBuildTimestamp(out, BuildDateText(), BuildTimeText()); }

std::wstring FormatVersionLine(const BuildTimestamp& stamp)
{
    wchar_t line[64];
    const int n = std::swprintf(line, sizeof line / sizeof line[0], L"Version: %d%02d%02d-%02d%02d%02d",
                                int(stamp.year), int(stamp.month), int(stamp.day), int(stamp.hour),
                                int(stamp.minute), int(stamp.second));
    return n < 0 ? std::wstring() : std::wstring(line, std::size_t(n));
}

}  // namespace norvik
