// --log-format csv: quoted RFC 4180 rows in UTF-8 that CSV readers take as
// they are, continued across runs like the dialog's form.
#include <gtest/gtest.h>

#include "CtlRunner.h"
#include "apps/norvikctl/QuotedCsv.h"

namespace norvik::testing {
namespace {

using ctl::LogRows;
using ctl::QuotedCsvCounter;
using ctl::QuotedCsvLine;

const std::string kHeader = "\"Line\",\"Direct\",\"Data(HEX)\",\"Data(String)\",\"Device\",\"XU guid\"\r\n";
const std::string kGuidA = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
// Selector 2 of the second unit: a value whose text holds a CR LF.
const std::string kRowTail =
    "\",\"GET CS=2\",\"41 0D 0A 42\",\"A\r\nB\",\"Bench Camera\",\"" + kGuidA + "\"\r\n";

TEST_F(CtlTest, CsvLogRowsAreQuotedAndContinuedAcrossRuns)
{
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    std::vector<std::string> get = {"--log-format", "csv", "get",   "--device", "0", "--unit", "1",
                                    "--cs",         "2",   "--log", "bench.csv"};
    ASSERT_EQ(Run(get, bench).status, 0);
    std::vector<std::string> twice = get;
    twice.insert(twice.end(), {"--repeat", "2"});
    ASSERT_EQ(Run(twice, bench).status, 0);
    EXPECT_EQ(ReadFileBytes(Path("bench.csv")),
              kHeader + "\"1" + kRowTail + "\"2" + kRowTail + "\"3" + kRowTail);

    // Quotes are doubled; commas stay inside their cell; the text is UTF-8
    // (the code page 936 bytes A8 A6 read back as their character).
    const CtlResult set =
        Run({"--log-format", "csv", "set", "--guid", "{11111111-2222-3333-4444-555555555555}", "--cs", "1",
             "--text", "a\"b,\xC3\xA9", "--log", "set.csv"},
            bench);
    ASSERT_EQ(set.status, 0) << set.err;
    const std::string log = ReadFileBytes(Path("set.csv"));
    EXPECT_NE(log.find("\"1\",\"SET CS=1\",\"61 22 62 2C A8 A6\",\"a\"\"b,\xC3\xA9\",\""), std::string::npos)
        << log;
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    EXPECT_NE(log.substr(log.size() - 3, 1), ",");  // no trailing separator

    // A log of the other form is not continued in this one.
    WriteFile("dialog.csv", "Line, Direct, Data(HEX), Data(String), Device, XU guid, \r\n");
    get.back() = "dialog.csv";
    const CtlResult refused = Run(get, bench);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("is not a transfer log of this format"), std::string::npos) << refused.err;
    EXPECT_EQ(Run({"--log-format", "excel", "discover"}).status, 2);
}

TEST(QuotedCsvTest, RecordsEndOnlyOutsideQuotesAndACutRecordIsClosed)
{
    const std::string header = QuotedCsvLine({L"A", L"B"});
    ASSERT_EQ(header, "\"A\",\"B\"\r\n");
    const std::string row = QuotedCsvLine({L"1", L"x\r\n\"y\""});
    ASSERT_EQ(row, "\"1\",\"x\r\n\"\"y\"\"\"\r\n");

    struct Case {
        std::string file;
        LogRows::Kind kind;
        unsigned records;
        std::string lineBreak;
    };
    const Case cases[] = {
        {"", LogRows::Kind::Empty, 0, ""},
        {header, LogRows::Kind::TransferLog, 0, ""},
        {header + row + row, LogRows::Kind::TransferLog, 2, ""},
        {header + row + "\"2\",\"x\r\n", LogRows::Kind::TransferLog, 2, "\"\r\n"},  // cut inside a cell
        {header + row + "\"2\",\"x\"", LogRows::Kind::TransferLog, 2, "\r\n"},
        {header + row + "\"2\",\"x\"\r", LogRows::Kind::TransferLog, 2, "\n"},
        {"\"A\",\"B\",\"C\"\r\n", LogRows::Kind::Other, 0, ""},
        {"\"A\"", LogRows::Kind::Other, 0, ""},
    };
    for (const Case& c : cases) {
        // Fed whole and byte by byte: the pieces do not matter.
        QuotedCsvCounter whole(header), bytewise(header);
        whole.Feed(c.file);
        for (char b : c.file)
            bytewise.Feed(std::string_view(&b, 1));
        for (const LogRows& rows : {whole.Result(), bytewise.Result()}) {
            EXPECT_EQ(rows.kind, c.kind) << c.file;
            EXPECT_EQ(rows.records, c.records) << c.file;
            EXPECT_EQ(std::string(rows.lineBreak), c.lineBreak) << c.file;
        }
    }
}

}  // namespace
}  // namespace norvik::testing
