// norvikctl info and controls: a unit's declared controls with every class
// query, as a table and as JSON, on the demo and on a scenario with gaps,
// refused kinds and failing controls.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "CtlRunner.h"
#include "platforms/sim/SimPlatform.h"
#include "session/Codecs.h"
#include "runtime/Utf8.h"

namespace norvik::testing {
namespace {

using Json = nlohmann::json;

const char kDemoUnit[] = "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}";
const char kUnit[] = "{11111111-2222-3333-4444-555555555555}";

// bmControls 2D declares 1, 3, 4 and 6: 1 keeps the defaults, 3 gives its
// own answers and refuses RES, 4 fails everything, 6 is not there at all.
const char* const kQueryScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_5678&mi_00#1&2&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    "friendlyName": "Query Camera",
    "nodes": [{"type": "other"}, {"type": "xu", "guid": "{11111111-2222-3333-4444-555555555555}"}],
    "controls": {"{11111111-2222-3333-4444-555555555555}": {
      "1": {"length": 2, "value": "01 02"},
      "3": {"length": 1, "value": "05", "info": 13, "min": "01", "max": "0A", "queryFail": {"res": "0x80070032"}},
      "4": {"length": 2, "fail": "0x8007001F"}
    }}
  }],
  "usb": {"controllers": [{"index": 0, "rootHub": "ROOT", "hub": {"ports": 1, "children": {"1": {
    "idVendor": "0x1234", "idProduct": "0x5678",
    "config": {"extensionUnits": [{"unitId": 7, "guid": "{11111111-2222-3333-4444-555555555555}",
                                   "controlSize": 1, "bmControls": "2D"}]}}}}}]}
})";

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    return WideToUtf8(FormatHexBytes(bytes.data(), bytes.size()));
}

