// The exact reading of hex bytes and selectors: what a script wrote is
// either taken as written or refused with a reason, never guessed at.
#include <gtest/gtest.h>

#include "apps/norvikctl/StrictInput.h"

namespace norvik::ctl {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(StrictInputTest, HexTokensOfDigitPairsWithPrefixesAndSeparators)
{
    struct Case {
        const char* text;
        Bytes bytes;
    };
    const Case cases[] = {
        {"01 02", {0x01, 0x02}},        {"0x01, 0X02;ab:CD", {0x01, 0x02, 0xAB, 0xCD}},
        {"0102ff", {0x01, 0x02, 0xFF}}, {"0x0A0b", {0x0A, 0x0B}},
        {"  00\t7f\n", {0x00, 0x7F}},
    };
    for (const Case& c : cases) {
        Bytes bytes;
        std::string error;
        EXPECT_TRUE(ParseStrictHex(c.text, bytes, error)) << c.text << ": " << error;
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
}

TEST(StrictInputTest, HexThatTheLenientReadingWouldChangeIsRefusedWithItsReason)
{
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"0x1", "\"0x1\" leaves a lone hex digit"},
        {"1 2 3", "\"1\" leaves a lone hex digit"},
        {"01 023", "\"023\" leaves a lone hex digit"},
        {"01 0g", "\"g\" at position 5 is neither a hex digit nor a separator"},
        {"10x5", "\"x\" at position 3 is neither"},             // the dialog reads "15"
        {"01 \xE4\xB8\xAD", "\"\xE4\xB8\xAD\" at position 4"},  // a whole UTF-8 character
        {"01-02", "\"-\" at position 3"},
        {"0x", "\"0x\" has no hex digits"},
        {" , ", "no byte in \" , \""},
    };
    for (const Case& c : cases) {
        Bytes bytes;
        std::string error;
        EXPECT_FALSE(ParseStrictHex(c.text, bytes, error)) << c.text;
        EXPECT_EQ(error.rfind("norvikctl: --hex: ", 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << ": " << error;
    }
}

TEST(StrictInputTest, SelectorsAreWholeNumbersFromOneTo255)
{
    std::uint8_t selector = 0;
    std::string error;
    for (const auto& [text, value] : std::vector<std::pair<std::string, unsigned>>{
             {"1", 1}, {"255", 255}, {"0x02", 2}, {"0XfF", 255}, {"007", 7}}) {
        EXPECT_EQ(ParseStrictSelector(text, selector, error), SelectorText::Valid) << text << ": " << error;
        EXPECT_EQ(selector, value) << text;
    }
    EXPECT_EQ(ParseStrictSelector("", selector, error), SelectorText::Empty);
    EXPECT_EQ(ParseStrictSelector("0", selector, error), SelectorText::Zero);
    EXPECT_EQ(ParseStrictSelector("0x00", selector, error), SelectorText::Zero);
    for (const char* text :
         {"256", "257", "99999999999", "2x", "0x", "0x100", "-1", "+2", " 2", "2 ", "1.0", "0b1"}) {
        error.clear();
        EXPECT_EQ(ParseStrictSelector(text, selector, error), SelectorText::Invalid) << text;
        EXPECT_EQ(error,
                  std::string("norvikctl: --cs \"") + text +
                      "\" is not a control selector: a whole number from 1 to 255, decimal or hex with 0x");
    }
}

TEST(StrictInputTest, MillisecondsAreDecimalWithinTheirRange)
{
    unsigned value = 0;
    EXPECT_TRUE(ParseStrictMilliseconds("500", 1, 600000, value));
    EXPECT_EQ(value, 500u);
    EXPECT_TRUE(ParseStrictMilliseconds("600000", 1, 600000, value));
    for (const char* text : {"", "0", "600001", "5s", "-5", "0x10", "99999999999"})
        EXPECT_FALSE(ParseStrictMilliseconds(text, 1, 600000, value)) << text;
}

}  // namespace
}  // namespace norvik::ctl
