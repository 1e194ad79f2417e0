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

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The ", " in a line, counted up to one per column: no more is ever needed.
unsigned CountSeparators(std::string_view line)
{
    unsigned count = 0;
    for (std::size_t at = line.find(kSeparator); at != std::string_view::npos && count < kColumns;
         at = line.find(kSeparator, at + kSeparator.size()))
        ++count;
    return count;
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

LogRows ReadLogRows(std::string_view contents, std::string_view headerTitles)
{
    LogRows result;
    if (contents.empty())
        return result;
    result.kind = LogRows::Kind::Other;
    if (!StartsWith(contents, headerTitles))
        return result;
    std::string_view body = contents.substr(headerTitles.size());
    if (StartsWith(body, "\r\n"))
        body.remove_prefix(2);
    else if (StartsWith(body, "\n"))
        body.remove_prefix(1);
    else if (!body.empty() && body != "\r")
        return result;  // more on the header's line: some other table
    result.kind = LogRows::Kind::TransferLog;
    if (EndsWith(contents, "\r"))
        result.lineBreak = "\n";
    else if (!EndsWith(contents, "\n"))
        result.lineBreak = "\r\n";

    // The row being read: its ", " count so far, and whether it has been
    // whole at the end of one of its lines. A whole row stays whole: a line
    // after it that starts no row is a cut row's start (its line ended by
    // the next run) or the inside of a cell.
    bool open = false;
    unsigned separators = 0;
    bool whole = false;

    while (!body.empty()) {
        const std::size_t end = body.find('\n');
        std::string_view line = body.substr(0, end);
        body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
        if (EndsWith(line, "\r"))
            line.remove_suffix(1);

        // A row ends where the next one starts: a line beginning with the
        // next number once the row is whole. Until then every line belongs
        // to it, a line repeating its own start after a cut included.
        if (whole && StartsRow(line, result.records + 2)) {
            ++result.records;
            separators = 0;
            whole = false;
        } else if (!open && StartsRow(line, 1)) {
            open = true;
        }
        if (!open)
            continue;  // before the first row: not part of any row
        separators = std::min(kColumns, separators + CountSeparators(line));
        whole = whole || (separators == kColumns && EndsWith(line, kSeparator));
    }
    if (whole)
        ++result.records;
    return result;
}

}  // namespace norvik::ctl
