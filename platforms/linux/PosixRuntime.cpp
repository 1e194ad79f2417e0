#include "platforms/linux/PosixRuntime.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "runtime/ProfileFile.h"
#include "runtime/SpinWait.h"
#include "runtime/Utf8.h"

extern char** environ;

namespace norvik {

namespace {

constexpr std::intptr_t kShellOpened = 42;
constexpr std::intptr_t kShellFileNotFound = 2;    // SE_ERR_FNF
constexpr std::intptr_t kShellNoAssociation = 31;  // SE_ERR_NOASSOC

struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file != nullptr)
            std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct DescriptorCloser {
    int fd = -1;
    ~DescriptorCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

class PosixOutputFile final : public OutputFile {
public:
    explicit PosixOutputFile(FilePtr file) : file_(std::move(file)) {}

    bool Write(const void* data, std::size_t size) override
    {
        if (!file_)
            return false;
        return size == 0 || std::fwrite(data, 1, size, file_.get()) == size;
    }

    bool Close() override
    {
        if (!file_)
            return false;
        std::FILE* file = file_.release();
        const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
        const bool closed = std::fclose(file) == 0;
        return flushed && closed;
    }

private:
    FilePtr file_;
};

// The file's bytes; nullopt when it cannot be read. A missing file reads as
// empty, as a missing settings file does on Windows.
std::optional<std::string> ReadWholeFile(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    std::string bytes;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, n);
    if (std::ferror(file.get()))
        return std::nullopt;
    return bytes;
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

// The file a settings write goes to: the target of a symbolic link (the link
// stays a link), or the path itself when it does not exist yet.
std::string WriteTarget(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// An existing file that may not be written (no write permission bit, which
// is the read-only attribute here, or no write access for this user) makes
// the write fail and stays as it is, as WritePrivateProfileString fails on a
// read-only file; renaming a new file over it would replace it regardless.
bool MayOverwrite(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    DescriptorCloser probe{::open(path.c_str(), O_WRONLY | O_CLOEXEC)};
    return probe.fd >= 0;
}

// Replaces the file with new contents in one step: the bytes go to a
// temporary file beside it, which is then renamed over it. Readers see the
// old file or the new one, never a half-written one.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes)
{
    std::string tempPath = path + ".XXXXXX";
    DescriptorCloser temp{::mkstemp(tempPath.data())};
    if (temp.fd < 0)
        return false;
    // An existing file keeps its permissions; a new one is readable by all
    // and writable by its owner.
    struct stat existing {};
    const mode_t mode =
        ::stat(path.c_str(), &existing) == 0 ? mode_t(existing.st_mode & 07777) : mode_t(0644);
    bool ok = ::fchmod(temp.fd, mode) == 0 && WriteAll(temp.fd, bytes) && ::fsync(temp.fd) == 0;
    ok = (::close(temp.fd) == 0) && ok;
    temp.fd = -1;
    if (ok && ::rename(tempPath.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(tempPath.c_str());
    return false;
}

ProfileFile LoadProfile(const std::wstring& path, AnsiCodePage* ansi)
{
    const std::optional<std::string> bytes = ReadWholeFile(WideToUtf8(path));
    return bytes ? ProfileFile::FromBytes(*bytes, ansi) : ProfileFile();
}

}  // namespace

PosixRuntime::PosixRuntime() : PosixRuntime(Options{}) {}

PosixRuntime::PosixRuntime(Options options)
    : options_(std::move(options)),
      codePage_(MakeAnsiCodePage()),
      errorLanguage_(
          ErrorTextLanguageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")))
{
}

PosixRuntime::~PosixRuntime() = default;

void PosixRuntime::WriteDiagnostic(std::string_view bytes)
{
    if (!consoleOpen_.load() || bytes.empty())
        return;
    if (options_.diagnosticSink) {
        options_.diagnosticSink(bytes);
        return;
    }
    if (options_.diagnostics == nullptr)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), options_.diagnostics);
    std::fflush(options_.diagnostics);
}

void PosixRuntime::WriteDiagnosticWide(std::wstring_view text)
{
    if (!consoleOpen_.load())
        return;
    WriteDiagnostic(WideToUtf8(text));
}

bool PosixRuntime::OpenConsole()
{
    consoleOpen_.store(true);
    return true;
}

std::uint32_t PosixRuntime::TickCount()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = std::uint64_t(now.tv_sec) * 1000u + std::uint64_t(now.tv_nsec) / 1000000u;
    return std::uint32_t(ms);  // wraps at 2^32 like GetTickCount
}

void PosixRuntime::Sleep(std::uint32_t milliseconds)
{
    timespec request{time_t(milliseconds / 1000u), long(milliseconds % 1000u) * 1000000L};
    timespec remaining{};
    while (::nanosleep(&request, &remaining) != 0 && errno == EINTR)
        request = remaining;
}

namespace {

long Futex(const std::atomic<std::uint32_t>& word, int operation, std::uint32_t value,
           const timespec* timeout)
{
    static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
    return ::syscall(SYS_futex, reinterpret_cast<const std::uint32_t*>(&word), operation | FUTEX_PRIVATE_FLAG,
                     value, timeout, nullptr, 0);
}

std::int64_t MonotonicNanoseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

bool PosixRuntime::WaitForValue(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                                std::uint32_t milliseconds)
{
    if (SpinUntilChanged(word, expected, kHandOffSpinChecks))
        return true;
    const std::int64_t deadline = MonotonicNanoseconds() + std::int64_t(milliseconds) * 1000000;
    for (;;) {
        const std::int64_t left = deadline - MonotonicNanoseconds();
        if (left <= 0)
            return word.load(std::memory_order_acquire) != expected;
        const timespec timeout{time_t(left / 1000000000), long(left % 1000000000)};
        // Returns at once (EAGAIN) when the word has already changed; a wake
        // or a signal (EINTR) may come without a change, so look again.
        Futex(word, FUTEX_WAIT, expected, &timeout);
        if (word.load(std::memory_order_acquire) != expected)
            return true;
    }
}

void PosixRuntime::WakeValue(std::atomic<std::uint32_t>& word) { Futex(word, FUTEX_WAKE, 1, nullptr); }

LocalTime PosixRuntime::Now()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    const time_t seconds = now.tv_sec;
    ::localtime_r(&seconds, &local);
    LocalTime time;
    time.year = std::uint16_t(local.tm_year + 1900);
    time.month = std::uint16_t(local.tm_mon + 1);
    time.dayOfWeek = std::uint16_t(local.tm_wday);  // 0 = Sunday, as in SYSTEMTIME
    time.day = std::uint16_t(local.tm_mday);
    time.hour = std::uint16_t(local.tm_hour);
    time.minute = std::uint16_t(local.tm_min);
    time.second = std::uint16_t(local.tm_sec > 59 ? 59 : local.tm_sec);
    time.milliseconds = std::uint16_t(now.tv_nsec / 1000000L);
    return time;
}

int PosixRuntime::ReadProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                                 const std::wstring& path)
{
    return LoadProfile(path, codePage_.get()).ReadInt(section, key, defaultValue);
}

std::wstring PosixRuntime::ReadProfileString(const std::wstring& section, const std::wstring& key,
                                             const std::wstring& defaultValue, std::size_t bufferChars,
                                             const std::wstring& path)
{
    return LoadProfile(path, codePage_.get()).ReadString(section, key, defaultValue, bufferChars);
}

bool PosixRuntime::WriteProfileString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& value, const std::wstring& path)
{
    const std::string target = WriteTarget(WideToUtf8(path));
    if (!MayOverwrite(target))
        return false;
    const std::optional<std::string> bytes = ReadWholeFile(target);
    if (!bytes)
        return false;  // an unreadable file is not overwritten
    ProfileFile profile = ProfileFile::FromBytes(*bytes, codePage_.get());
    profile.WriteString(section, key, value);
    const std::optional<std::string> updated = profile.ToBytes(codePage_.get());
    return updated && ReplaceFileAtomically(target, *updated);
}

