#include <gtest/gtest.h>

#include "runtime/Utf8.h"

namespace norvik::test {
namespace {

TEST(Utf8, RoundTripsEveryPlane)
{
    const std::wstring text = L"A\u00E9\u4E2D\U00010348";
    const std::string bytes = WideToUtf8(text);
    EXPECT_EQ(bytes, "A\xC3\xA9\xE4\xB8\xAD\xF0\x90\x8D\x88");
    EXPECT_EQ(Utf8ToWide(bytes), text);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters)
{
    // A stray continuation byte, an overlong form, a truncated sequence
    // followed by ASCII, an encoded surrogate and a lone lead byte at the end.
    EXPECT_EQ(Utf8ToWide("a\x80"
                         "b"),
              L"a\xFFFD"
              L"b");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\xFFFD\xFFFD");
    EXPECT_EQ(Utf8ToWide("\xE4\xB8"
                         "x"),
              L"\xFFFD"
              L"x");
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(Utf8ToWide("ok\xF0"), L"ok\xFFFD");
    // Wide values that are not characters are written as U+FFFD.
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
    if constexpr (sizeof(wchar_t) == 4)  // only a 32-bit wchar_t can hold a value past U+10FFFF
        EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x110000))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace norvik::test
