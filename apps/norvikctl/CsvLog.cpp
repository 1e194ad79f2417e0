#include "apps/norvikctl/CsvLog.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/LogRows.h"
#include "session/TransferOps.h"

namespace norvik::ctl {

namespace {

// What a file of this kind is, for the refusal; empty when it can take a log.
const char* RefusedKind(mode_t mode)
{
    if (S_ISREG(mode) || S_ISFIFO(mode) || S_ISCHR(mode))
        return "";
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a file";
}

// Holds an exclusive flock for its lifetime. A file system without locks
// still gets the rows, each in one append write.
class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd)
    {
        int result;
        do
            result = ::flock(fd_, LOCK_EX);
        while (result != 0 && errno == EINTR);
        locked_ = result == 0;
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock()
    {
        if (locked_)
            ::flock(fd_, LOCK_UN);
    }

private:
    int fd_;
    bool locked_;
};

// Keeps SIGPIPE from ending the process while this thread writes: a FIFO
// whose reader went away gives EPIPE, reported as a failed write. A SIGPIPE
// the write raised is taken before the old signal mask returns.
class PipeSignalHeld {
public:
    PipeSignalHeld()
    {
        ::sigemptyset(&pipe_);
        ::sigaddset(&pipe_, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;
    ~PipeSignalHeld()
    {
        sigset_t pending;
        if (!::sigismember(&old_, SIGPIPE) && ::sigpending(&pending) == 0 && ::sigismember(&pending, SIGPIPE)) {
            const timespec now{};
            ::sigtimedwait(&pipe_, nullptr, &now);
        }
        ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t pipe_;
    sigset_t old_;
};

// 0, or the errno of the write that failed.
int WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += std::size_t(n);
    }
    return 0;
}

std::string Describe(int error) { return std::strerror(error); }

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

CsvLog::Descriptor::~Descriptor()
{
    if (fd >= 0)
        ::close(fd);
}

CsvLog::CsvLog(Runtime& runtime, const std::string& path)
    : runtime_(runtime),
      path_(path),
      header_(LineBytes(runtime, LogColumnTitles())),
      rows_(std::string_view(header_).substr(0, header_.size() - 2))
{
    const std::string refusal = "norvikctl: cannot log to " + path + ": it is ";
    struct stat status {};
    const bool exists = ::stat(path.c_str(), &status) == 0;
    if (exists && *RefusedKind(status.st_mode) != '\0')
        FailRequest(refusal + RefusedKind(status.st_mode));

    // Never wait in open: a FIFO without a reader answers ENXIO, a terminal
    // line does not wait for its carrier.
    const bool stream = exists && !S_ISREG(status.st_mode);
    const int flags = (stream ? O_WRONLY : O_RDWR | O_CREAT) | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    file_.fd = ::open(path.c_str(), flags, 0666);
    if (file_.fd < 0 && errno == ENXIO && stream && S_ISFIFO(status.st_mode))
        FailRequest(refusal + "a FIFO that no process reads");
    if (file_.fd < 0)
        FailRequest("norvikctl: cannot open the log file " + path + ": " + Describe(errno));
    // Writes wait for a slow reader instead of failing with EAGAIN.
    const int open = ::fcntl(file_.fd, F_GETFL);
    if (open < 0 || ::fcntl(file_.fd, F_SETFL, open & ~O_NONBLOCK) != 0 || ::fstat(file_.fd, &status) != 0)
        FailRequest("norvikctl: cannot open the log file " + path + ": " + Describe(errno));
    if (*RefusedKind(status.st_mode) != '\0')
        FailRequest(refusal + RefusedKind(status.st_mode));
    regular_ = S_ISREG(status.st_mode);
    if (regular_ == stream)
        FailRequest("norvikctl: cannot log to " + path + ": it was replaced while it was opened");

    FileLock lock(file_.fd);
    Write(regular_ ? LookAgain() : header_);
}

// Counts what was appended since the last look and returns what must be
// written before the next row. Called with the lock held.
std::string CsvLog::LookAgain()
{
    struct stat status {};
    if (::fstat(file_.fd, &status) != 0)
        FailRequest("norvikctl: cannot read the log file " + path_ + ": " + Describe(errno));
    if (std::int64_t(status.st_size) < knownSize_) {  // emptied or cut: count afresh
        rows_ = LogRowCounter(std::string_view(header_).substr(0, header_.size() - 2));
        knownSize_ = 0;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::pread(file_.fd, chunk, sizeof chunk, off_t(knownSize_));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            FailRequest("norvikctl: cannot read the log file " + path_ + ": " + Describe(errno));
        if (n == 0)
            break;
        rows_.Feed(std::string_view(chunk, std::size_t(n)));
        knownSize_ += n;
    }
    const LogRows rows = rows_.Result();
    if (rows.kind == LogRows::Kind::Other)
        FailRequest("norvikctl: " + path_ +
                    " is not a transfer log (its first line is not the log's header); it is left unchanged");
    nextLine_ = rows.records + 1;
    return rows.kind == LogRows::Kind::Empty ? header_ : std::string(rows.lineBreak);
}

void CsvLog::Append(const std::vector<std::wstring>& cells)
{
    FileLock lock(file_.fd);
    const std::string before = regular_ ? LookAgain() : std::string();
    std::vector<std::wstring> row = cells;
    if (!row.empty())
        row[0] = std::to_wstring(nextLine_);
    Write(before + LineBytes(runtime_, row));
    ++nextLine_;
}

// Called with the lock held; for a regular file knownSize_ is its size.
void CsvLog::Write(const std::string& bytes)
{
    if (bytes.empty())
        return;
    int error;
    {
        PipeSignalHeld held;
        error = WriteAll(file_.fd, bytes);
    }
    if (error != 0) {
        // No part of the row stays behind to be glued to the next one.
        if (regular_)
            while (::ftruncate(file_.fd, off_t(knownSize_)) != 0 && errno == EINTR) {
            }
        FailRequest("norvikctl: cannot write the log file " + path_ + ": " + Describe(error));
    }
    if (regular_) {
        rows_.Feed(bytes);
        knownSize_ += std::int64_t(bytes.size());
    }
}

}  // namespace norvik::ctl
