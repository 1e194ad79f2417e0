#pragma once
// The --log file: transfer rows in the CSV form the dialog saves its
// transfer log in, or (LogFormat::Csv) as quoted RFC 4180 rows in UTF-8.
//
// A regular file is read back first: a new or empty one gets the header
// line, a transfer log is continued (numbering on from its whole rows, a cut
// last line ended first), anything else is refused and left untouched. A
// FIFO or a character device (a terminal, /dev/null) is written without
// reading: the header, then rows numbered from 1. Directories, block devices
// and sockets are refused.
//
// Every row goes out in one write on an append handle while the file is
// locked (LogFile::Lock), so runs logging to one file at once never tear each
// other's rows. Before each row the bytes other runs appended to a regular
// file since this run's last look are counted too; the row then takes the
// number that follows the file's own rows. A file is read once, in chunks,
// however long it is.

#include <cstdint>
#include <string>
#include <vector>

#include "apps/norvikctl/LogFile.h"
#include "apps/norvikctl/LogRows.h"
#include "apps/norvikctl/QuotedCsv.h"
#include "runtime/Runtime.h"

namespace norvik::ctl {

enum class LogFormat { Norvik, Csv };

class CsvLog {
public:
    // Opens (or creates) the log. Fails with exit status 1, having written
    // nothing, when the file cannot hold a log or cannot be opened.
    CsvLog(Runtime& runtime, const std::string& path, LogFormat format = LogFormat::Norvik);
    CsvLog(const CsvLog&) = delete;
    CsvLog& operator=(const CsvLog&) = delete;

    // The number the next record gets, as far as this run knows.
    unsigned NextLine() const { return nextLine_; }
    // Writes one record, its first cell replaced by the number it takes in
    // the file, so that an interrupted run keeps every row written so far.
    // Fails with exit status 1 on a write error, leaving no part of the row
    // in a regular file.
    void Append(const std::vector<std::wstring>& cells);

private:
    std::string LookAgain();
    std::string RowBytes(const std::vector<std::wstring>& cells) const;
    void FeedCounter(std::string_view bytes);
    void ResetCounter();
    LogRows CounterResult() const;
    void Write(const std::string& bytes);

    Runtime& runtime_;
    std::string path_;
    LogFormat format_;
    std::string header_;  // the header line with its CR LF
    LogFile file_;
    bool regular_ = false;
    LogRowCounter rows_;          // a regular file's bytes up to knownSize_
    QuotedCsvCounter records_;    // the same for the csv format
    std::int64_t knownSize_ = 0;  // how much of a regular file has been counted
    unsigned nextLine_ = 1;
};

}  // namespace norvik::ctl