TEST_F(CtlTest, ControlsOnTheDemoHoldWhatTheScenarioDeclares)
{
    const CtlResult run = Run({"controls", "--guid", kDemoUnit, "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "norvikctl: 0 of 21 requests failed\n");
    const Json document = Json::parse(run.out);
    EXPECT_EQ(document["device"], "Kestrel UVC Camera");
    EXPECT_EQ(document["xuGuid"], kDemoUnit);

    const ScenarioLoad demo = LoadDemoScenario();
    ASSERT_TRUE(demo) << demo.error;
    const auto& selectors = demo.scenario->cameras[0].controls[0].selectors;
    ASSERT_EQ(document["controls"].size(), selectors.size());
    std::size_t i = 0;
    for (const auto& [selector, control] : selectors) {
        const Json& row = document["controls"][i++];
        EXPECT_EQ(row["selector"], selector);
        EXPECT_EQ(row["length"], control.length);
        EXPECT_EQ(row["info"], control.info);
        EXPECT_EQ(row["cur"], Hex(control.value));
        EXPECT_EQ(row["min"], Hex(control.min));
        EXPECT_EQ(row["max"], Hex(control.max));
        EXPECT_EQ(row["res"], Hex(control.res));
        EXPECT_EQ(row["def"], Hex(control.def));
        EXPECT_TRUE(row["failures"].empty());
    }
    // The two controls the demo gives answers of their own.
    EXPECT_EQ(document["controls"][0]["caps"], Json::array({"get"}));
    EXPECT_EQ(document["controls"][1]["caps"], Json::array({"get", "set"}));
    EXPECT_EQ(document["controls"][1]["max"], "7F 00 01 00 FF FF FF FF");

    // The table has a header and a row per control.
    const CtlResult table = Run({"controls", "--guid", kDemoUnit});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.rfind("selector  length  info        cur  ", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("\n2         8       03 get,set  40 00 01 00 12 34 56 78  "), std::string::npos);
}

TEST_F(CtlTest, ControlsTableShowsGapsDefaultsAndWhatIsNotAvailable)
{
    const std::string scenario = WriteFile("query.json", kQueryScenario);
    const CtlResult run = Run({"controls", "--guid", kUnit}, scenario);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "selector  length  info                             cur    min    max    res    def\n"
              "1         2       03 get,set                       01 02  00 00  FF FF  01 00  01 02\n"
              "3         1       0D get,auto-disabled,autoupdate  05     01     0A     -      05\n"
              "4         -       -                                -      -      -      -      -\n"
              "6         -       -                                -      -      -      -      -\n");
    EXPECT_EQ(run.err, "norvikctl: 15 of 28 requests failed\n");
}

TEST_F(CtlTest, ControlsJsonNamesEachFailureWithItsCodeAndText)
{
    const std::string scenario = WriteFile("query.json", kQueryScenario);
    const CtlResult run = Run({"controls", "--guid", kUnit, "--json"}, scenario);
    EXPECT_EQ(run.status, 1);
    const Json controls = Json::parse(run.out)["controls"];
    ASSERT_EQ(controls.size(), 4u);

    const Json& refused = controls[1];
    EXPECT_EQ(refused["selector"], 3);
    EXPECT_EQ(refused["info"], 13);
    EXPECT_EQ(refused["caps"], Json::array({"get", "auto-disabled", "autoupdate"}));
    EXPECT_TRUE(refused["res"].is_null());
    EXPECT_EQ(refused["failures"], Json({{"res", CodeText(0x80070032)}}));

    // A failing control: no length, so nothing but null, each kind named.
    const Json& failing = controls[2];
    EXPECT_TRUE(failing["length"].is_null());
    EXPECT_TRUE(failing["info"].is_null());
    EXPECT_EQ(failing["caps"], Json::array());
    for (const char* kind : {"len", "info", "cur", "min", "max", "res", "def"})
        EXPECT_EQ(failing["failures"][kind], CodeText(0x8007001f)) << kind;
    EXPECT_EQ(controls[3]["failures"]["cur"], CodeText(0x80070490));
}

TEST_F(CtlTest, InfoDescribesOneControl)
{
    const std::string scenario = WriteFile("query.json", kQueryScenario);
    const CtlResult ok = Run({"info", "--guid", kUnit, "--cs", "1"}, scenario);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out,
              "selector: 1\nlen: 2\ninfo: 03 get,set\ncur: 01 02\nmin: 00 00\nmax: FF FF\nres: 01 00\n"
              "def: 01 02\n");
    EXPECT_EQ(ok.err, "");

    const CtlResult refused = Run({"info", "--guid", kUnit, "--cs", "3", "--json"}, scenario);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out,
              R"({"selector":3,"length":1,"info":13,"caps":["get","auto-disabled","autoupdate"],"cur":"05",)"
              R"("min":"01","max":"0A","res":null,"def":"05",)"
              R"("failures":{"res":")" +
                  CodeText(0x80070032) + "\"}}\n");
    EXPECT_EQ(refused.err, "norvikctl: 1 of 7 requests failed\n");

    const CtlResult text = Run({"info", "--guid", kUnit, "--cs", "3"}, scenario);
    EXPECT_NE(text.out.find("\nres: not available: " + CodeText(0x80070032) + "\n"), std::string::npos);
}

TEST_F(CtlTest, InfoAndControlsUsageErrors)
{
    EXPECT_EQ(Run({"info", "--guid", kDemoUnit}).status, 2);               // no --cs
    EXPECT_EQ(Run({"info", "--guid", kDemoUnit, "--cs", "0"}).status, 2);  // selector 0
    EXPECT_EQ(Run({"controls"}).status, 2);                                // no unit
    EXPECT_EQ(Run({"controls", "--guid", kDemoUnit, "--cs", "1"}).status, 2);
    const CtlResult badGuid = Run({"controls", "--guid", "{6D1F3A52}"});
    EXPECT_EQ(badGuid.status, 2);
    // No unit answers: the open fails as for get.
    const CtlResult missing = Run({"controls", "--guid", "{00000000-1111-2222-3333-444444444444}"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
}

}  // namespace
}  // namespace norvik::testing
