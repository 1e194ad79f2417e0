// norvikctl reads what a script writes exactly: input it would have to
// guess at is refused with exit status 2 before any request reaches a
// camera, and data that does not fit the control is reported.
#include <cstring>

#include <gtest/gtest.h>

#include "CtlRunner.h"

namespace norvik::testing {
namespace {

const std::string kBenchUnit = "{11111111-2222-3333-4444-555555555555}";

class CtlStrictTest : public CtlTest {
protected:
    void SetUp() override
    {
        CtlTest::SetUp();
        bench_ = WriteFile("bench.json", kBenchScenario);
    }

    // Runs with the simulated cameras' requests traced into a fresh file.
    CtlResult Traced(const std::vector<std::string>& args)
    {
        std::error_code ignored;
        std::filesystem::remove(Path("trace"), ignored);
        return Run(args, bench_, {{"NORVIK_SIM_TRACE", Path("trace").string()}});
    }

    std::string Trace() const { return ReadFileBytes(Path("trace")); }

    std::string bench_;
};

std::vector<std::string> SetArgs(std::vector<std::string> tail)
{
    std::vector<std::string> args = {"set", "--guid", kBenchUnit, "--cs", "1"};
    args.insert(args.end(), tail.begin(), tail.end());
    return args;
}

TEST_F(CtlStrictTest, RefusedInputNeverReachesACamera)
{
    // The trace shows requests when there are some: a valid SET probes the
    // length and writes.
    const CtlResult sent = Traced(SetArgs({"--hex", "01 02 03 04 05 06"}));
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_NE(Trace().find("camera 0 set node=1 cs=1 length=6\n"), std::string::npos) << Trace();

    const std::string empty = WriteFile("empty.bin", "");
    const std::string huge = WriteFile("huge.bin", std::string((1 << 20) + 1, 'x'));
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {SetArgs({"--hex", "0x1"}),
         "norvikctl: --hex: \"0x1\" leaves a lone hex digit; write every byte as two "
         "digits (\"0F\", not \"F\")\n"},
        {SetArgs({"--hex", "1 2 3"}), "norvikctl: --hex: \"1\" leaves a lone hex digit"},
        {SetArgs({"--hex", "01", "zz"}),
         "norvikctl: --hex: \"z\" at position 4 is neither a hex digit nor a separator\n"},
        {SetArgs({"--hex", " "}), "norvikctl: --hex: no byte in \" \"\n"},
        {SetArgs({"--data-file", empty}),
         "norvikctl: --data-file: " + empty + " is empty, no byte to send\n"},
        {SetArgs({"--data-file", Path("missing.bin").string()}), "norvikctl: --data-file: cannot open "},
        {SetArgs({"--data-file="}), "norvikctl: --data-file needs a file name\n"},
        {SetArgs({"--data-file", huge}), "norvikctl: --data-file: " + huge + " holds more than 1 MiB"},
        {SetArgs({"--data-file", empty, "--hex", "01"}), "excludes"},
        {{"set", "--guid", kBenchUnit, "--cs", "257", "--hex", "01"},
         "norvikctl: --cs \"257\" is not a control selector: a whole number from 1 to 255, decimal or hex "
         "with 0x\n"},
        {{"get", "--guid", kBenchUnit, "--cs", "2x"}, "norvikctl: --cs \"2x\" is not a control selector"},
        {{"len", "--guid", kBenchUnit, "--cs", "256"}, "norvikctl: --cs \"256\" is not a control selector"},
        {{"info", "--guid", kBenchUnit, "--cs", "1 "}, "norvikctl: --cs \"1 \" is not a control selector"},
        {{"get", "--guid", kBenchUnit, "--cs", "0x00"}, "cs不能为0\n"},
        {{"get", "--guid", kBenchUnit, "--cs", "1", "--out="}, "norvikctl: --out needs a file name\n"},
        {{"--timeout", "0", "get", "--guid", kBenchUnit, "--cs", "1"},
         "norvikctl: --timeout \"0\" is not a time limit: a whole number of milliseconds from 1 to "
         "3600000\n"},
        {{"get", "--guid", kBenchUnit, "--cs", "1", "--timeout", "2s"}, "norvikctl: --timeout \"2s\" is not"},
        {{"get", "--guid", kBenchUnit, "--cs", "1", "--timeout="}, "norvikctl: --timeout \"\" is not"},
    };
    for (const Case& c : cases) {
        const CtlResult result = Traced(c.args);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(c.args);
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(Trace(), "") << ::testing::PrintToString(c.args);
    }
}

TEST_F(CtlStrictTest, HexSelectorsAndPrefixedBytesAreReadAsWritten)
{
    // Selector 2 of the second unit holds four bytes; the decimal and the
    // hex selector read the same control.
    const CtlResult hex = Run({"get", "--device", "0", "--unit", "1", "--cs", "0x02"}, bench_);
    ASSERT_EQ(hex.status, 0) << hex.err;
    EXPECT_EQ(hex.out, "41 0D 0A 42\n");
    EXPECT_EQ(Run({"get", "--device", "0", "--unit", "1", "--cs", "2"}, bench_).out, hex.out);

    const CtlResult prefixed = Traced(SetArgs({"--hex", "0x0102,0x03", "0405", "06", "--verify", "--json"}));
    EXPECT_EQ(prefixed.status, 0) << prefixed.err;
    EXPECT_EQ(prefixed.err, "");  // exactly the control's length: nothing to say
    EXPECT_NE(prefixed.out.find("\"dataHex\":\"01 02 03 04 05 06\""), std::string::npos) << prefixed.out;
}

TEST_F(CtlStrictTest, DataThatDoesNotFitTheControlIsSentAndReported)
{
    const CtlResult shorter = Run(SetArgs({"--hex", "0A 0B"}), bench_);
    EXPECT_EQ(shorter.status, 0);
    EXPECT_EQ(shorter.out, "0A 0B 00 00 00 00\n");
    EXPECT_EQ(shorter.err, "norvikctl: 2 bytes given, the control's length is 6: padded with 4 zero bytes\n");

    const CtlResult longer = Run(SetArgs({"--text", "ABCDEFGH"}), bench_);
    EXPECT_EQ(longer.out, "41 42 43 44 45 46\n");
    EXPECT_EQ(longer.err,
              "norvikctl: 8 bytes given, the control's length is 6: cut, the last 2 bytes are not sent\n");

    // A text counts in the code page's bytes (two for this character).
    const CtlResult wide = Run(SetArgs({"--text", "\xE4\xB8\xAD"}), bench_);
    EXPECT_EQ(wide.out, "D6 D0 00 00 00 00\n");
    EXPECT_EQ(wide.err, "norvikctl: 2 bytes given, the control's length is 6: padded with 4 zero bytes\n");
}

TEST_F(CtlStrictTest, FilesCarryRawBytesBothWays)
{
    // Every byte value, a zero and a line end among them, goes out as it is.
    const std::string data = WriteFile("calibration.bin", std::string("\x00\x0A\xFF\x41\x0D\x42", 6));
    const std::string out = Path("value.bin").string();
    const CtlResult written = Run(SetArgs({"--data-file", data, "--verify"}), bench_);
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "00 0A FF 41 0D 42\n");

