// What --log does with each kind of file it may be given, with files that
// are not (or no longer quite) transfer logs, and with several runs logging
// to one file at once.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CtlRunner.h"
#include "apps/norvikctl/CsvLog.h"
#include "apps/norvikctl/CtlError.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik::testing {
namespace {

const std::string kHeader = "Line, Direct, Data(HEX), Data(String), Device, XU guid, \r\n";
const std::string kGuidA = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
// What `get --device 0 --unit 1 --cs 1` logs after its line number.
const std::string kRowTail = ", GET CS=1, 78 79 7A, xyz, Bench Camera, " + kGuidA + ", \r\n";

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

class LogFileTest : public CtlTest {
protected:
    void SetUp() override
    {
        CtlTest::SetUp();
        bench_ = WriteFile("bench.json", kBenchScenario);
    }

    CtlResult Get(const std::string& logPath, const std::string& repeat = "1") const
    {
        return Run({"get", "--device", "0", "--unit", "1", "--cs", "1", "--repeat", repeat, "--log", logPath},
                   bench_);
    }

    std::string bench_;
};

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
    const CtlResult discarded = RunShell(cap + CtlCommand(zero, bench_) + " >ctl.out 2>ctl.err");
    EXPECT_EQ(discarded.status, 0) << discarded.err;
    EXPECT_EQ(discarded.out, "78 79 7A\n");

    // A device that refuses the bytes fails the command.
    std::vector<std::string> full = args;
    full.push_back("/dev/full");
    const CtlResult refused = RunShell(cap + CtlCommand(full, bench_) + " >ctl.out 2>ctl.err");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("norvikctl: cannot write the log file /dev/full: No space left on device"),
              std::string::npos)
        << refused.err;
}

TEST_F(LogFileTest, WhatCannotHoldALogIsRefusedByKind)
{
    std::filesystem::create_directory(Path("logs"));
    const CtlResult directory = Get(Path("logs").string());
    EXPECT_EQ(directory.status, 1);
    EXPECT_NE(directory.err.find("cannot log to " + Path("logs").string() + ": it is a directory"),
              std::string::npos)
        << directory.err;

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

TEST_F(LogFileTest, AFileThatIsNotATransferLogIsRefusedAndLeftAlone)
{
    for (const std::string& text : {std::string("hello world"), std::string("Line, Direct\r\n"),
                                    kHeader.substr(0, kHeader.size() - 2) + "Comment, \r\n"}) {
        const std::string path = WriteFile("notes.csv", text);
        const CtlResult result = Get(path);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "") << "no transfer is made";
        EXPECT_NE(result.err.find("norvikctl: " + path + " is not a transfer log"), std::string::npos)
            << result.err;
        EXPECT_EQ(ReadFileBytes(path), text);
    }
}

TEST_F(LogFileTest, OnlyWholeRowsAreCountedAndACutRowIsEnded)
{
    // The last row was cut by a failed write: it is ended, not counted.
    const std::string cut = kHeader + "1" + kRowTail + "2, GET CS=1, 78 7";
    const std::string path = WriteFile("cut.csv", cut);
    ASSERT_EQ(Get(path).status, 0);
    ASSERT_EQ(Get(path).status, 0);
    EXPECT_EQ(ReadFileBytes(path), cut + "\r\n" + "2" + kRowTail + "3" + kRowTail);

    // A header ended by a line feed alone, and a file cut between CR and LF.
    const std::string lfHeader = kHeader.substr(0, kHeader.size() - 2) + "\n1" + kRowTail + "2" +
                                 kRowTail.substr(0, kRowTail.size() - 1);
    WriteFile("lf.csv", lfHeader);
    ASSERT_EQ(Get(Path("lf.csv").string()).status, 0);
    EXPECT_EQ(ReadFileBytes(Path("lf.csv")), lfHeader + "\n3" + kRowTail);

    // A value whose text holds CR LF and what follows looks like the start
    // of the next row: the row is still one row.
    std::string scenario = kBenchScenario;
    const std::string control = R"("2": {"length": 4, "value": "41 0D 0A 42"})";
    const std::size_t at = scenario.find(control);
    ASSERT_NE(at, std::string::npos);
    // "A" CR LF "2, GET CS=1, B"
    scenario.insert(at + control.size(),
                    R"(, "3": {"length": 17, "value": "41 0D 0A 32 2C 20 47 45 54 20 43 53 3D 31 2C 20 42"})");
    const std::string tricky = WriteFile("tricky.json", scenario);
    const std::vector<std::string> getTricky = {"get", "--device", "0", "--unit", "1", "--cs", "3", "--log",
                                                "tricky.csv"};
    ASSERT_EQ(Run(getTricky, tricky).status, 0);
    ASSERT_EQ(Run(getTricky, tricky).status, 0);
    const std::string log = ReadFileBytes(Path("tricky.csv"));
    EXPECT_NE(log.find("\r\n2, GET CS=3, 41 0D 0A 32"), std::string::npos) << log;
    EXPECT_EQ(log.find("\r\n3, GET CS=3"), std::string::npos) << log;
}

