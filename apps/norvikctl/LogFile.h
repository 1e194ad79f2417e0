#pragma once
// The --log file's handle, one source file per system (LogFilePosix.cpp,
// LogFileWin32.cpp). A regular file is opened for reading and appending; a
// FIFO, a terminal or another character device for writing only, without
// waiting for a reader. What cannot hold a log is refused with exit status 1
// ("norvikctl: cannot log to PATH: it is a directory").

#include <cstdint>
#include <string>

namespace norvik::ctl {

class LogFile {
public:
    explicit LogFile(const std::string& path);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // A regular file, which is read back; otherwise a stream.
    bool Regular() const { return regular_; }

    // Holds the file's exclusive lock for its lifetime. A file system
    // without locks still gets the rows, each in one append write.
    class Lock {
    public:
        explicit Lock(LogFile& file);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        LogFile& file_;
        bool locked_ = false;
    };

    // A regular file's size; fails with exit status 1.
    std::int64_t Size();
    // Up to size bytes from offset, 0 at the end; fails with exit status 1.
    std::size_t ReadAt(std::int64_t offset, char* buffer, std::size_t size);
    // Appends every byte; empty, or why the write failed.
    std::string Append(const std::string& bytes);
    // Cuts a regular file back to size (what a failed write left).
    void Truncate(std::int64_t size);

private:
    std::string path_;
    bool regular_ = false;
    std::intptr_t handle_ = -1;  // a descriptor, or a Windows handle
};

}  // namespace norvik::ctl