    const CtlResult read = Run({"get", "--guid", kBenchUnit, "--cs", "1", "--out", out}, bench_);
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(ReadFileBytes(out), std::string("v1.0\0\0", 6));
    EXPECT_EQ(read.out, "76 31 2E 30 00 00\n");

    // A GET that fails writes no file; one that cannot be written fails.
    const CtlResult failed =
        Run({"get", "--guid", kBenchUnit, "--cs", "3", "--out", Path("none.bin").string()}, bench_);
    EXPECT_EQ(failed.status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("none.bin")));
    const CtlResult unwritable =
        Run({"get", "--guid", kBenchUnit, "--cs", "1", "--out", Path("no/such/dir.bin").string()}, bench_);
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("norvikctl: --out: cannot create "), std::string::npos) << unwritable.err;
}

TEST_F(CtlStrictTest, TheTimeoutSetsHowLongARequestMayTake)
{
    // Selector 4 answers after 600 ms: too late for the dialog's 500 ms.
    const std::vector<std::string> slow = {"get", "--guid", kBenchUnit, "--cs", "4"};
    const CtlResult late = Run(slow, bench_);
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.err, FailureCell("GET数据失败", 0x102) + "\n");

    std::vector<std::string> patient = slow;
    patient.insert(patient.end(), {"--timeout", "5000"});
    const CtlResult answered = Run(patient, bench_);
    EXPECT_EQ(answered.status, 0) << answered.err;
    EXPECT_EQ(answered.out, "00 00\n");

    // A shorter limit abandons a request the default would have waited for.
    const std::string quick =
        WriteFile("quick.json", std::string(kBenchScenario)
                                    .replace(std::string(kBenchScenario).find("\"delayMs\": 600"),
                                             std::strlen("\"delayMs\": 600"), "\"delayMs\": 300"));
    EXPECT_EQ(Run(slow, quick).status, 0);
    const CtlResult impatient = Run({"--timeout", "100", "get", "--guid", kBenchUnit, "--cs", "4"}, quick);
    EXPECT_EQ(impatient.status, 1);
    EXPECT_EQ(impatient.err, FailureCell("GET数据失败", 0x102) + "\n");
}

}  // namespace
}  // namespace norvik::testing
