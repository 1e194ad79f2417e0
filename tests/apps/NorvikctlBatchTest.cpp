// norvikctl batch as a bench script runs it: the bench sequence in one
// process with one JSON line per request, a failure that stops the batch or
// (--keep-going) does not, a script refused whole before any request, and a
// script on standard input.
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "CtlRunner.h"

namespace norvik::testing {
namespace {

using Json = nlohmann::json;

const std::string kUnit = "{11111111-2222-3333-4444-555555555555}";

// 1 the firmware text, 2 a calibration value that can be written, 3 refuses
// GET, 4 answers after 60 ms, 5 refuses the RES query. bmControls 17 declares 1, 2, 3 and 5.
const char* const kBatchScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_5678&mi_00#1&2&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    "friendlyName": "Bench Camera",
    "nodes": [{"type": "other"}, {"type": "xu", "guid": "{11111111-2222-3333-4444-555555555555}"}],
    "controls": {"{11111111-2222-3333-4444-555555555555}": {
      "1": {"length": 8, "text": "FW2.4.1"},
      "2": {"length": 4, "value": "00 00 00 00", "max": "7F 7F 7F 7F"},
      "3": {"length": 2, "value": "01 02", "getFail": "0x8007001F"},
      "4": {"length": 2, "value": "00 04", "delayMs": 60},
      "5": {"length": 2, "value": "00 01", "queryFail": {"res": "0x80070032"}}
    }}
  }],
  "usb": {"controllers": [{
    "index": 0,
    "driverKey": "{36fc9e60-c465-11cf-8056-444553540000}\\0000",
    "rootHub": "USB#ROOT_HUB30#4&1&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}",
    "hub": {"ports": 1, "children": {"1": {
      "idVendor": "0x1234", "idProduct": "0x5678",
      "driverKey": "{36fc9e60-c465-11cf-8056-444553540000}\\0001",
      "config": {"extensionUnits": [{"unitId": 7, "guid": "{11111111-2222-3333-4444-555555555555}",
                                     "controlSize": 1, "bmControls": "17"}]}}}}}]}
})";

class CtlBatchTest : public CtlTest {
protected:
    void SetUp() override
    {
        CtlTest::SetUp();
        scenario_ = WriteFile("bench.json", kBatchScenario);
    }

    // Runs `batch` on the scenario with the cameras' requests traced into a
    // fresh file; standard input comes from the file inName when given.
    CtlResult Batch(const std::vector<std::string>& args, const std::string& inName = "")
    {
        std::error_code ignored;
        std::filesystem::remove(Path("trace"), ignored);
        std::vector<std::string> all = {"batch"};
        all.insert(all.end(), args.begin(), args.end());
        return RunInto(all, scenario_, {{"NORVIK_SIM_TRACE", Utf8Path(Path("trace"))}}, "ctl.out", "ctl.err",
                       inName);
    }

    CtlResult Script(const std::string& script, std::vector<std::string> args = {})
    {
        WriteFile("bench.txt", script);
        args.insert(args.begin(), {"--guid", kUnit, "bench.txt"});
        return Batch(args);
    }

    std::string Trace() const { return ReadFileBytes(Path("trace")); }

    std::string scenario_;
};

// Every line of standard output as JSON; a line that does not parse fails.
std::vector<Json> JsonLines(const std::string& out)
{
    std::vector<Json> lines;
    std::istringstream stream(out);
    std::string line;
    while (std::getline(stream, line)) {
        Json object = Json::parse(line, nullptr, false);
        EXPECT_FALSE(object.is_discarded()) << "not JSON: " << line;
        lines.push_back(std::move(object));
    }
    return lines;
}

