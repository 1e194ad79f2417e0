// The reading of a batch script: every request form, the lines that are
// skipped, and a refusal with its place for each line that does not say one
// thing.
#include <gtest/gtest.h>

#include "apps/norvikctl/BatchScript.h"

namespace norvik::ctl {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<BatchRequest> Parse(const std::string& text, std::vector<std::string>& problems)
{
    return ParseBatchScript(text, "bench.txt", problems);
}

TEST(BatchScriptTest, EveryRequestFormWithItsLineAndArguments)
{
    const std::string script =
        "\xEF\xBB\xBF# firmware, calibration, check\r\n"
        "get 1\r\n"
        "\r\n"
        "   \t\n"
        "set 0x02 40 00,02:00   # calibration\n"
        "expect 2 0x40000200\n"
        "len 255\n"
        "info 3\tmin 3\n"  // a tab separates words, so this is refused below
        "max 3\n"
        "res 0x03\n"
        "def 3\n"
        "describe 4\n"
        "sleep 0\n"
        "sleep 3600000";
    std::vector<std::string> problems;
    const std::vector<BatchRequest> requests = Parse(script, problems);
    ASSERT_EQ(problems,
              std::vector<std::string>{"norvikctl: bench.txt:8: info takes one control selector: info CS"});
    ASSERT_EQ(requests.size(), 10u);

    EXPECT_EQ(requests[0].line, 2u);
    EXPECT_EQ(requests[0].kind, BatchKind::Get);
    EXPECT_EQ(requests[0].selector, 1);

    EXPECT_EQ(requests[1].line, 5u);
    EXPECT_EQ(requests[1].kind, BatchKind::Set);
    EXPECT_EQ(requests[1].selector, 2);
    EXPECT_EQ(requests[1].bytes, (Bytes{0x40, 0x00, 0x02, 0x00}));

    EXPECT_EQ(requests[2].kind, BatchKind::Expect);
    EXPECT_EQ(requests[2].bytes, (Bytes{0x40, 0x00, 0x02, 0x00}));

    EXPECT_EQ(requests[3].kind, BatchKind::Len);
    EXPECT_EQ(requests[3].selector, 255);

    const ControlQuery queries[] = {ControlQuery::Max, ControlQuery::Res, ControlQuery::Def};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[4 + i].kind, BatchKind::Query);
        EXPECT_EQ(requests[4 + i].query, queries[i]);
        EXPECT_EQ(requests[4 + i].selector, 3);
    }
    EXPECT_EQ(requests[5].name, "res");
    EXPECT_EQ(requests[7].kind, BatchKind::Describe);
    EXPECT_EQ(requests[8].kind, BatchKind::Sleep);
    EXPECT_EQ(requests[8].milliseconds, 0u);
    EXPECT_EQ(requests[9].milliseconds, 3600000u);
    EXPECT_EQ(requests[9].line, 14u);
}

TEST(BatchScriptTest, InfoIsTheInformationQuery)
{
    std::vector<std::string> problems;
    const std::vector<BatchRequest> requests = Parse("info 7\n", problems);
    ASSERT_TRUE(problems.empty());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, BatchKind::Query);
    EXPECT_EQ(requests[0].query, ControlQuery::Info);
}

TEST(BatchScriptTest, ACommentStartsOnlyAtALineStartOrAfterABlank)
{
    std::vector<std::string> problems;
    const std::vector<BatchRequest> requests = Parse("#get 1\nset 1 01 02 #03\nget 1#2\n", problems);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bytes, (Bytes{0x01, 0x02}));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0],
              "norvikctl: bench.txt:3: \"1#2\" is not a control selector: a whole number from 1 to 255, "
              "decimal or hex with 0x");
}

