// norvikctl run as a user would: listing, reading, writing, the exit
// statuses and the JSON shapes.
#include <chrono>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "CtlRunner.h"
#include "session/Codecs.h"
#include "discovery/DiscoveryRun.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/SimPlatform.h"
#include "runtime/Utf8.h"

namespace norvik::testing {
namespace {

using Json = nlohmann::json;

const std::string kKestrelFirmware = "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}";
const std::string kBenchUnit = "{11111111-2222-3333-4444-555555555555}";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

TEST_F(CtlTest, ListReportsEveryDeviceAndUnitOfTheDiscoveryRun)
{
    // What the core's own discovery run makes of the demo.
    FakeRuntime runtime;
    SimPlatform sim(LoadDemoScenario().scenario);
    DiscoveryPorts ports = sim.Ports(runtime);
    DeviceList devices;
    DeviceTable table;
    RefreshDeviceTable(ports, devices, table);
    ASSERT_GT(table.deviceCount, 0u);

    const CtlResult json = Run({"list", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const Json listed = Json::parse(json.out);
    ASSERT_EQ(listed.at("devices").size(), table.deviceCount);
    std::size_t unitLines = 0;
    for (std::uint32_t i = 0; i < table.deviceCount; ++i) {
        const DeviceTableEntry& device = *table.Device(i);
        const Json& d = listed["devices"][i];
        EXPECT_EQ(d.at("device"), i);
        EXPECT_EQ(d.at("friendlyName"), WideToUtf8(device.FriendlyName()));
        EXPECT_EQ(d.at("displayName"), WideToUtf8(device.DisplayName()));
        char id[8];
        std::snprintf(id, sizeof id, "%04X", unsigned(device.vendorId));
        EXPECT_EQ(d.at("vendorId"), id);
        std::snprintf(id, sizeof id, "%04X", unsigned(device.productId));
        EXPECT_EQ(d.at("productId"), id);
        EXPECT_EQ(d.at("hasMatchedUnit"), device.hasMatchedUnit != 0);
        ASSERT_EQ(d.at("units").size(), device.unitCount);
        for (std::uint32_t k = 0; k < device.unitCount; ++k) {
            const ExtensionUnitInfo& unit = *table.Unit(i, k);
            const Json& u = d["units"][k];
            EXPECT_EQ(u.at("unit"), k);
            EXPECT_EQ(u.at("guid"), FormatGuid(unit.guid));
            EXPECT_EQ(u.at("unitId"), unit.unitId);
            EXPECT_EQ(u.at("nodeId"), unit.nodeId);
            EXPECT_EQ(u.at("matched"), unit.matched != 0);
        }
        unitLines += device.unitCount;
    }

    const CtlResult text = Run({"list"});
    ASSERT_EQ(text.status, 0);
    // Each device line is followed by its address line.
    EXPECT_EQ(Lines(text.out).size(), 2 * table.deviceCount + unitLines);
    EXPECT_NE(text.out.find("device 0: Kestrel UVC Camera (VID 2E7A, PID 0C41)\n"
                            "  location Port_#0003.Hub_#0001, no serial\n"
                            "  unit 0: {6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96} bUnitID=4 node=2 matched\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(
        text.out.find("  unit 2: {00000000-0000-0000-0000-000000000000} bUnitID=0 node=4 not matched\n"),
        std::string::npos);
    ClearDeviceList(devices);
}

TEST_F(CtlTest, DiagnosticLinesAppearOnlyWithDebug)
{
    const CtlResult quiet = Run({"discover"});
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "2 video capture devices, 5 extension units, 4 matched\n");

    const CtlResult debug = Run({"discover", "--debug"});
    ASSERT_EQ(debug.status, 0);
    EXPECT_NE(debug.out.find("found one xu, node = 2\n"), std::string::npos);
    EXPECT_NE(debug.out.find("Find 2 video device.\n\n"), std::string::npos);
    EXPECT_LT(debug.out.find("Find 2 video device."), debug.out.find("pszDriverKey"));
    EXPECT_EQ(debug.out.substr(debug.out.size() - quiet.out.size()), quiet.out);

    // The length probe's refused zero-length GET is reported like any other.
    const std::vector<std::string> get = {"get", "--guid", kKestrelFirmware, "--cs", "1"};
    EXPECT_EQ(Run(get).out.find("KsProperty error"), std::string::npos);
    std::vector<std::string> getDebug = get;
    getDebug.insert(getDebug.begin(), "--debug");
    EXPECT_NE(Run(getDebug).out.find("KsProperty error, hr = 800700ea\n"), std::string::npos);
}

TEST_F(CtlTest, UsageErrorsExitWithTwoAndSayWhy)
{
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    WriteFile("broken.json", R"({"cameras": [{"friendlyName": "x"}]})");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{}, "A subcommand is required"},
        {{"get", "--cs", "1"}, "--guid"},
        {{"get", "--guid", kBenchUnit}, "--cs is required"},
        {{"get", "--guid", kBenchUnit, "--device", "0", "--unit", "0", "--cs", "1"},
         "--guid excludes --device"},
        {{"get", "--guid", "{11111111-2222-3333-4444-55555555555}", "--cs", "1"},
         "输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式\n"},
        {{"get", "--guid", kBenchUnit, "--cs", ""}, "cs不能为空！\n"},
        {{"get", "--guid", kBenchUnit, "--cs", "0"}, "cs不能为0\n"},
        {{"set", "--guid", kBenchUnit, "--cs", "1"}, "--hex or --text"},
        {{"set", "--guid", kBenchUnit, "--cs", "1", "--hex", "01", "--text", "A"}, "--hex excludes --text"},
        {{"set", "--guid", kBenchUnit, "--cs", "1", "--text", ""}, "SET数据不能为空\n"},
        // "--name=" is an empty value, never the next word.
        {{"set", "--guid", kBenchUnit, "--cs", "1", "--text=", "--verify"}, "SET数据不能为空\n"},
        {{"set", "--guid", kBenchUnit, "--cs", "1", "--hex=", "--verify"}, "SET数据不能为空\n"},
        {{"get", "--guid=", "--cs", "1"}, "这样的格式\n"},
        {{"get", "--guid", kBenchUnit, "--cs=", "--json"}, "cs不能为空！\n"},
        {{"get", "--guid", kBenchUnit, "--cs", "1", "--log=", "--json"}, "--log needs a file name"},
        {{"len", "--guid", kBenchUnit, "--cs", "1", "--sim", "broken.json"}, "broken.json"},
        {{"list", "--sim", "missing.json"}, "missing.json"},
    };
    for (const Case& c : cases) {
        const CtlResult result = Run(c.args, bench);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(c.args);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << ::testing::PrintToString(c.args) << "\n"
                                                                 << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(Path("--json")));
    for (const char* command : {"list", "discover", "len", "get", "set"}) {
        const CtlResult help = Run({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find(std::string("Usage: norvikctl ") + command), std::string::npos);
    }
}

TEST_F(CtlTest, FailedRequestsExitWithOneAndTheDialogsTexts)
{
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"get", "--guid", "{99999999-2222-3333-4444-555555555555}", "--cs", "1"},
         "norvikctl: no capture device answers the XU GUID {99999999-2222-3333-4444-555555555555}\n"},
        {{"get", "--device", "1", "--unit", "0", "--cs", "1"},
         "norvikctl: there is no device 1 (discovery found 1)\n"},
        {{"get", "--device", "0", "--unit", "2", "--cs", "1"},
         "norvikctl: device 0 has no unit 2 (it has 2)\n"},
        // The dialog's message as it shows it, the system text's own line end included.
        {{"len", "--guid", kBenchUnit, "--cs", "9"},
         "获取CS长度失败，错误码 0x80070490: " + SystemText(0x80070490)},
        {{"set", "--guid", kBenchUnit, "--cs", "2", "--hex", "01 02"},
         FailureCell("SET数据失败", 0x8007001f) + "\n"},
        {{"get", "--device", "0", "--unit", "0", "--cs", "3"}, FailureCell("GET数据失败", 0x8007001f) + "\n"},
        {{"get", "--guid", kBenchUnit, "--cs", "4"}, FailureCell("GET数据失败", 0x102) + "\n"},
    };
    for (const Case& c : cases) {
        const CtlResult result = Run(c.args, bench);
        EXPECT_EQ(result.status, 1) << ::testing::PrintToString(c.args);
        EXPECT_EQ(result.err, c.err) << ::testing::PrintToString(c.args);
        EXPECT_EQ(result.out, "");
    }

