#include "apps/norvikctl/QuotedCsv.h"

#include "runtime/Utf8.h"

namespace norvik::ctl {

std::string QuotedCsvLine(const std::vector<std::wstring>& cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += ',';
        line += '"';
        for (char c : WideToUtf8(cells[i])) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    return line + "\r\n";
}

void QuotedCsvCounter::Feed(std::string_view bytes)
{
    for (char c : bytes) {
        if (matched_ == size_ && matched_ < header_.size() && header_[matched_] == c)
            ++matched_;
        ++size_;
        if (c == '"')
            inQuotes_ = !inQuotes_;  // a doubled quote turns it back at once
        else if (c == '\n' && !inQuotes_)
            ++recordEnds_;
        last_ = c;
    }
}

LogRows QuotedCsvCounter::Result() const
{
    LogRows rows;
    if (size_ == 0)
        return rows;
    if (matched_ < header_.size()) {
        rows.kind = LogRows::Kind::Other;
        return rows;
    }
    rows.kind = LogRows::Kind::TransferLog;
    rows.records = recordEnds_ - 1;  // the header's line end
    if (last_ != '\n' || inQuotes_) {
        ++rows.records;
        rows.lineBreak = inQuotes_ ? "\"\r\n" : last_ == '\r' ? "\n" : "\r\n";
    }
    return rows;
}

}  // namespace norvik::ctl