TEST_F(LogFileTest, RunsLoggingToOneFileAtOnceKeepEveryRowWholeAndNumbered)
{
    const std::vector<std::string> get = {"get", "--device", "0", "--unit", "1", "--cs", "1", "--repeat", "300",
                                          "--log", "shared.csv"};
    const std::string one = CtlCommand(get, bench_) + " >/dev/null 2>>ctl.err";
    const CtlResult both = RunShell("(" + one + " & " + one + " & " + one + " & wait)");
    EXPECT_EQ(both.err, "");
    const std::string log = ReadFileBytes(Path("shared.csv"));
    ASSERT_EQ(log.compare(0, kHeader.size(), kHeader), 0) << log.substr(0, 200);
    std::string expected = kHeader;
    for (int line = 1; line <= 900; ++line)
        expected += std::to_string(line) + kRowTail;
    EXPECT_TRUE(log == expected) << "rows torn or misnumbered; first difference at byte "
                                 << std::distance(log.begin(), std::mismatch(log.begin(), log.end(),
                                                                              expected.begin(), expected.end())
                                                                    .first);
}

// The log writer in this process, for failures a separate run cannot be
// made to meet at the right moment.
class CsvLogTest : public CtlTest {
protected:
    FakeRuntime runtime_;
    const std::vector<std::wstring> row_ = {L"1", L"GET CS=1", L"78 79 7A", L"xyz", L"Bench Camera", L"{x}"};
};

TEST_F(CsvLogTest, AFailedWriteLeavesNoPartOfItsRow)
{
    const std::string path = WriteFile("full.csv", kHeader + "1, GET CS=1, 78 79 7A, xyz, Bench Camera, {x}, \r\n");
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

// A row or header the code page refuses stops the run with the reason, as
// a failed step does, and leaves the file as it was.
TEST_F(CsvLogTest, ARefusedConversionStopsTheRunAndWritesNothing)
{
    const std::string path = WriteFile("log.csv", kHeader);
    ctl::CsvLog log(runtime_, path);
    runtime_.SetRefuseConversions(true);
    const std::string refused = "norvikctl: a text conversion failed: the text cannot be converted to the ANSI code page";
    try {
        log.Append(row_);
        ADD_FAILURE() << "the row was written";
    } catch (const ctl::CtlError& error) {
        EXPECT_EQ(error.exitCode, ctl::kExitFailed);
        EXPECT_EQ(error.message, refused);
    }
    EXPECT_EQ(ReadFileBytes(path), kHeader);

    const std::string fresh = Path("fresh.csv").string();
    try {
        ctl::CsvLog refusedLog(runtime_, fresh);
        ADD_FAILURE() << "the header was written";
    } catch (const ctl::CtlError& error) {
        EXPECT_EQ(error.message, refused);
    }
    EXPECT_FALSE(std::filesystem::exists(fresh));
}

}  // namespace
}  // namespace norvik::testing
