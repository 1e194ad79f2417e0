// norvikctl.exe where Windows differs from a POSIX system: the device a log
// may be written to without reading is NUL, and the tests of
// NorvikctlPosixTest.cpp that need what Windows lacks are skipped here with
// the reason, so that a run of the suite lists them.
#include <gtest/gtest.h>

#include "LogFileTest.h"

namespace norvik::testing {
namespace {

TEST_F(LogFileTest, TheNulDeviceIsWrittenWithoutReading)
{
    const CtlResult result = Get("NUL", "2");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "78 79 7A\n78 79 7A\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(LogFileTest, AFifoIsWrittenWithoutReadingAndOneNobodyReadsIsRefused)
{
    GTEST_SKIP() << "Windows has no FIFO in the file system (named pipes live in their own namespace)";
}

TEST_F(LogFileTest, ATerminalOrOtherCharacterDeviceIsWrittenWithoutReading)
{
    GTEST_SKIP() << "Windows has no pseudo-terminals; the NUL device stands for the character devices";
}

TEST_F(LogFileTest, ASocketOrABlockDeviceIsRefused)
{
    GTEST_SKIP() << "Windows has neither sockets nor block devices as file-system nodes";
}

TEST_F(LogFileTest, OutputThatCannotBeWrittenFailsTheCommand)
{
    GTEST_SKIP() << "Windows has no device like /dev/full that refuses every write";
}

TEST_F(CsvLogTest, AFailedWriteLeavesNoPartOfItsRow)
{
    GTEST_SKIP() << "Windows has no file size limit (RLIMIT_FSIZE) to make a write fail half-way";
}

TEST_F(CsvLogTest, AFifoWhoseReaderLeftFailsTheWriteInsteadOfEndingTheProcess)
{
    GTEST_SKIP() << "Windows has no FIFO in the file system and no SIGPIPE";
}

}  // namespace
}  // namespace norvik::testing
