// Reading back an existing log file: what it is, how many whole rows it
// holds, and how its last line is ended.
#include <gtest/gtest.h>

#include <string>

#include "apps/norvikctl/LogRows.h"

namespace norvik::ctl {
namespace {

const std::string kTitles = "Line, Direct, Data(HEX), Data(String), Device, XU guid, ";
const std::string kHeader = kTitles + "\r\n";

std::string Row(unsigned line, const std::string& text = "xyz", const std::string& device = "Cam")
{
    return std::to_string(line) + ", GET CS=1, 78 79 7A, " + text + ", " + device + ", {g}, \r\n";
}

LogRows Read(const std::string& contents) { return ReadLogRows(contents, kTitles); }

TEST(LogRowsTest, OnlyAFileStartingWithTheHeaderLineIsATransferLog)
{
    EXPECT_EQ(Read("").kind, LogRows::Kind::Empty);
    for (const std::string& other :
         {std::string("hello world"), std::string("hello\r\n") + kHeader, kTitles.substr(0, 20),
          kTitles + "Extra, \r\n", "\xEF\xBB\xBF" + kHeader, kTitles + "\rx"})
        EXPECT_EQ(Read(other).kind, LogRows::Kind::Other) << other;

    // The header's line end: CR LF, LF alone, or cut (before or after the CR).
    const struct {
        std::string contents;
        std::string lineBreak;
    } headers[] = {{kHeader, ""}, {kTitles + "\n", ""}, {kTitles, "\r\n"}, {kTitles + "\r", "\n"}};
    for (const auto& header : headers) {
        const LogRows rows = Read(header.contents);
        EXPECT_EQ(rows.kind, LogRows::Kind::TransferLog);
        EXPECT_EQ(rows.records, 0u);
        EXPECT_EQ(rows.lineBreak, header.lineBreak);
        EXPECT_EQ(Read(header.contents + header.lineBreak + Row(1) + Row(2)).records, 2u) << header.contents;
    }
}

TEST(LogRowsTest, CellsHoldingLineBreaksStayInsideTheirRow)
{
    // Values and friendly names with CR LF or LF, even followed by what reads
    // like the next row's number.
    const std::string log = kHeader + Row(1, "A\r\nB") + Row(2, "A\r\n3, GET CS=1, B") +
                            Row(3, "x", "Cam\n4, Two") + Row(4, "A\r\n4, GET CS=9, B");
    EXPECT_EQ(Read(log).records, 4u);
    EXPECT_EQ(Read(log + Row(5)).records, 5u);
    // Cells holding ", " and empty cells.
    EXPECT_EQ(Read(kHeader + "1, SET CS=255, , a, b, c, , \r\n" + Row(2, ", , , , , ,")).records, 2u);
    // Lines between the header and the first row, and rows out of sequence,
    // are no rows of this log.
    EXPECT_EQ(Read(kHeader + "\r\n" + Row(1) + Row(3) + Row(2)).records, 2u);
    EXPECT_EQ(Read(kHeader + Row(2)).records, 0u);
}

TEST(LogRowsTest, ACutRowIsNotCountedAndItsLineIsEnded)
{
    const std::string whole = kHeader + Row(1);
    for (std::size_t cut = 1; cut < Row(2).size() - 3; ++cut) {
        const std::string contents = whole + Row(2).substr(0, cut);
        const LogRows rows = Read(contents);
        EXPECT_EQ(rows.records, 1u) << contents;
        EXPECT_EQ(rows.lineBreak, "\r\n");
        // The next run ends the line and writes row 2 again; later runs
        // count on from it.
        EXPECT_EQ(Read(contents + "\r\n" + Row(2) + Row(3)).records, 3u) << contents;
    }
    // Cut between the row's last ", " and its CR LF, or between CR and LF:
    // every cell is there, so the row counts once its line is ended.
    const LogRows beforeCr = Read(whole + Row(2).substr(0, Row(2).size() - 2));
    EXPECT_EQ(beforeCr.records, 2u);
    EXPECT_EQ(beforeCr.lineBreak, "\r\n");
    const LogRows beforeLf = Read(whole + Row(2).substr(0, Row(2).size() - 1));
    EXPECT_EQ(beforeLf.records, 2u);
    EXPECT_EQ(beforeLf.lineBreak, "\n");
}

TEST(LogRowsTest, ALogFedInPiecesCountsAsAWholeFile)
{
    const std::string log =
        kTitles + "\r\n" + Row(1, "A,\r\n, B") + Row(2, "x", "Cam\r\n2, GET CS=1, ") + "3, GET CS=1, 7";
    const LogRows whole = Read(log);
    ASSERT_EQ(whole.records, 2u);
    for (std::size_t split = 0; split <= log.size(); ++split) {
        LogRowCounter counter(kTitles);
        counter.Feed(std::string_view(log).substr(0, split));
        counter.Feed(std::string_view(log).substr(split));
        const LogRows pieces = counter.Result();
        EXPECT_EQ(pieces.records, whole.records) << split;
        EXPECT_EQ(pieces.lineBreak, whole.lineBreak) << split;
    }
    LogRowCounter bytes(kTitles);
    for (const char byte : log) {
        bytes.Feed(std::string_view(&byte, 1));
        // A count taken on the way does not disturb the reading.
        (void)bytes.Result();
    }
    EXPECT_EQ(bytes.Result().records, 2u);
}

}  // namespace
}  // namespace norvik::ctl
