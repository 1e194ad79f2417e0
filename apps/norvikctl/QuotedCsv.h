#pragma once
// The --log-format csv file: RFC 4180 rows in UTF-8, every cell quoted
// (quotes doubled), cells separated by commas with none after the last, CR LF
// after each row. Spreadsheets and CSV readers take it as it is, line breaks
// and commas inside cells included.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "apps/norvikctl/LogRows.h"

namespace norvik::ctl {

// One row's bytes, with its CR LF.
std::string QuotedCsvLine(const std::vector<std::wstring>& cells);

// Counts the records of such a file fed in pieces: a line end outside quotes
// ends a record. The file is a log of this kind when it starts with the
// header line. A cut last record counts (it is ended before the next one);
// lineBreak then ends it, closing an open quote first.
class QuotedCsvCounter {
public:
    // header: the header line with its CR LF. The text must outlive the counter.
    explicit QuotedCsvCounter(std::string_view header) : header_(header) {}

    void Feed(std::string_view bytes);
    LogRows Result() const;

private:
    std::string_view header_;
    std::size_t matched_ = 0;  // leading bytes that match the header
    std::uint64_t size_ = 0;
    bool inQuotes_ = false;
    unsigned recordEnds_ = 0;
    char last_ = 0;
};

}  // namespace norvik::ctl
