#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/LogFile.h"

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
        if (!::sigismember(&old_, SIGPIPE) && ::sigpending(&pending) == 0 &&
            ::sigismember(&pending, SIGPIPE)) {
            const timespec now{};
            ::sigtimedwait(&pipe_, nullptr, &now);
        }
        ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t pipe_;
    sigset_t old_;
};

std::string Describe(int error) { return std::strerror(error); }

}  // namespace

LogFile::LogFile(const std::string& path) : path_(path)
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
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0 && errno == ENXIO && stream && S_ISFIFO(status.st_mode))
        FailRequest(refusal + "a FIFO that no process reads");
    if (fd < 0)
        FailRequest("norvikctl: cannot open the log file " + path + ": " + Describe(errno));
    handle_ = fd;
    // Writes wait for a slow reader instead of failing with EAGAIN.
    const int open = ::fcntl(fd, F_GETFL);
    if (open < 0 || ::fcntl(fd, F_SETFL, open & ~O_NONBLOCK) != 0 || ::fstat(fd, &status) != 0)
        FailRequest("norvikctl: cannot open the log file " + path + ": " + Describe(errno));
    if (*RefusedKind(status.st_mode) != '\0')
        FailRequest(refusal + RefusedKind(status.st_mode));
    regular_ = S_ISREG(status.st_mode);
    if (regular_ == stream)
        FailRequest("norvikctl: cannot log to " + path + ": it was replaced while it was opened");
}

LogFile::~LogFile()
{
    if (handle_ >= 0)
        ::close(int(handle_));
}

LogFile::Lock::Lock(LogFile& file) : file_(file)
{
    int result;
    do
        result = ::flock(int(file_.handle_), LOCK_EX);
    while (result != 0 && errno == EINTR);
    locked_ = result == 0;
}

LogFile::Lock::~Lock()
{
    if (locked_)
        ::flock(int(file_.handle_), LOCK_UN);
}

std::int64_t LogFile::Size()
{
    struct stat status {};
    if (::fstat(int(handle_), &status) != 0)
        FailRequest("norvikctl: cannot read the log file " + path_ + ": " + Describe(errno));
    return std::int64_t(status.st_size);
}

std::size_t LogFile::ReadAt(std::int64_t offset, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::pread(int(handle_), buffer, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            FailRequest("norvikctl: cannot read the log file " + path_ + ": " + Describe(errno));
        return std::size_t(n);
    }
}

std::string LogFile::Append(const std::string& bytes)
{
    PipeSignalHeld held;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(int(handle_), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Describe(errno);
        if (n == 0)
            return Describe(EIO);
        done += std::size_t(n);
    }
    return std::string();
}

void LogFile::Truncate(std::int64_t size)
{
    while (::ftruncate(int(handle_), off_t(size)) != 0 && errno == EINTR) {
    }
}

}  // namespace norvik::ctl
