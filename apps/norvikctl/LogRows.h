#pragma once
// Reads back what an existing --log file holds: whether it is a transfer log
// at all, how many whole rows it has, and what must be written before the
// next row so that the row starts on a line of its own.
//
// The rows are written as the dialog saves them: every cell followed by
// ", ", CR LF after each row, no quoting. A cell may itself hold line breaks
// and ", " (a value's text, a friendly name, a typed GUID), so a line break
// does not always end a row. A row is whole once it has at least one ", "
// per column at the end of a line that ends in ", ". The next row starts at
// a line that begins with the next number and a direction cell
// ("8, GET CS=3, ") after a whole row; every other line belongs to the row
// before it. So a row cut by a failed write (its line ended by the next run)
// and the row written again after it count as one, and a cut line after a
// whole row is not counted.
//
// Only a cell holding ", " and a line break followed by text shaped like the
// next row's start can still mislead the count: without quoting, nothing
// tells such a cell from rows.

#include <cstddef>
#include <string_view>

namespace norvik::ctl {

struct LogRows {
    enum class Kind {
        Empty,        // no bytes: the header is still to be written
        TransferLog,  // starts with the header line
        Other,        // anything else: not to be written to
    };
    Kind kind = Kind::Empty;
    unsigned records = 0;        // whole rows after the header
    std::string_view lineBreak;  // "", or what ends a cut last line: "\n" after a CR, else "\r\n"
};

// Counts the rows of a log fed to it in pieces of any size, keeping only a
// few bytes of the line it is in: a long log is read in chunks, and the
// bytes a run appends are fed on, so the count follows the file.
class LogRowCounter {
public:
    // headerTitles: the header line without its line end
    // ("Line, Direct, Data(HEX), Data(String), Device, XU guid, "). The
    // header may end in CR LF or in LF alone. The text must outlive the
    // counter.
    explicit LogRowCounter(std::string_view headerTitles)
        : titles_(headerTitles), phase_(headerTitles.empty() ? Phase::TitlesRead : Phase::Titles)
    {
    }

    void Feed(std::string_view bytes);
    // What the bytes fed so far hold, taken as the whole file.
    LogRows Result() const;

private:
    enum class Phase { Titles, TitlesRead, TitlesCr, Body, Other };

    void Take(char byte);
    void EndLine();

    std::string_view titles_;
    Phase phase_;
    std::size_t matched_ = 0;  // bytes of the titles seen
    bool any_ = false;
    char last_ = 0;  // the last byte fed

    // The rows so far.
    unsigned records_ = 0;
    bool open_ = false;  // the first row has started
    unsigned separators_ = 0;
    bool whole_ = false;

    // The line being read: its first bytes (enough to see a row start), its
    // ", " count and its last three bytes.
    char start_[32] = {};
    std::size_t startSize_ = 0;
    unsigned lineSeparators_ = 0;
    char tail_[3] = {};
};

// The same for a whole file at once.
LogRows ReadLogRows(std::string_view contents, std::string_view headerTitles);

}  // namespace norvik::ctl
