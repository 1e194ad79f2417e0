// The --log file on Windows. A file on a disk is opened for reading and
// writing, shared with other runs, and every row is written at its end
// under an exclusive lock of the whole file (LockFileEx). A character
// device (NUL, a console) or a pipe is written without reading.
#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/LogFile.h"
#include "platforms/win32/WindowsApi.h"
#include "runtime/Utf8.h"

namespace norvik::ctl {

namespace {

HANDLE HandleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The system's text for an error code, without its final line end.
std::string Describe(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 && text ? std::wstring(text, length) : std::wstring();
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    if (message.empty())
        return "error " + std::to_string(error);
    return WideToUtf8(message);
}

}  // namespace

LogFile::LogFile(const std::string& path) : path_(path)
{
    const std::wstring name = Utf8ToWide(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        FailRequest("norvikctl: cannot log to " + path + ": it is a directory");
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        FailRequest("norvikctl: cannot open the log file " + path + ": " + Describe(::GetLastError()));
    handle_ = reinterpret_cast<std::intptr_t>(file);
    const DWORD type = ::GetFileType(file);
    if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR)
        FailRequest("norvikctl: cannot open the log file " + path + ": " + Describe(::GetLastError()));
    regular_ = type == FILE_TYPE_DISK;
}

LogFile::~LogFile()
{
    if (handle_ != -1)
        ::CloseHandle(HandleOf(handle_));
}

LogFile::Lock::Lock(LogFile& file) : file_(file)
{
    if (!file_.regular_)
        return;
    OVERLAPPED whole{};
    locked_ = ::LockFileEx(HandleOf(file_.handle_), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) !=
              FALSE;
}

LogFile::Lock::~Lock()
{
    if (!locked_)
        return;
    OVERLAPPED whole{};
    ::UnlockFileEx(HandleOf(file_.handle_), 0, MAXDWORD, MAXDWORD, &whole);
}

std::int64_t LogFile::Size()
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(HandleOf(handle_), &size))
        FailRequest("norvikctl: cannot read the log file " + path_ + ": " + Describe(::GetLastError()));
    return size.QuadPart;
}

std::size_t LogFile::ReadAt(std::int64_t offset, char* buffer, std::size_t size)
{
    OVERLAPPED at{};
    at.Offset = DWORD(std::uint64_t(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(std::uint64_t(offset) >> 32);
    DWORD got = 0;
    if (!::ReadFile(HandleOf(handle_), buffer, DWORD(size), &got, &at)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return 0;
        FailRequest("norvikctl: cannot read the log file " + path_ + ": " + Describe(error));
    }
    return got;
}

std::string LogFile::Append(const std::string& bytes)
{
    const HANDLE file = HandleOf(handle_);
    // Under the lock the end does not move: every run writes there only.
    if (regular_) {
        if (!::SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END))
            return Describe(::GetLastError());
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, DWORD(bytes.size() - done), &written, nullptr))
            return Describe(::GetLastError());
        if (written == 0)
            return Describe(ERROR_WRITE_FAULT);
        done += written;
    }
    return std::string();
}

void LogFile::Truncate(std::int64_t size)
{
    LARGE_INTEGER at{};
    at.QuadPart = size;
    if (::SetFilePointerEx(HandleOf(handle_), at, nullptr, FILE_BEGIN))
        ::SetEndOfFile(HandleOf(handle_));
}

}  // namespace norvik::ctl