TEST(BatchScriptTest, EveryMalformedLineIsNamedWithWhatIsWrong)
{
    struct Case {
        const char* line;
        const char* problem;
    };
    const Case cases[] = {
        {"GET 1",
         "unknown request \"GET\" (the requests: get, set, expect, len, info, min, max, res, def, "
         "describe, sleep)"},
        {"cur 1", "unknown request \"cur\""},
        {"get", "get takes one control selector: get CS"},
        {"get 1 2", "get takes one control selector: get CS"},
        {"describe", "describe takes one control selector: describe CS"},
        {"set 1", "set takes a control selector and the bytes: set CS HEX"},
        {"expect 2", "expect takes a control selector and the bytes: expect CS HEX"},
        {"get 0", "\"0\" is not a control selector"},
        {"get 0x00", "\"0x00\" is not a control selector"},
        {"len 256", "\"256\" is not a control selector"},
        {"min 2x", "\"2x\" is not a control selector"},
        {"set 1 0x1", "\"0x1\" leaves a lone hex digit; write every byte as two digits (\"0F\", not \"F\")"},
        {"set 1 1 2 3", "\"1\" leaves a lone hex digit"},
        {"expect 1 01 zz", "\"z\" at position 4 is neither a hex digit nor a separator"},
        {"set 1 0x", "\"0x\" has no hex digits"},
        {"sleep", "sleep takes one time: sleep MS"},
        {"sleep 1 2", "sleep takes one time: sleep MS"},
        {"sleep 2s", "\"2s\" is not a time: a whole number of milliseconds from 0 to 3600000"},
        {"sleep 3600001", "\"3600001\" is not a time"},
        {"sleep -1", "\"-1\" is not a time"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> problems;
        const std::vector<BatchRequest> requests = Parse(std::string("get 1\n") + c.line + "\n", problems);
        ASSERT_EQ(problems.size(), 1u) << c.line;
        EXPECT_EQ(problems[0].rfind(std::string("norvikctl: bench.txt:2: ") + c.problem, 0), 0u)
            << c.line << ": " << problems[0];
        EXPECT_EQ(requests.size(), 1u) << c.line;
    }
}

TEST(BatchScriptTest, EveryMalformedLineIsReportedNotOnlyTheFirst)
{
    std::vector<std::string> problems;
    Parse("get 1\nfrob\nget 1\nset 2 F\nsleep x", problems);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].rfind("norvikctl: bench.txt:2: ", 0), 0u);
    EXPECT_EQ(problems[1].rfind("norvikctl: bench.txt:4: ", 0), 0u);
    EXPECT_EQ(problems[2].rfind("norvikctl: bench.txt:5: ", 0), 0u);
}

TEST(BatchScriptTest, ABinaryFileGivenByMistakeGivesShortLinesOfText)
{
    std::vector<std::string> problems;
    const std::string bytes = std::string(
                                  "\x7F"
                                  "ELF\x02\x01",
                                  6) +
                              std::string(1, '\0') + std::string(100, 'A') + "\nget " + std::string(60, '9') +
                              "\nget 1\x1B\xC3\xA9\n";
    EXPECT_TRUE(Parse(bytes, problems).empty());
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0],
              "norvikctl: bench.txt:1: unknown request \"\\x7FELF\\x02\\x01\\x00" + std::string(33, 'A') +
                  "...\" (the requests: get, set, expect, len, info, min, max, res, def, describe, sleep)");
    EXPECT_EQ(problems[1].rfind(
                  "norvikctl: bench.txt:2: \"" + std::string(40, '9') + "...\" is not a control selector", 0),
              0u)
        << problems[1];
    EXPECT_EQ(problems[2].rfind("norvikctl: bench.txt:3: \"1\\x1B\xC3\xA9\" is not a control selector", 0),
              0u)
        << problems[2];
}

TEST(BatchScriptTest, AScriptOfCommentsHoldsNoRequest)
{
    std::vector<std::string> problems;
    EXPECT_TRUE(Parse("", problems).empty());
    EXPECT_TRUE(Parse("# nothing yet\n\n  # indented\n", problems).empty());
    EXPECT_TRUE(problems.empty());
}

}  // namespace
}  // namespace norvik::ctl
