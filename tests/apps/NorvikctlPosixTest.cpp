// What only a POSIX system can show norvikctl: FIFOs, terminals, sockets
// and block devices as --log files, a file size limit, a reader that goes
// away, and a standard output that refuses every byte.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CtlRunner.h"
#include "LogFileTest.h"
#include "apps/norvikctl/CsvLog.h"
#include "apps/norvikctl/CtlError.h"

namespace norvik::testing {
namespace {

const std::string kBenchUnit = "{11111111-2222-3333-4444-555555555555}";

// The command line that runs norvikctl with these arguments, for a test
// that redirects the output itself or limits the run's resources.
std::string CtlCommand(const std::vector<std::string>& args, const std::string& simulation)
{
    std::string command = "env -u NORVIK_SIMULATION LC_ALL=C NORVIK_SIMULATION=" + ShellQuote(simulation) +
                          " timeout -k 5 60 " + ShellQuote(NORVIKCTL_PATH);
    for (const std::string& arg : args)
        command += " " + ShellQuote(arg);
    return command;
}

// Runs a shell command in the scratch directory; ctl.out and ctl.err are
// read back as the output when the command writes them.
CtlResult RunShell(const CtlTest& test, const std::string& shellCommand)
{
    std::error_code ignored;
    std::filesystem::remove(test.ScratchPath("ctl.out"), ignored);
    std::filesystem::remove(test.ScratchPath("ctl.err"), ignored);
    const std::string command = "cd " + ShellQuote(test.ScratchPath("").string()) + " && " + shellCommand;
    const int wait = std::system(command.c_str());
    CtlResult result;
    result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    result.out = ReadFileBytes(test.ScratchPath("ctl.out"));
    result.err = ReadFileBytes(test.ScratchPath("ctl.err"));
    SplitAnnouncement(result);
    return result;
}

// Closes a descriptor the test opened.
struct Fd {
    int fd = -1;
    explicit Fd(int value) : fd(value) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Everything a non-blocking descriptor holds now; never waits.
std::string DrainNow(int fd)
{
    std::string bytes;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, std::size_t(n));
    return bytes;
}

// What a descriptor delivers until it holds `size` bytes; waits for each
// delivery (a terminal hands written bytes on to its master side a moment
// later), at most 10 s for the next one.
std::string ReadUntil(int fd, std::size_t size)
{
    std::string bytes;
    pollfd ready{fd, POLLIN, 0};
    while (bytes.size() < size && ::poll(&ready, 1, 10000) == 1) {
        const std::string more = DrainNow(fd);
        if (more.empty())
            break;
        bytes += more;
    }
    return bytes;
}

TEST_F(LogFileTest, AFifoIsWrittenWithoutReadingAndOneNobodyReadsIsRefused)
{
    const std::string fifo = Path("rows.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const CtlResult unread = Get(fifo);
    EXPECT_EQ(unread.status, 1);
    EXPECT_EQ(unread.out, "");
    EXPECT_NE(unread.err.find("norvikctl: cannot log to " + fifo + ": it is a FIFO that no process reads"),
              std::string::npos)
        << unread.err;

    // With a reader the rows stream through, numbered from 1 under a header
    // of their own.
    Fd reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_GE(reader.fd, 0);
    const CtlResult read = Get(fifo, "2");
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(DrainNow(reader.fd), kHeader + "1" + kRowTail + "2" + kRowTail);
}

TEST_F(LogFileTest, ATerminalOrOtherCharacterDeviceIsWrittenWithoutReading)
{
    Fd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
    ASSERT_GE(master.fd, 0);
    ASSERT_EQ(::grantpt(master.fd), 0);
    ASSERT_EQ(::unlockpt(master.fd), 0);
    const std::string terminal = ::ptsname(master.fd);
    // Held open so that the terminal stays up; raw, so that the bytes reach
    // the master side unchanged.
    Fd slave(::open(terminal.c_str(), O_RDWR | O_NOCTTY));
    ASSERT_GE(slave.fd, 0);
    termios mode{};
    ASSERT_EQ(::tcgetattr(slave.fd, &mode), 0);
    ::cfmakeraw(&mode);
    ASSERT_EQ(::tcsetattr(slave.fd, TCSANOW, &mode), 0);

    const CtlResult onTerminal = Get(terminal);
    EXPECT_EQ(onTerminal.status, 0) << onTerminal.err;
    const std::string expected = kHeader + "1" + kRowTail;
    EXPECT_EQ(ReadUntil(master.fd, expected.size()), expected);

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A reader of /dev/zero never ends: capped, it fails fast instead of
    // filling the machine's memory.
    const std::string cap = "ulimit -v 2000000; ";
#else
    const std::string cap;
#endif
    const std::vector<std::string> args = {"get", "--device", "0", "--unit", "1", "--cs", "1", "--log"};
    std::vector<std::string> zero = args;
    zero.push_back("/dev/zero");
    const CtlResult discarded = RunShell(*this, cap + CtlCommand(zero, bench_) + " >ctl.out 2>ctl.err");
    EXPECT_EQ(discarded.status, 0) << discarded.err;
    EXPECT_EQ(discarded.out, "78 79 7A\n");

    // A device that refuses the bytes fails the command.
    std::vector<std::string> full = args;
    full.push_back("/dev/full");
    const CtlResult refused = RunShell(*this, cap + CtlCommand(full, bench_) + " >ctl.out 2>ctl.err");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("norvikctl: cannot write the log file /dev/full: No space left on device"),
              std::string::npos)
        << refused.err;
}

TEST_F(LogFileTest, ASocketOrABlockDeviceIsRefused)
{
    const std::string socketPath = Path("s").string();
    Fd listener(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener.fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const CtlResult socket = Get(socketPath);
    EXPECT_EQ(socket.status, 1);
    EXPECT_NE(socket.err.find("cannot log to " + socketPath + ": it is a socket"), std::string::npos)
        << socket.err;

    // A block device node of a number no driver serves: nothing could be
    // written even if the node were opened. Making one needs privileges.
    const std::string disk = Path("disk").string();
    if (::mknod(disk.c_str(), S_IFBLK | 0600, ::makedev(241, 250)) == 0) {
        const CtlResult block = Get(disk);
        EXPECT_EQ(block.status, 1);
        EXPECT_NE(block.err.find("cannot log to " + disk + ": it is a block device"), std::string::npos)
            << block.err;
    }
}

TEST_F(CsvLogTest, AFailedWriteLeavesNoPartOfItsRow)
{
    const std::string path =
        WriteFile("full.csv", kHeader + "1, GET CS=1, 78 79 7A, xyz, Bench Camera, {x}, \r\n");
    const std::string before = ReadFileBytes(path);

    ctl::CsvLog log(runtime_, path);
    EXPECT_EQ(log.NextLine(), 2u);
    // Room for a part of the row only.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = before.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    try {
        log.Append(row_);
    } catch (const ctl::CtlError& error) {
        failed = true;
        EXPECT_EQ(error.exitCode, ctl::kExitFailed);
        EXPECT_NE(error.message.find("cannot write the log file"), std::string::npos) << error.message;
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(CsvLogTest, AFifoWhoseReaderLeftFailsTheWriteInsteadOfEndingTheProcess)
{
    const std::string fifo = Path("rows.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reader = std::make_unique<Fd>(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_GE(reader->fd, 0);
    ctl::CsvLog log(runtime_, fifo);
    EXPECT_EQ(DrainNow(reader->fd), kHeader);
    reader.reset();
    try {
        log.Append(row_);
        ADD_FAILURE() << "the write succeeded";
    } catch (const ctl::CtlError& error) {
        EXPECT_NE(error.message.find("Broken pipe"), std::string::npos) << error.message;
    }
}

TEST_F(LogFileTest, OutputThatCannotBeWrittenFailsTheCommand)
{
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", "--json"}, std::vector<std::string>{"discover"},
          std::vector<std::string>{"get", "--guid", kBenchUnit, "--cs", "1"},
          std::vector<std::string>{"--help"}}) {
        const CtlResult result = RunShell(*this, CtlCommand(args, bench) + " >/dev/full 2>ctl.err");
        EXPECT_EQ(result.status, 1) << args[0];
        EXPECT_NE(result.err.find("norvikctl: cannot write standard output: No space left on device"),
                  std::string::npos)
            << args[0] << ": " << result.err;
    }
}

}  // namespace
}  // namespace norvik::testing
