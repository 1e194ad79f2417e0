#include <gtest/gtest.h>

#include "session/GuidText.h"
#include "session/TransferOps.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik {
namespace {

TEST(ParseXuGuidText, AcceptsBracedGuidWithTextAroundIt)
{
    const auto plain = ParseXuGuidText(L"{36fc9e60-c465-11cf-8056-444553540000}");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->Data1(), 0x36FC9E60u);
    EXPECT_EQ(plain->Data2(), 0xC465);
    EXPECT_EQ(plain->Data3(), 0x11CF);
    const std::uint8_t tail[8] = {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(plain->Data4(i), tail[i]);
    // In memory the first field is little-endian.
    EXPECT_EQ(plain->bytes[0], 0x60);
    EXPECT_EQ(plain->bytes[3], 0x36);

    const auto worded = ParseXuGuidText(L" {36FC9E60-C465-11CF-8056-444553540000} left camera");
    ASSERT_TRUE(worded);
    EXPECT_EQ(*worded, *plain);
}

TEST(ParseXuGuidText, RejectsMalformedForms)
{
    EXPECT_FALSE(ParseXuGuidText(L""));
    EXPECT_FALSE(ParseXuGuidText(L"36fc9e60-c465-11cf-8056-444553540000"));
    EXPECT_FALSE(ParseXuGuidText(L"{36fc9e60c46511cf8056444553540000}"));      // 32 inside
    EXPECT_FALSE(ParseXuGuidText(L"{36fc9e6-0c465-11cf-8056-444553540000}"));  // lone digit
    EXPECT_FALSE(ParseXuGuidText(L"{{6fc9e60-c465-11cf-8056-444553540000}"));  // doubled brace
    EXPECT_FALSE(ParseXuGuidText(L"{"));
}

TEST(ParseXuGuidText, WantsExactly36CharactersBetweenTheBraces)
{
    // Each of these yields 16 hex pairs: only the brace distance is wrong.
    EXPECT_FALSE(ParseXuGuidText(L"{36fc9e60c465-11cf-8056-444553540000}"));    // 35 inside
    EXPECT_FALSE(ParseXuGuidText(L"{36fc9e60-c465-11cf-8056-44-4553540000}"));  // 37 inside
    EXPECT_TRUE(ParseXuGuidText(L"{36fc9e60-c465-11cf-8056-444553540000}"));
}

TEST(ParseXuGuidText, DoesNotEnforceTheDashPattern)
{
    // 36 characters with 16 adjacent pairs pass whatever the separators.
    EXPECT_TRUE(ParseXuGuidText(L"{36fc9e60 c465 11cf 8056 444553540000}"));
}

TEST(ReduceSelectorText, ReadsLikeStrtoulAndKeepsTheLowByte)
{
    EXPECT_EQ(ReduceSelectorText(L"1"), 1);
    EXPECT_EQ(ReduceSelectorText(L"01"), 1);
    EXPECT_EQ(ReduceSelectorText(L"256"), 0);
    EXPECT_EQ(ReduceSelectorText(L"257"), 1);
    EXPECT_EQ(ReduceSelectorText(L"-1"), 255);
    EXPECT_EQ(ReduceSelectorText(L"  7x"), 7);
    EXPECT_EQ(ReduceSelectorText(L"99999999999"), 255);  // saturates at 2^32 - 1
    EXPECT_EQ(ReduceSelectorText(L"x"), 0);
}

TEST(CsvFormat, NameLineAndCells)
{
    LocalTime t;
    t.year = 2024;
    t.month = 3;
    t.day = 7;
    t.hour = 14;
    t.minute = 5;
    t.second = 9;
    t.milliseconds = 4;
    EXPECT_EQ(CsvFileName(t), L"20240307-140509-4.csv");

    FakeRuntime runtime;
    EXPECT_EQ(CsvLine(runtime, {L"1", L"GET CS=2", L"", L"a,b"}).value, "1, GET CS=2, , a,b, \r\n");
    // Chinese text is written in the ANSI code page (936): two bytes each.
    EXPECT_EQ(CsvLine(runtime, {L"中"}).value, "\xD6\xD0, \r\n");
}

TEST(BuildSendData, PadsOrCutsToTheControlLength)
{
    FakeRuntime runtime;
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(BuildSendData(runtime, L"ABCD", false, buffer, 2).value, L"AB");
    EXPECT_EQ(buffer[0], 0x41);
    EXPECT_EQ(buffer[1], 0x42);
    EXPECT_EQ(buffer[2], 0);

    std::uint8_t six[8] = {};
    EXPECT_EQ(BuildSendData(runtime, L"ABCD", false, six, 6).value, L"ABCD");
    EXPECT_EQ(six[3], 0x44);
    EXPECT_EQ(six[4], 0);

    std::uint8_t hex[8] = {};
    EXPECT_EQ(BuildSendData(runtime, L"0x01, 0x02", true, hex, 4).value, L"....");
    EXPECT_EQ(hex[0], 1);
    EXPECT_EQ(hex[1], 2);
    EXPECT_EQ(hex[2], 0);

    std::uint8_t singles[8] = {};
    BuildSendData(runtime, L"1 2 3", true, singles, 2);
    EXPECT_EQ(singles[0], 0);
    EXPECT_EQ(singles[1], 0);

    std::uint8_t blanks[8] = {};
    EXPECT_EQ(BuildSendData(runtime, L"  ", false, blanks, 2).value, L"  ");
    EXPECT_EQ(blanks[0], 0x20);
}

TEST(FailureCellText, AppendsTheSystemTextWithoutItsLineEnd)
{
    FakeRuntime runtime;
    const std::wstring timedOut = FailureCellText(runtime, L"GET数据失败", true, 0x102).value;
    EXPECT_EQ(timedOut.rfind(L"GET数据失败 错误码0x00000102: ", 0), 0u);
    EXPECT_NE(timedOut.back(), L'\n');
    EXPECT_NE(timedOut.back(), L'\r');
    EXPECT_NE(timedOut.back(), L' ');
    // No channel, or a code without a text: the failure text alone.
    EXPECT_EQ(FailureCellText(runtime, L"SET数据失败", false, 0x102).value, L"SET数据失败");
    EXPECT_EQ(FailureCellText(runtime, L"SET数据失败", true, 0x12345678).value, L"SET数据失败");
}

TEST(DirectionText, NamesTheSelector)
{
    EXPECT_EQ(DirectionText(true, 5), L"SET CS=5");
    EXPECT_EQ(DirectionText(false, 255), L"GET CS=255");
}

// Each step that converts text hands a refusal back as a value with the
// system's text, never as an exception; steps that convert nothing go on.
TEST(TransferOpsRefused, EveryConvertingStepReturnsTheRefusal)
{
    FakeRuntime runtime;
    runtime.SetRefuseConversions(true);
    const std::wstring system = TrimTrailingWhiteSpace(*runtime.SystemErrorTextWide(87));

    std::uint8_t buffer[4] = {};
    Converted<std::wstring> data;
    EXPECT_NO_THROW(data = BuildSendData(runtime, L"AB", false, buffer, 4));
    EXPECT_FALSE(data);
    EXPECT_EQ(data.failureText, system);
    EXPECT_EQ(BuildSendData(runtime, L"41 42", true, buffer, 2).value, L"AB");

    Converted<std::wstring> cell;
    EXPECT_NO_THROW(cell = FailureCellText(runtime, L"GET数据失败", true, 0x102));
    EXPECT_FALSE(cell);
    EXPECT_EQ(cell.failureText, system);
    EXPECT_EQ(FailureCellText(runtime, L"GET数据失败", false, 0x102).value, L"GET数据失败");

    Converted<std::string> line;
    EXPECT_NO_THROW(line = CsvLine(runtime, {L"1", L"GET CS=2"}));
    EXPECT_FALSE(line);
    EXPECT_TRUE(line.value.empty());
    EXPECT_EQ(line.failureText, system);
    EXPECT_STREQ(line.reason, "the text cannot be converted to the ANSI code page");
}

}  // namespace
}  // namespace norvik
