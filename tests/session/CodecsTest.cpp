#include <gtest/gtest.h>

#include <vector>

#include "session/Codecs.h"
#include "tests/support/TestRuntime.h"

namespace norvik::test {
namespace {

std::vector<std::uint8_t> Parse(std::wstring_view text, std::size_t limit = 16)
{
    std::vector<std::uint8_t> out(limit + 4, 0xEE);
    const std::size_t n = ParseHexBytes(text, out.data(), limit);
    for (std::size_t i = n; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xEE) << "byte " << i << " past the count was written";
    out.resize(n);
    return out;
}

using Bytes = std::vector<std::uint8_t>;

TEST(CodecsHex, FormatsUpperCasePairsWithSingleBlanks)
{
    const std::uint8_t abc[] = {0x41, 0x42, 0x43};
    EXPECT_EQ(FormatHexBytes(abc, 3), L"41 42 43");
    const std::uint8_t one[] = {0x0A};
    EXPECT_EQ(FormatHexBytes(one, 1), L"0A");
    EXPECT_EQ(FormatHexBytes(one, 0), L"");
    const std::uint8_t edges[] = {0x00, 0xFF, 0xab};
    EXPECT_EQ(FormatHexBytes(edges, 3), L"00 FF AB");
}

TEST(CodecsHex, ReadsAdjacentPairsAndDropsLoneDigits)
{
    EXPECT_EQ(Parse(L"01 02 03"), (Bytes{1, 2, 3}));
    EXPECT_EQ(Parse(L"010203"), (Bytes{1, 2, 3}));
    EXPECT_EQ(Parse(L"123"), (Bytes{0x12}));
    EXPECT_EQ(Parse(L"1 2 3"), Bytes{});
    EXPECT_EQ(Parse(L"12 3 45"), (Bytes{0x12, 0x45}));
    EXPECT_EQ(Parse(L"aB,Cd-eF"), (Bytes{0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(Parse(L"zz"), Bytes{});
    EXPECT_EQ(Parse(L""), Bytes{});
    EXPECT_EQ(Parse(L"1g2"), Bytes{});  // letters past f separate
}

TEST(CodecsHex, RemovesEveryZeroXBeforePairing)
{
    EXPECT_EQ(Parse(L"0x01,0x02"), (Bytes{1, 2}));
    EXPECT_EQ(Parse(L"0X01 0X02"), (Bytes{1, 2}));
    EXPECT_EQ(Parse(L"10x5"), (Bytes{0x15}));
    EXPECT_EQ(Parse(L"0x"), Bytes{});
    // One pass from the start, no overlap: "00xx" leaves "0x", not nothing,
    // and the remaining 0 is a lone digit.
    EXPECT_EQ(Parse(L"00xx"), Bytes{});
    EXPECT_EQ(Parse(L"00x0x1"), (Bytes{0x01}));
}

TEST(CodecsHex, ReadsABracedGuidAndStopsAtTheLimit)
{
    EXPECT_EQ(Parse(L"{36fc9e60-c465-11cf-8056-444553540000}"),
              (Bytes{0x36, 0xFC, 0x9E, 0x60, 0xC4, 0x65, 0x11, 0xCF, 0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00,
                     0x00}));
    EXPECT_EQ(Parse(L"00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10").size(), 16u);
    EXPECT_EQ(Parse(L"aabbcc", 1), (Bytes{0xAA}));
    EXPECT_EQ(Parse(L"aabbcc", 0), Bytes{});
}

TEST(CodecsHex, FullWidthDigitsAndLettersAreSeparators)
{
    // Ａ１ (full-width) between ASCII digits: "1Ａ1" is two lone digits.
    EXPECT_EQ(Parse(L"1\xFF21"
                    L"1"),
              Bytes{});
    EXPECT_EQ(Parse(L"\xFF10\xFF11 12"), (Bytes{0x12}));
    // A full-width X is not an x: "0Ｘ12" keeps its 0 as a lone digit.
    EXPECT_EQ(Parse(L"0\xFF38"
                    L"12"),
              (Bytes{0x12}));
}

TEST(CodecsPrintable, EveryNonGraphicByteIsAFullStop)
{
    const std::uint8_t bytes[] = {0x41, 0x00, 0x20, 0x7E, 0x7F, 0x80, 0x21};
    EXPECT_EQ(RenderPrintable(bytes, 7), L"A..~..!");
    EXPECT_EQ(RenderPrintable(bytes, 0), L"");
}

TEST(CodecsAnsi, EncodesThroughCodePage936)
{
    FakeRuntime runtime;
    EXPECT_EQ(EncodeAnsiText(runtime, L"ABCD").value, "ABCD");
    EXPECT_EQ(EncodeAnsiText(runtime, L"\x4E2D").value, "\xD6\xD0");  // 中: two bytes
    EXPECT_EQ(EncodeAnsiText(runtime,
                             L"a\x0E01"
                             L"b")
                  .value,
              "a?b");  // Thai: not in code page 936
    // The result ends at the first zero the conversion produced.
    EXPECT_EQ(EncodeAnsiText(runtime, std::wstring(L"ab\0cd", 5)).value, "ab");
}

TEST(CodecsAnsi, DecodesUpToTheFirstZeroAndNeverPastTheBuffer)
{
    FakeRuntime runtime;
    const char bytes[] = {'A', 'B', '\0', 'C'};
    EXPECT_EQ(DecodeAnsiText(runtime, bytes, sizeof bytes).value, L"AB");
    EXPECT_EQ(DecodeAnsiText(runtime, "\0AB", 3).value, L"");
    const char unterminated[] = {'x', 'y', 'z'};
    EXPECT_EQ(DecodeAnsiText(runtime, unterminated, 2).value, L"xy");
    EXPECT_EQ(DecodeAnsiText(runtime, "\xD6\xD0\xCE\xC4", 4).value, L"\x4E2D\x6587");
}

TEST(CodecsAnsi, ARefusedConversionIsAValueWithTheSystemText)
{
    FakeRuntime runtime;
    runtime.SetRefuseConversions(true);
    const std::wstring system = TrimTrailingWhiteSpace(*runtime.SystemErrorTextWide(87));
    Converted<std::string> encoded;
    EXPECT_NO_THROW(encoded = EncodeAnsiText(runtime, L"abc"));
    EXPECT_FALSE(encoded);
    EXPECT_TRUE(encoded.value.empty());
    EXPECT_EQ(encoded.failureText, system);
    EXPECT_STREQ(encoded.reason, "the text cannot be converted to the ANSI code page");
    Converted<std::wstring> decoded;
    EXPECT_NO_THROW(decoded = DecodeAnsiText(runtime, "abc", 3));
    EXPECT_FALSE(decoded);
    EXPECT_EQ(decoded.failureText, system);
    EXPECT_STREQ(decoded.reason, "the text cannot be converted from the ANSI code page");
    // Nothing to convert is never refused.
    EXPECT_TRUE(DecodeAnsiText(runtime, "abc", 0));
}

TEST(CodecsText, TrimsOnlyTrailingWhiteSpace)
{
    EXPECT_EQ(TrimTrailingWhiteSpace(L"  a b \r\n\t "), L"  a b");
    EXPECT_EQ(TrimTrailingWhiteSpace(L" \r\n"), L"");
    EXPECT_EQ(TrimTrailingWhiteSpace(L"x"), L"x");
}

TEST(CodecsMessage, FormatsAndCutsAfterCharacter2046)
{
    EXPECT_EQ(FormatMessageText(L"%ls %d", L"\x4FDD\x5B58", 7), L"\x4FDD\x5B58 7");

    for (std::size_t length : {2045u, 2046u, 2047u, 2048u, 5000u}) {
        const std::wstring text(length, L'x');
        const std::wstring shown = FormatMessageText(L"%ls!", text.c_str());
        const std::size_t expected = length + 1 < 2046 ? length + 1 : 2046;
        EXPECT_EQ(shown.size(), expected) << length;
        EXPECT_EQ(shown.back(), length + 1 <= 2046 ? L'!' : L'x') << length;
    }
}

}  // namespace
}  // namespace norvik::test
