#include "apps/norvikctl/CsvLog.h"

#include <cerrno>
#include <cstring>

#include "apps/norvikctl/CtlError.h"
#include "session/TransferOps.h"

namespace norvik::ctl {

unsigned CountLoggedRecords(std::string_view contents)
{
    unsigned records = 0;
    std::size_t start = contents.find("\r\n");  // the header ends here
    while (start != std::string_view::npos) {
        start += 2;
        const std::string expected = std::to_string(records + 1) + ", ";
        if (contents.substr(start, expected.size()) == expected)
            ++records;
        start = contents.find("\r\n", start);
    }
    return records;
}

namespace {

std::string ReadWholeFile(std::FILE* file)
{
    std::string contents;
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        contents.append(chunk, n);
    return contents;
}

}  // namespace

CsvLog::CsvLog(Runtime& runtime, const std::string& path) : runtime_(runtime), path_(path)
{
    file_.reset(std::fopen(path.c_str(), "a+b"));
    if (!file_)
        FailRequest("norvikctl: cannot open the log file " + path + ": " + std::strerror(errno));
    // Reading an "a+" stream starts at the beginning; writes always append.
    const std::string contents = ReadWholeFile(file_.get());
    if (contents.empty())
        Write(CsvLine(runtime_, LogColumnTitles()));
    else
        nextLine_ = CountLoggedRecords(contents) + 1;
}

void CsvLog::Append(const std::vector<std::wstring>& cells)
{
    Write(CsvLine(runtime_, cells));
    ++nextLine_;
}

void CsvLog::Write(const std::string& bytes)
{
    std::fseek(file_.get(), 0, SEEK_END);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size() ||
        std::fflush(file_.get()) != 0)
        FailRequest("norvikctl: cannot write the log file " + path_ + ": " + std::strerror(errno));
}

}  // namespace norvik::ctl