TEST_F(CtlBatchTest, TheBenchSequenceRunsInOneProcessAndEachRequestIsOneJsonLine)
{
    const CtlResult run = Script(
        "# firmware, calibration, check\n"
        "get 1\n"
        "len 2\n"
        "set 2 12 34 56 78\n"
        "\n"
        "expect 2 12 34 56 78   # the value written\n"
        "sleep 2\n"
        "describe 2\n",
        {"--log", "bench.csv", "--debug"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.announcement, kSimAnnouncement + scenario_ + "\n");
    const std::vector<Json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 6u) << run.out;

    const int scriptLines[] = {2, 3, 4, 6, 7, 8};
    const char* requests[] = {"get", "len", "set", "expect", "sleep", "describe"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["scriptLine"], scriptLines[i]) << lines[i];
        EXPECT_EQ(lines[i]["request"], requests[i]) << lines[i];
        EXPECT_EQ(lines[i]["ok"], true) << lines[i];
        EXPECT_FALSE(lines[i].contains("failure")) << lines[i];
    }
    // The members get --json and len --json print, under the same names.
    EXPECT_EQ(lines[0]["line"], 1);
    EXPECT_EQ(lines[0]["direct"], "GET CS=1");
    EXPECT_EQ(lines[0]["dataHex"], "46 57 32 2E 34 2E 31 00");
    EXPECT_EQ(lines[0]["dataString"], "FW2.4.1");
    EXPECT_EQ(lines[0]["device"], "Bench Camera");
    EXPECT_EQ(lines[0]["xuGuid"], kUnit);
    EXPECT_EQ(lines[0]["result"], "0x00000000");
    EXPECT_EQ(lines[0]["length"], 8);
    EXPECT_EQ(lines[1]["selector"], 2);
    EXPECT_EQ(lines[1]["length"], 4);
    EXPECT_EQ(lines[1]["xuGuid"], kUnit);
    EXPECT_EQ(lines[2]["direct"], "SET CS=2");
    EXPECT_EQ(lines[2]["dataHex"], "12 34 56 78");
    // The value written stays on the camera for the rest of the process.
    EXPECT_EQ(lines[3]["dataHex"], "12 34 56 78");
    EXPECT_EQ(lines[3]["expected"], "12 34 56 78");
    EXPECT_EQ(lines[3]["matched"], true);
    EXPECT_EQ(lines[4]["milliseconds"], 2);
    EXPECT_EQ(lines[5]["cur"], "12 34 56 78");
    EXPECT_EQ(lines[5]["max"], "7F 7F 7F 7F");
    EXPECT_EQ(lines[5]["failures"], Json::object());

    // The three transfers are the log's rows; the queries are not transfers.
    const std::string log = ReadFileBytes(Path("bench.csv"));
    EXPECT_EQ(log.rfind("Line, Direct, Data(HEX), Data(String), Device, XU guid, \r\n", 0), 0u) << log;
    EXPECT_NE(log.find("1, GET CS=1, 46 57 32 2E 34 2E 31 00, FW2.4.1, Bench Camera, " + kUnit + ", \r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("2, SET CS=2, 12 34 56 78, "), std::string::npos) << log;
    EXPECT_NE(log.find("3, GET CS=2, 12 34 56 78, "), std::string::npos) << log;
    EXPECT_EQ(log.find("4, "), std::string::npos) << log;
    EXPECT_NE(Trace().find("camera 0 set node=1 cs=2 length=4\n"), std::string::npos) << Trace();
}

TEST_F(CtlBatchTest, TheClassQueriesAndALengthThatDoesNotFit)
{
    const CtlResult run =
        Script("info 2\nmin 2\nmax 2\ndef 2\nset 2 01 02\nexpect 2 01 02\nset 2 01 02 03 04 05\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        run.err,
        "norvikctl: bench.txt:5: 2 bytes given, the control's length is 4: padded with 2 zero bytes\n"
        "norvikctl: bench.txt:7: 5 bytes given, the control's length is 4: cut, the last 1 bytes are not "
        "sent\n");
    const std::vector<Json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 7u) << run.out;
    EXPECT_EQ(lines[0]["info"], 3);
    EXPECT_EQ(lines[0]["caps"], Json::parse(R"(["get", "set"])"));
    EXPECT_EQ(lines[1]["min"], "00 00 00 00");
    EXPECT_EQ(lines[2]["max"], "7F 7F 7F 7F");
    EXPECT_EQ(lines[3]["def"], "00 00 00 00");
    EXPECT_EQ(lines[4]["dataHex"], "01 02 00 00");
    // Expected bytes are padded as a SET of them is.
    EXPECT_EQ(lines[5]["expected"], "01 02 00 00");
    EXPECT_EQ(lines[5]["matched"], true);
    EXPECT_EQ(lines[6]["dataHex"], "01 02 03 04");
    const std::string trace = Trace();
    for (const char* query : {"info", "min", "max", "def"})
        EXPECT_NE(trace.find(std::string("camera 0 ") + query + " node=1 cs=2"), std::string::npos) << trace;
}