std::wstring PosixRuntime::ModulePath()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::wstring();
        if (std::size_t(n) < buffer.size())
            return Utf8ToWide(std::string_view(buffer.data(), std::size_t(n)));
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> PosixRuntime::WideToAnsi(std::wstring_view text)
{
    return codePage_->WideToAnsi(text);
}

std::optional<std::wstring> PosixRuntime::AnsiToWide(std::string_view bytes)
{
    return codePage_->AnsiToWide(bytes);
}

std::optional<std::wstring> PosixRuntime::SystemErrorTextWide(std::uint32_t code)
{
    const std::optional<std::wstring_view> text = SystemErrorMessage(code, errorLanguage_);
    return text ? std::optional<std::wstring>(*text) : std::nullopt;
}

std::optional<std::string> PosixRuntime::SystemErrorText(std::uint32_t code)
{
    const std::optional<std::wstring_view> text = SystemErrorMessage(code, errorLanguage_);
    if (!text)
        return std::nullopt;
    return codePage_->WideToAnsi(*text);
}

std::unique_ptr<OutputFile> PosixRuntime::CreateOutputFile(const std::wstring& name)
{
    FilePtr file(std::fopen(WideToUtf8(name).c_str(), "wb"));
    if (!file)
        return nullptr;
    return std::make_unique<PosixOutputFile>(std::move(file));
}

bool PosixRuntime::RemoveFile(const std::wstring& name) { return ::unlink(WideToUtf8(name).c_str()) == 0; }

std::intptr_t PosixRuntime::ShellOpen(const std::wstring& target)
{
    // No shell: the target is passed as one argument, whatever it contains.
    std::string opener = options_.opener;
    std::string argument = WideToUtf8(target);
    char* argv[] = {opener.data(), argument.data(), nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, opener.c_str(), nullptr, nullptr, argv, environ);
    if (spawned != 0)
        return spawned == ENOENT ? kShellFileNotFound : kShellNoAssociation;
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != child || !WIFEXITED(status))
        return kShellNoAssociation;
    switch (WEXITSTATUS(status)) {
    case 0:
        return kShellOpened;
    case 2:
        return kShellFileNotFound;
    default:
        return kShellNoAssociation;
    }
}

void PosixRuntime::Beep(std::uint32_t)
{
    if (::isatty(STDERR_FILENO) == 1) {
        static const char bell = '\a';
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, &bell, 1);
    }
}

}  // namespace norvik