    // A device without a matched unit is not in the picker and cannot be picked.
    const std::string unmatched = WriteFile("unmatched.json", R"({"cameras": [{
        "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_0001#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
        "friendlyName": "Lonely", "nodes": [{"type": "xu", "guid": "{11111111-2222-3333-4444-555555555555}"}]}]})");
    const CtlResult lonely = Run({"len", "--device", "0", "--unit", "0", "--cs", "1"}, unmatched);
    EXPECT_EQ(lonely.status, 1);
    EXPECT_NE(lonely.err.find("cannot be picked"), std::string::npos) << lonely.err;
}

TEST_F(CtlTest, GetReadsTheValueAndItsText)
{
    const auto demo = LoadDemoScenario().scenario;
    const ScenarioControl& firmware = demo->cameras.at(0).controls.at(0).selectors.at(1);
    const std::string hex = WideToUtf8(FormatHexBytes(firmware.value.data(), firmware.value.size()));
    const std::string text(firmware.value.begin(), firmware.value.end());

    const CtlResult plain = Run({"get", "--guid", kKestrelFirmware, "--cs", "1"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, hex + "\n");

    // The picked list item reaches the same control; the text follows the hex.
    const CtlResult picked = Run({"get", "--device", "0", "--unit", "0", "--cs", "1", "--text"});
    ASSERT_EQ(picked.status, 0) << picked.err;
    EXPECT_EQ(picked.out, hex + "\n" + text.substr(0, text.find('\0')) + "\n");

    const CtlResult length = Run({"len", "--guid", kKestrelFirmware, "--cs", "1"});
    EXPECT_EQ(length.out, std::to_string(firmware.length) + "\n");
}

TEST_F(CtlTest, JsonObjectsCarryTheRowCellsAndTheOutcome)
{
    const auto started = std::chrono::steady_clock::now();
    const CtlResult result = Run({"get", "--guid", "{6d1f3a52-9c7e-4b21-a8d5-3e0f71c24b96}", "--cs", "2",
                                  "--repeat", "3", "--interval", "150", "--json"});
    const auto elapsed = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));  // two pauses between three reads

    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Json row = Json::parse(lines[i]);
        const Json expected = {{"line", i + 1},
                               {"direct", "GET CS=2"},
                               {"dataHex", "40 00 01 00 12 34 56 78"},
                               {"dataString", "@"},
                               {"device", "Kestrel UVC Camera"},
                               {"xuGuid", "{6d1f3a52-9c7e-4b21-a8d5-3e0f71c24b96}"},
                               {"ok", true},
                               {"result", "0x00000000"},
                               {"selector", 2},
                               {"length", 8}};
        EXPECT_EQ(row, expected) << lines[i];
    }

    const std::string bench = WriteFile("bench.json", kBenchScenario);
    const CtlResult failed = Run({"get", "--guid", kBenchUnit, "--cs", "3", "--json"}, bench);
    EXPECT_EQ(failed.status, 1);
    const Json row = Json::parse(failed.out);
    EXPECT_EQ(row["ok"], false);
    EXPECT_EQ(row["result"], "0x8007001f");
    EXPECT_EQ(row["dataHex"], FailureCell("GET数据失败", 0x8007001f));
    EXPECT_EQ(row["dataString"], "");

    const CtlResult length = Run({"len", "--device", "0", "--unit", "1", "--cs", "1", "--json"}, bench);
    ASSERT_EQ(length.status, 0);
    EXPECT_EQ(Json::parse(length.out), (Json{{"selector", 1},
                                             {"length", 3},
                                             {"device", "Bench Camera"},
                                             {"xuGuid", "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"}}));
}

