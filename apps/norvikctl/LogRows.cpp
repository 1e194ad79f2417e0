#include "apps/norvikctl/LogRows.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace norvik::ctl {

namespace {

constexpr std::string_view kSeparator = ", ";
constexpr unsigned kColumns = 6;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Whether a line starts the row numbered `number`: "number, SET CS=n, " or
// "number, GET CS=n, " with a selector of 1 to 3 digits.
bool StartsRow(std::string_view line, unsigned number)
{
    const std::string lineCell = std::to_string(number);
    if (!StartsWith(line, lineCell) || !StartsWith(line.substr(lineCell.size()), kSeparator))
        return false;
    line.remove_prefix(lineCell.size() + kSeparator.size());
    if (!StartsWith(line, "SET CS=") && !StartsWith(line, "GET CS="))
        return false;
    line.remove_prefix(7);
    std::size_t digits = 0;
    while (digits < line.size() && digits < 4 && line[digits] >= '0' && line[digits] <= '9')
        ++digits;
    return digits >= 1 && digits <= 3 && StartsWith(line.substr(digits), kSeparator);
}

}  // namespace

void LogRowCounter::Feed(std::string_view bytes)
{
    for (const char byte : bytes)
        Take(byte);
}

void LogRowCounter::Take(char byte)
{
    any_ = true;
    last_ = byte;
    switch (phase_) {
    case Phase::Titles:
        if (byte != titles_[matched_])
            phase_ = Phase::Other;
        else if (++matched_ == titles_.size())
            phase_ = Phase::TitlesRead;
        return;
    case Phase::TitlesRead:
        phase_ = byte == '\n' ? Phase::Body : byte == '\r' ? Phase::TitlesCr : Phase::Other;
        return;
    case Phase::TitlesCr:
        phase_ = byte == '\n' ? Phase::Body : Phase::Other;
        return;
    case Phase::Other:
        return;
    case Phase::Body:
        break;
    }
    if (byte == '\n') {
        EndLine();
        return;
    }
    if (startSize_ < sizeof start_)
        start_[startSize_++] = byte;
    if (byte == ' ' && tail_[2] == ',' && lineSeparators_ < kColumns)
        ++lineSeparators_;
    tail_[0] = tail_[1];
    tail_[1] = tail_[2];
    tail_[2] = byte;
}

void LogRowCounter::EndLine()
{
    const std::string_view start(start_, startSize_);
    // A row ends where the next one starts: a line beginning with the next
    // number once the row is whole. Until then every line belongs to it, a
    // line repeating its own start after a cut included.
    if (whole_ && StartsRow(start, records_ + 2)) {
        ++records_;
        separators_ = 0;
        whole_ = false;
    } else if (!open_ && StartsRow(start, 1)) {
        open_ = true;
    }
    if (open_) {
        // The line without a CR before its LF ends in ", ".
        const bool cr = tail_[2] == '\r';
        const bool endsInSeparator =
            cr ? tail_[0] == ',' && tail_[1] == ' ' : tail_[1] == ',' && tail_[2] == ' ';
        separators_ = std::min(kColumns, separators_ + lineSeparators_);
        whole_ = whole_ || (separators_ == kColumns && endsInSeparator);
    }
    startSize_ = 0;
    lineSeparators_ = 0;
    tail_[0] = tail_[1] = tail_[2] = 0;
}

LogRows LogRowCounter::Result() const
{
    LogRows result;
    if (!any_)
        return result;
    result.kind = LogRows::Kind::Other;
    if (phase_ == Phase::Titles || phase_ == Phase::Other)
        return result;
    result.kind = LogRows::Kind::TransferLog;
    if (last_ == '\r')
        result.lineBreak = "\n";
    else if (last_ != '\n')
        result.lineBreak = "\r\n";
    if (phase_ != Phase::Body)
        return result;
    // A cut last line counts as it will once the next run ends it.
    LogRowCounter ended = *this;
    if (last_ != '\n')
        ended.EndLine();
    result.records = ended.records_ + (ended.whole_ ? 1 : 0);
    return result;
}

LogRows ReadLogRows(std::string_view contents, std::string_view headerTitles)
{
    LogRowCounter counter(headerTitles);
    counter.Feed(contents);
    return counter.Result();
}

}  // namespace norvik::ctl
