// What scripts expect of a command-line tool: a version, help, named
// mistakes, output that stays parseable with diagnostics on, and simulated
// cameras that never pass for real ones.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>

#include "CtlRunner.h"
#include "runtime/Utf8.h"
#include "shell/BuildTimestamp.h"

namespace norvik::testing {
namespace {

TEST_F(CtlTest, VersionIsTheAboutBoxLineWithTheCommit)
{
    // The stamp is made anew on every build, and a build of one target
    // (norvikctl alone, as the kernel bench does) gives the program a newer
    // one than this test's: so the line's form is checked, not this
    // program's own stamp.
    BuildTimestamp stamp;
    ParseBuildTimestamp(stamp, "Jan  2 2026", "03:04:05");
    EXPECT_EQ(WideToUtf8(FormatVersionLine(stamp)), "Version: 20260102-030405");
    std::string commit;
    if (*BuildCommitText() != '\0')
        commit = std::string(", commit ") + BuildCommitText();

    const CtlResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    // The version line first; the licence follows it, as help2man expects.
    const std::string first = version.out.substr(0, version.out.find('\n'));
    EXPECT_TRUE(std::regex_match(first, std::regex("norvikctl Version: [0-9]{8}-[0-9]{6}.*"))) << first;
    EXPECT_EQ(first.substr(std::string("norvikctl Version: 20260102-030405").size()), commit);
    EXPECT_NE(version.out.find("License: MIT"), std::string::npos);
    EXPECT_EQ(version.err + version.announcement, "");
}

TEST_F(CtlTest, HelpAndUnknownSubcommandsAreNamed)
{
    const CtlResult overall = Run({"help"});
    EXPECT_EQ(overall.status, 0);
    EXPECT_NE(overall.out.find("Usage: norvikctl [OPTIONS] SUBCOMMAND"), std::string::npos) << overall.out;
    for (const char* command : {"get", "set", "list"}) {
        const CtlResult help = Run({"help", command});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out, Run({command, "--help"}).out) << command;
    }

    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string names =
        " (the subcommands: help, list, discover, len, info, controls, get, set, batch)\n";
    const Case cases[] = {
        {{"help", "frob"}, "norvikctl: help: unknown subcommand \"frob\"" + names},
        {{"frob"}, "norvikctl: unknown subcommand \"frob\"" + names},
        {{"--sim", "demo", "--debug", "frob", "--json"}, "norvikctl: unknown subcommand \"frob\"" + names},
        // The parser's own refusals carry the tool's name too.
        {{"discover", "--bogus"},
         "norvikctl: The following argument was not expected: --bogus\nnorvikctl: see norvikctl help\n"},
        {{}, "norvikctl: A subcommand is required\nnorvikctl: see norvikctl help\n"},
    };
    for (const Case& c : cases) {
        const CtlResult result = Run(c.args);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(c.args);
        EXPECT_EQ(result.err, c.err) << ::testing::PrintToString(c.args);
        EXPECT_EQ(result.out, "");
    }
}

TEST_F(CtlTest, DiagnosticsLeaveJsonOutputParseable)
{
    const CtlResult listed = Run({"list", "--json", "--debug"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(nlohmann::json::parse(listed.out).at("devices").size(), 2u);
    EXPECT_NE(listed.err.find("Find 2 video device.\n"), std::string::npos) << listed.err;

    const CtlResult got =
        Run({"--debug", "get", "--guid", "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}", "--cs", "2", "--json"});
    ASSERT_EQ(got.status, 0) << got.err;
    EXPECT_EQ(nlohmann::json::parse(got.out).at("dataHex"), "40 00 01 00 12 34 56 78");
    EXPECT_NE(got.err.find("KsProperty error, hr = 800700ea\n"), std::string::npos) << got.err;
}

TEST_F(CtlTest, SimulatedCamerasAreAnnouncedHoweverTheyWereChosen)
{
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    EXPECT_EQ(Run({"discover"}, bench).announcement, kSimAnnouncement + bench + "\n");  // the environment
    EXPECT_EQ(Run({"discover", "--sim", "demo"}, "").announcement, kSimAnnouncement + "demo\n");
    const CtlResult json = Run({"list", "--json"}, "demo");
    EXPECT_EQ(json.announcement, kSimAnnouncement + "demo\n");
    EXPECT_NO_THROW((void)nlohmann::json::parse(json.out));
    // A command refused before any platform is chosen announces nothing.
    EXPECT_EQ(Run({"get", "--guid", "{x}", "--cs", "0"}).announcement, "");
}

}  // namespace
}  // namespace norvik::testing