TEST_F(CtlTest, SetSendsExactlyTheControlsLengthAndVerifies)
{
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    auto set = [&](std::vector<std::string> data) {
        std::vector<std::string> args = {"set", "--device", "0", "--unit", "0", "--cs", "1"};
        args.insert(args.end(), data.begin(), data.end());
        return Run(args, bench);
    };
    // Cut to the 6-byte control, padded with zeros; single hex digits refused.
    EXPECT_EQ(set({"--text", "ABCDEFGH"}).out, "41 42 43 44 45 46\n");
    EXPECT_EQ(set({"--hex", "0x01,", "0x02"}).out, "01 02 00 00 00 00\n");
    EXPECT_EQ(set({"--hex", "1 2 3"}).status, 2);
    EXPECT_EQ(set({"--text", "中"}).out, "D6 D0 00 00 00 00\n");  // code page 936

    const CtlResult verified = set({"--text", "AB", "--verify", "--json", "--repeat", "2"});
    ASSERT_EQ(verified.status, 0) << verified.err;
    const std::vector<std::string> lines = Lines(verified.out);
    ASSERT_EQ(lines.size(), 4u);
    const Json write = Json::parse(lines[2]);
    const Json back = Json::parse(lines[3]);
    EXPECT_EQ(write["line"], 3);
    EXPECT_EQ(write["direct"], "SET CS=1");
    EXPECT_EQ(write["dataString"], "AB");
    EXPECT_FALSE(write.contains("verified"));
    EXPECT_EQ(back["line"], 4);
    EXPECT_EQ(back["direct"], "GET CS=1");
    EXPECT_EQ(back["dataHex"], "41 42 00 00 00 00");
    EXPECT_EQ(back["verified"], true);

    // The write goes through, the read-back is refused: the run fails.
    const CtlResult unreadable =
        Run({"set", "--guid", kBenchUnit, "--cs", "3", "--hex", "07 08", "--verify"}, bench);
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_EQ(unreadable.out, "07 08\n");
    EXPECT_EQ(unreadable.err, FailureCell("GET数据失败", 0x8007001f) + "\n");
}

TEST_F(CtlTest, TheSimOptionOverridesTheEnvironment)
{
    const std::string bench = WriteFile("bench.json", kBenchScenario);
    EXPECT_EQ(Run({"discover"}, bench).out, "1 video capture devices, 2 extension units, 2 matched\n");
    EXPECT_EQ(Run({"discover", "--sim", "demo"}, bench).out,
              "2 video capture devices, 5 extension units, 4 matched\n");
    EXPECT_EQ(Run({"--sim", bench, "discover"}, "demo").out,
              "1 video capture devices, 2 extension units, 2 matched\n");
}

}  // namespace
}  // namespace norvik::testing
