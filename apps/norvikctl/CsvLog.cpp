#include "apps/norvikctl/CsvLog.h"

#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/LogRows.h"
#include "session/TransferOps.h"

namespace norvik::ctl {

namespace {

// The line's bytes; a cell the code page refuses stops the run, as a failed
// step does, before anything of the line is written.
std::string LineBytes(Runtime& runtime, const std::vector<std::wstring>& cells)
{
    Converted<std::string> line = CsvLine(runtime, cells);
    if (!line)
        FailRequest(std::string("norvikctl: a text conversion failed: ") + line.reason);
    return std::move(line.value);
}

}  // namespace

CsvLog::CsvLog(Runtime& runtime, const std::string& path, LogFormat format)
    : runtime_(runtime),
      path_(path),
      format_(format),
      header_(format == LogFormat::Csv ? QuotedCsvLine(LogColumnTitles())
                                       : LineBytes(runtime, LogColumnTitles())),
      file_(path),
      rows_(std::string_view(header_).substr(0, header_.size() - 2)),
      records_(header_)
{
    LogFile::Lock lock(file_);
    regular_ = file_.Regular();
    Write(regular_ ? LookAgain() : header_);
}

// Counts what was appended since the last look and returns what must be
// written before the next row. Called with the lock held.
std::string CsvLog::LookAgain()
{
    if (file_.Size() < knownSize_) {  // emptied or cut: count afresh
        ResetCounter();
        knownSize_ = 0;
    }
    char chunk[65536];
    for (;;) {
        const std::size_t n = file_.ReadAt(knownSize_, chunk, sizeof chunk);
        if (n == 0)
            break;
        FeedCounter(std::string_view(chunk, n));
        knownSize_ += std::int64_t(n);
    }
    const LogRows rows = CounterResult();
    if (rows.kind == LogRows::Kind::Other)
        FailRequest("norvikctl: " + path_ + " is not a transfer log" +
                    (format_ == LogFormat::Csv ? " of this format" : "") +
                    " (its first line is not the log's header); it is left unchanged");
    nextLine_ = rows.records + 1;
    return rows.kind == LogRows::Kind::Empty ? header_ : std::string(rows.lineBreak);
}

void CsvLog::Append(const std::vector<std::wstring>& cells)
{
    LogFile::Lock lock(file_);
    const std::string before = regular_ ? LookAgain() : std::string();
    std::vector<std::wstring> row = cells;
    if (!row.empty())
        row[0] = std::to_wstring(nextLine_);
    Write(before + RowBytes(row));
    ++nextLine_;
}

std::string CsvLog::RowBytes(const std::vector<std::wstring>& cells) const
{
    return format_ == LogFormat::Csv ? QuotedCsvLine(cells) : LineBytes(runtime_, cells);
}

void CsvLog::FeedCounter(std::string_view bytes)
{
    if (format_ == LogFormat::Csv)
        records_.Feed(bytes);
    else
        rows_.Feed(bytes);
}

void CsvLog::ResetCounter()
{
    rows_ = LogRowCounter(std::string_view(header_).substr(0, header_.size() - 2));
    records_ = QuotedCsvCounter(header_);
}

LogRows CsvLog::CounterResult() const
{
    return format_ == LogFormat::Csv ? records_.Result() : rows_.Result();
}

// Called with the lock held; for a regular file knownSize_ is its size.
void CsvLog::Write(const std::string& bytes)
{
    if (bytes.empty())
        return;
    const std::string error = file_.Append(bytes);
    if (!error.empty()) {
        // No part of the row stays behind to be glued to the next one.
        if (regular_)
            file_.Truncate(knownSize_);
        FailRequest("norvikctl: cannot write the log file " + path_ + ": " + error);
    }
    if (regular_) {
        FeedCounter(bytes);
        knownSize_ += std::int64_t(bytes.size());
    }
}

}  // namespace norvik::ctl