TEST_F(CtlBatchTest, AnExpectThatDiffersStopsTheBatch)
{
    const CtlResult run = Script("set 2 01 02 03 04\nexpect 2 01 02 03 05\nset 2 AA BB CC DD\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "norvikctl: bench.txt:2: expect 2: read 01 02 03 04, expected 01 02 03 05\n"
              "norvikctl: the batch stopped; 1 of 3 requests not made\n");
    const std::vector<Json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_EQ(lines[1]["ok"], false);
    EXPECT_EQ(lines[1]["matched"], false);
    EXPECT_EQ(lines[1]["dataHex"], "01 02 03 04");
    EXPECT_EQ(lines[1]["failure"], "read 01 02 03 04, expected 01 02 03 05");
    // The request after the failure never reached the camera.
    const std::string trace = Trace();
    EXPECT_NE(trace.find("camera 0 set node=1 cs=2 length=4\n"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("set", trace.find("set") + 1), std::string::npos) << trace;
}

TEST_F(CtlBatchTest, KeepGoingMakesEveryRequestAndStillFails)
{
    const CtlResult run =
        Script("get 3\nres 5\nexpect 2 00 00\nexpect 2 00 00 00 00 00\nget 1\n", {"--keep-going"});
    EXPECT_EQ(run.status, 1);
    const std::vector<Json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 5u) << run.out;
    const bool passed[] = {false, false, true, false, true};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["ok"], passed[i]) << lines[i];
        EXPECT_EQ(lines[i].contains("failure"), !passed[i]) << lines[i];
    }
    // A refused GET: its failure cell, as the log holds it.
    EXPECT_EQ(lines[0]["failure"], lines[0]["dataHex"]);
    EXPECT_EQ(lines[0]["result"], "0x8007001f");
    EXPECT_EQ(lines[1]["res"], nullptr);
    EXPECT_EQ(lines[1]["failure"].get<std::string>().rfind("0x80070032: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[3]["failure"], "5 bytes expected, the control's length is 4");
    EXPECT_EQ(lines[4]["dataString"], "FW2.4.1");

    const std::string failedGet =
        "norvikctl: bench.txt:1: get 3: " + lines[0]["dataHex"].get<std::string>() + "\n";
    EXPECT_EQ(run.err.rfind(failedGet, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("norvikctl: bench.txt:2: res 5: 0x80070032: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("norvikctl: bench.txt:4: expect 2: 5 bytes expected"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("norvikctl: 3 of 5 requests failed\n"), std::string::npos) << run.err;
}

TEST_F(CtlBatchTest, EachRequestHasTheCommandsTimeLimit)
{
    WriteFile("bench.txt", "get 4\n");
    const CtlResult patient = Batch({"--guid", kUnit, "bench.txt"});
    ASSERT_EQ(patient.status, 0) << patient.err;
    EXPECT_EQ(JsonLines(patient.out).at(0)["dataHex"], "00 04");

    const CtlResult hurried = Run({"--timeout", "10", "batch", "--guid", kUnit, "bench.txt"}, scenario_);
    EXPECT_EQ(hurried.status, 1);
    const std::vector<Json> lines = JsonLines(hurried.out);
    ASSERT_EQ(lines.size(), 1u) << hurried.out;
    EXPECT_EQ(lines[0]["result"], "0x00000102");
    EXPECT_EQ(lines[0]["ok"], false);
}

TEST_F(CtlBatchTest, AMalformedScriptIsRefusedWholeAndNothingReachesACamera)
{
    const CtlResult run = Script("get 1\nset 2 12 34 56 78\nset 2 0x1\nget 257\nfrob 2\nexpect 2\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.announcement, "");  // refused before a platform was chosen
    EXPECT_EQ(
        run.err,
        "norvikctl: bench.txt:3: \"0x1\" leaves a lone hex digit; write every byte as two digits (\"0F\", "
        "not \"F\")\n"
        "norvikctl: bench.txt:4: \"257\" is not a control selector: a whole number from 1 to 255, decimal "
        "or hex with 0x\n"
        "norvikctl: bench.txt:5: unknown request \"frob\" (the requests: get, set, expect, len, info, min, "
        "max, res, def, describe, sleep)\n"
        "norvikctl: bench.txt:6: expect takes a control selector and the bytes: expect CS HEX\n"
        "norvikctl: nothing was sent\n");
    EXPECT_EQ(Trace(), "");

    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    WriteFile("empty.txt", "# nothing yet\n");
    const Case cases[] = {
        {{"--guid", kUnit, "empty.txt"}, "norvikctl: empty.txt: no request in the script\n"},
        {{"--guid", kUnit, "missing.txt"}, "norvikctl: batch: cannot open missing.txt: "},
        {{"bench.txt"}, "norvikctl: name the unit with --guid {...} or with --device N --unit K\n"},
        {{"--guid", kUnit, "--log=", "bench.txt"}, "norvikctl: --log needs a file name\n"},
    };
    for (const Case& c : cases) {
        const CtlResult refused = Batch(c.args);
        EXPECT_EQ(refused.status, 2) << c.err;
        EXPECT_EQ(refused.err.rfind(c.err, 0), 0u) << refused.err;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(Trace(), "");
    }
}

TEST_F(CtlBatchTest, AScriptOnStandardInput)
{
    WriteFile("bench.txt", "set 2 0A 0B 0C 0D\nexpect 2 0A0B0C0D\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--guid", kUnit, "-"},
                                                 std::vector<std::string>{"--device", "0", "--unit", "0"}}) {
        const CtlResult run = Batch(args, "bench.txt");
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<Json> lines = JsonLines(run.out);
        ASSERT_EQ(lines.size(), 2u) << run.out;
        EXPECT_EQ(lines[1]["matched"], true);
        EXPECT_EQ(lines[1]["xuGuid"], kUnit);
    }
    WriteFile("bad.txt", "get 1\nget x\n");
    const CtlResult refused = Batch({"--guid", kUnit, "-"}, "bad.txt");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err.rfind("norvikctl: <stdin>:2: \"x\" is not a control selector", 0), 0u)
        << refused.err;
}

TEST_F(CtlBatchTest, AUnitThatCannotBeOpenedFailsBeforeAnyRequest)
{
    WriteFile("bench.txt", "get 1\n");
    const CtlResult run = Batch({"--guid", "{99999999-2222-3333-4444-555555555555}", "bench.txt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
    // Only the open's search for the GUID asked the camera anything.
    EXPECT_EQ(Trace().find("cs=1 "), std::string::npos) << Trace();
}

}  // namespace
}  // namespace norvik::testing
