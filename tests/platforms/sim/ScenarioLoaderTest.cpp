// Loading scenario files: what a good file becomes, and the one message a
// broken file gets.

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platforms/sim/Scenario.h"

namespace norvik {
namespace {

using Json = nlohmann::json;

const char kGuid[] = "{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}";

Json ValidScenario()
{
    return Json::parse(R"({
      "cameras": [{
        "displayName": "@device:pnp:usb#vid_2e7a&pid_0c41",
        "friendlyName": "Cam",
        "nodes": [{"type": "other"}, {"type": "xu", "guid": "{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}"}],
        "controls": {"{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}": {
          "1": {"length": 4, "value": "01 02"},
          "9": {"text": "FW"}
        }}
      }],
      "usb": {"controllers": [{"index": 0, "rootHub": "ROOT", "hub": {"ports": 2, "children": {
        "2": {"idVendor": "0x2E7A", "idProduct": 3137,
              "config": {"extensionUnits": [{"unitId": 4, "guid": "{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}"}]}}
      }}}]}
    })");
}

std::string ErrorOf(const Json& scenario)
{
    const ScenarioLoad load = LoadScenarioText(scenario.dump(), "bad.json");
    EXPECT_FALSE(load) << "loaded although broken: " << scenario.dump();
    EXPECT_EQ(load.scenario, nullptr);
    return load.error;
}

TEST(ScenarioLoader, AGoodFileBecomesTheModel)
{
    const ScenarioLoad load = LoadScenarioText(ValidScenario().dump(), "good.json");
    ASSERT_TRUE(load) << load.error;
    const Scenario& s = *load.scenario;
    ASSERT_EQ(s.cameras.size(), 1u);
    const ScenarioCamera& cam = s.cameras[0];
    EXPECT_EQ(cam.friendlyName, L"Cam");
    EXPECT_FALSE(cam.devicePath.has_value());
    EXPECT_TRUE(cam.binds && cam.topologyInfo && cam.ksControl && cam.propertyBag);
    ASSERT_EQ(cam.nodes.size(), 2u);
    EXPECT_FALSE(cam.nodes[0].isExtensionUnit);
    EXPECT_NE(cam.nodes[0].type, guids::kNodeTypeDevSpecific);
    EXPECT_EQ(cam.nodes[1].type, guids::kNodeTypeDevSpecific);
    ASSERT_EQ(cam.controls.size(), 1u);
    const auto& selectors = cam.controls[0].selectors;
    EXPECT_EQ(selectors.at(1).value, (std::vector<std::uint8_t>{1, 2, 0, 0}));  // padded
    EXPECT_EQ(selectors.at(9).length, 2u);                                      // from the text
    EXPECT_EQ(selectors.at(9).value, (std::vector<std::uint8_t>{'F', 'W'}));

    const ScenarioPortDevice& device = s.controllers[0].hub->children.at(2);
    EXPECT_EQ(device.idVendor, 0x2E7A);
    EXPECT_EQ(device.idProduct, 3137);
    EXPECT_EQ(device.status, 1u);
    EXPECT_EQ(s.controllers[0].hub->name, "ROOT");

    // The query answers a control gives nothing for.
    EXPECT_EQ(selectors.at(1).info, 3);
    EXPECT_EQ(selectors.at(1).min, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(selectors.at(1).max, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(selectors.at(1).res, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(selectors.at(1).def, (std::vector<std::uint8_t>{1, 2, 0, 0}));
    EXPECT_EQ(selectors.at(9).def, (std::vector<std::uint8_t>{'F', 'W'}));
    EXPECT_TRUE(selectors.at(1).queryFail.empty());

    // The probe answer is the built descriptor from bNumControls on: two
    // controls (selectors 1 and 9), one pin, two bytes of control bits.
    const std::vector<std::uint8_t> info = cam.nodes[1].unitInfo;
    ASSERT_EQ(info.size(), 7u);
    EXPECT_EQ(info[0], 2);
    EXPECT_EQ(info[1], 1);
    EXPECT_EQ(info[3], 2);
    EXPECT_EQ(info[4], 0x01);
    EXPECT_EQ(info[5], 0x01);
}

TEST(ScenarioLoader, ABrokenFileGetsOneMessageWithFilePlaceAndProblem)
{
    struct Case {
        void (*breakIt)(Json&);
        const char* message;
    };
    const Case cases[] = {
        {[](Json& j) { j.erase("cameras"); }, "bad.json: top level: the key \"cameras\" is missing"},
        {[](Json& j) { j["cameras"][0]["nodes"][1]["guid"] = "{0F4E8B29-D613}"; },
         "bad.json: /cameras/0/nodes/1/guid: not a GUID in registry form "
         "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: \"{0F4E8B29-D613}\""},
        {[](Json& j) { j["cameras"][0]["controls"][kGuid]["1"]["value"] = "0 12"; },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1/value: not a string of "
         "hexadecimal byte pairs: a single digit stands alone"},
        {[](Json& j) { j["cameras"][0]["controls"][kGuid]["1"]["value"] = "01 02 03 04 05"; },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1/value: longer than the "
         "control's length of 4 bytes"},
        {[](Json& j) {
             j["usb"]["controllers"][0]["hub"]["children"]["3"] =
                 j["usb"]["controllers"][0]["hub"]["children"]["2"];
         },
         "bad.json: /usb/controllers/0/hub/children/3: port \"3\" is out of range: this hub has ports 1 to "
         "2"},
        {[](Json& j) {
             j["cameras"][0]["setup"] = {{"serial", 42}};
         },
         "bad.json: /cameras/0/setup/serial: must be a string"},
        {[](Json& j) {
             j["cameras"][0]["setup"] = {{"serial", ""}};
         },
         "bad.json: /cameras/0/setup/serial: must not be empty (leave it out for a device without a serial "
         "number)"},
        {[](Json& j) { j["cameras"][0]["fiendlyName"] = "typo"; },
         "bad.json: /cameras/0/fiendlyName: unknown key \"fiendlyName\""},
        {[](Json& j) {
             j["cameras"][0]["controls"]["{11111111-2222-3333-4444-555555555555}"] = Json::object();
         },
         "bad.json: /cameras/0/controls/{11111111-2222-3333-4444-555555555555}: no extension-unit node of "
         "this camera has this GUID"},
        {[](Json& j) {
             j["cameras"][0]["controls"][kGuid]["0"] = {{"length", 1}};
         },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/0: a control selector must be "
         "a number from 1 to 255"},
        {[](Json& j) { j["cameras"][0]["controls"][kGuid]["1"]["fail"] = "0x0000001F"; },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1/fail: must be a failure "
         "code, "
         "0x80000000 or above"},
        {[](Json& j) { j["usb"]["controllers"][0]["hub"]["children"]["2"]["idVendor"] = "0x12345"; },
         "bad.json: /usb/controllers/0/hub/children/2/idVendor: \"0x12345\" is larger than 0xFFFF"},
        {[](Json& j) { j["usb"]["controllers"][0]["hub"]["ports"] = -1; },
         "bad.json: /usb/controllers/0/hub/ports: must be an integer from 0 to 255"},
        {[](Json& j) { j["usb"]["controllers"].push_back(j["usb"]["controllers"][0]); },
         "bad.json: /usb/controllers/1/rootHub: the hub name \"ROOT\" is used twice"},
        {[](Json& j) { j["cameras"][0]["nodes"][0]["type"] = "camera"; },
         "bad.json: /cameras/0/nodes/0/type: must be \"xu\" or \"other\", not \"camera\""},
        {[](Json& j) { j["usb"]["controllers"][0]["hub"]["children"]["2"]["config"]["hex"] = "09 02"; },
         "bad.json: /usb/controllers/0/hub/children/2/config: give either \"hex\" or \"extensionUnits\" "
         "(with \"extra\"), not both"},
        {[](Json& j) { j["cameras"][0]["binds"] = "yes"; },
         "bad.json: /cameras/0/binds: must be true or false"},
        {[](Json& j) { j["cameras"][0]["controls"][kGuid]["1"]["max"] = "01 02 03 04 05"; },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1/max: longer than the "
         "control's length of 4 bytes"},
        {[](Json& j) { j["cameras"][0]["controls"][kGuid]["9"]["def"] = "F"; },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/9/def: not a string of "
         "hexadecimal byte pairs: odd number of digits"},
        {[](Json& j) { j["cameras"][0]["controls"][kGuid]["1"]["info"] = 256; },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1/info: must be an integer "
         "from 0 to 255"},
        {[](Json& j) {
             j["cameras"][0]["controls"][kGuid]["1"]["queryFail"] = {{"cur", "0x80070032"}};
         },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1/queryFail/cur: unknown "
         "query "
         "kind \"cur\" (the kinds are \"info\", \"min\", \"max\", \"res\" and \"def\")"},
        {[](Json& j) {
             j["cameras"][0]["controls"][kGuid]["1"]["queryFail"] = {{"res", "0x32"}};
         },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1/queryFail/res: must be a "
         "failure code, 0x80000000 or above"},
        {[](Json& j) { j["cameras"][0]["controls"][kGuid]["1"]["queryFail"] = "0x80070032"; },
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1/queryFail: must be an "
         "object "
         "from a query kind (\"info\", \"min\", \"max\", \"res\", \"def\") to a failure code"},
    };
    for (const Case& c : cases) {
        Json scenario = ValidScenario();
        c.breakIt(scenario);
        EXPECT_EQ(ErrorOf(scenario), c.message);
    }
}

TEST(ScenarioLoader, TextThatIsNotJsonOrAFileThatIsNotThere)
{
    const ScenarioLoad notJson = LoadScenarioText("{\n  \"cameras\": [,]\n}", "broken.json");
    EXPECT_FALSE(notJson);
    EXPECT_EQ(notJson.error.rfind("broken.json: not valid JSON: parse error at line 2, column ", 0), 0u)
        << notJson.error;
    EXPECT_EQ(notJson.error.find('\n'), std::string::npos);

    const ScenarioLoad missing = LoadScenarioFile("/nonexistent/norvik/scenario.json");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error, "/nonexistent/norvik/scenario.json: cannot be opened for reading");

    const ScenarioLoad directory = LoadScenarioFile(NORVIK_SOURCE_DIR "/scenarios");
    EXPECT_FALSE(directory);
    EXPECT_EQ(directory.error, NORVIK_SOURCE_DIR "/scenarios: is a directory, not a scenario file");

    // Numbers the JSON library cannot hold are the loader's message, not an
    // exception that ends the program.
    for (const std::string& text : {std::string(R"({"cameras": [], "description": 1e400})"),
                                    R"({"cameras": [], "description": )" + std::string(100000, '9') + "}"}) {
        const ScenarioLoad huge = LoadScenarioText(text, "huge.json");
        EXPECT_FALSE(huge);
        EXPECT_EQ(huge.error.rfind("huge.json: ", 0), 0u) << huge.error;
    }
}

// A chain of hubs, each on port 1 of the one above, below the root hub of
// the valid scenario; the deepest port holds the camera.
Json HubChain(int hubsBelowRoot)
{
    Json scenario = ValidScenario();
    Json& root = scenario["usb"]["controllers"][0]["hub"];
    Json device = std::move(root["children"]["2"]);
    for (int i = 0; i < hubsBelowRoot; ++i) {
        Json hubDevice = {{"idVendor", 0x05E3}, {"idProduct", 0x0610}};
        hubDevice["hub"]["ports"] = 4;
        hubDevice["hub"]["children"]["1"] = std::move(device);
        device = std::move(hubDevice);
    }
    root["children"] = Json::object();
    root["children"]["1"] = std::move(device);
    return scenario;
}

// The same chain as text, written without the JSON library: its writer
// recurses once a level, and thousands of levels exhaust a 1 MB stack.
std::string HubChainText(int hubsBelowRoot)
{
    Json scenario = ValidScenario();
    Json& root = scenario["usb"]["controllers"][0]["hub"];
    const std::string device = root["children"]["2"].dump();
    root["children"] = Json::object();
    root["children"]["1"] = "chain";
    std::string text = scenario.dump();
    std::string chain;
    for (int i = 0; i < hubsBelowRoot; ++i)
        chain += R"({"idVendor": 1507, "idProduct": 1552, "hub": {"ports": 4, "children": {"1": )";
    chain += device;
    for (int i = 0; i < hubsBelowRoot; ++i)
        chain += "}}}";
    const std::string placeholder = "\"chain\"";
    text.replace(text.find(placeholder), placeholder.size(), chain);
    return text;
}

TEST(ScenarioLoader, NestingDeeperThanUsbOrAnyScenarioNeedsIsRefused)
{
    // Five hubs between the root hub and the camera: the seventh tier.
    ASSERT_EQ(Json::parse(HubChainText(5)), HubChain(5));
    const ScenarioLoad deepest = LoadScenarioText(HubChain(5).dump(), "deep.json");
    ASSERT_TRUE(deepest) << deepest.error;
    const ScenarioHub* hub = deepest.scenario->controllers[0].hub.get();
    for (int i = 0; i < 5; ++i)
        hub = hub->children.at(1).hub.get();
    EXPECT_EQ(hub->children.at(1).idVendor, 0x2E7A);

    std::string place = "/usb/controllers/0/hub";
    for (int i = 0; i < 6; ++i)
        place += "/children/1/hub";
    EXPECT_EQ(ErrorOf(HubChain(6)),
              "bad.json: " + place +
                  ": USB allows at most 5 hubs between the root hub and a device (7 tiers, root hub "
                  "and device included); this would be the 6th");

    // Thousands of levels, of hubs or of bare arrays, end in one message, not
    // in an exhausted stack or memory.
    for (const std::string& text :
         {HubChainText(3000),
          R"({"cameras": [], "description": )" + std::string(100000, '[') + std::string(100000, ']') + "}"}) {
        const ScenarioLoad load = LoadScenarioText(text, "deep.json");
        EXPECT_FALSE(load);
        EXPECT_EQ(load.error.rfind("deep.json: /", 0), 0u) << load.error.substr(0, 200);
        EXPECT_NE(load.error.find(": nested more than 64 levels deep"), std::string::npos)
            << load.error.substr(0, 200);
        EXPECT_LT(load.error.size(), 1000u);
    }
}

TEST(ScenarioLoader, WhatWouldSilentlyDropAValueIsRefused)
{
    struct Case {
        std::string text;
        const char* message;
    };
    std::string lower = kGuid;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const Case cases[] = {
        // A repeated key: the JSON library would keep only the last.
        {R"({"cameras": [], "cameras": []})", "bad.json: /cameras: the key \"cameras\" is given twice"},
        {R"({"cameras": [{"displayName": "a", "nodes": [], "displayName": "b"}]})",
         "bad.json: /cameras/0/displayName: the key \"displayName\" is given twice"},
        // The same selector, port or GUID spelt two ways.
        {[] {
             Json j = ValidScenario();
             j["cameras"][0]["controls"][kGuid]["001"] = {{"length", 1}};
             return j.dump();
         }(),
         "bad.json: /cameras/0/controls/{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}/1: control selector 1 is "
         "given twice, also as \"001\""},
        {[] {
             Json j = ValidScenario();
             Json& children = j["usb"]["controllers"][0]["hub"]["children"];
             children["02"] = children["2"];
             children["02"].erase("config");
             return j.dump();
         }(),
         "bad.json: /usb/controllers/0/hub/children/2: port 2 is given twice, also as \"02\""},
        {[&] {
             Json j = ValidScenario();
             j["cameras"][0]["controls"][lower] = {{"2", {{"length", 1}}}};
             return j.dump();
         }(),
         "bad.json: /cameras/0/controls/{0f4e8b29-d613-47c5-8a70-5b2c19e6f3d4}: this GUID is given twice, "
         "also as \"{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}\""},
        // Text after a NUL byte would be ignored.
        {std::string("{\"cameras\": []}\n\0{\"x\": 1}", 25),
         "bad.json: not valid JSON: a NUL byte at line 2, column 1"},
        {std::string("{\"cameras\": [] \0}", 17),
         "bad.json: not valid JSON: a NUL byte at line 1, column 16"},
        // A hub without ports has no port 1 to 0.
        {[] {
             Json j = ValidScenario();
             j["usb"]["controllers"][0]["hub"]["ports"] = 0;
             return j.dump();
         }(),
         "bad.json: /usb/controllers/0/hub/children/2: port \"2\" is out of range: this hub has no ports"},
    };
    for (const Case& c : cases) {
        const ScenarioLoad load = LoadScenarioText(c.text, "bad.json");
        EXPECT_FALSE(load) << c.text;
        EXPECT_EQ(load.error, c.message);
    }
}

TEST(ScenarioLoader, TheCompiledDemoIsTheFileInTheTree)
{
    std::ifstream in(NORVIK_SOURCE_DIR "/scenarios/demo.json", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(DemoScenarioText(), text.str());
    const ScenarioLoad demo = LoadDemoScenario();
    ASSERT_TRUE(demo) << demo.error;
    EXPECT_EQ(demo.scenario->cameras.size(), 3u);
    const ScenarioLoad file = LoadScenarioFile(NORVIK_SOURCE_DIR "/scenarios/demo.json");
    EXPECT_TRUE(file) << file.error;
}

TEST(ScenarioLoader, TheDocumentedExampleLoads)
{
    std::ifstream in(NORVIK_SOURCE_DIR "/docs/scenarios.md", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string doc = text.str();
    const auto section = doc.find("## A full example");
    ASSERT_NE(section, std::string::npos);
    const auto start = doc.find("```json\n", section);
    ASSERT_NE(start, std::string::npos);
    const auto end = doc.find("```", start + 8);
    const ScenarioLoad load = LoadScenarioText(doc.substr(start + 8, end - start - 8), "scenarios.md");
    ASSERT_TRUE(load) << load.error;
    EXPECT_EQ(load.scenario->cameras.size(), 2u);
    EXPECT_EQ(load.scenario->cameras[0].nodes[2].probeFailures, 1u);
}

// --- The built configuration descriptor -------------------------------------

TEST(UvcConfiguration, IsAWellFormedDescriptorChainWithTheUnitsInOrder)
{
    ScenarioExtensionUnit one;
    one.unitId = 1;  // takes the ID the camera terminal would otherwise get
    one.guid = *ParseRegistryGuid(kGuid);
    one.controlSize = 3;
    one.numControls = 5;
    one.bmControls = {0x1F, 0, 0};
    ScenarioExtensionUnit two = one;
    two.unitId = 9;
    two.inPins = 2;
    two.controlSize = 0;
    two.bmControls.clear();
    const std::vector<std::uint8_t> extra = {4, 0x24, 0x99, 0};
    const std::vector<std::uint8_t> bytes = BuildUvcConfiguration({one, two}, extra);

    ASSERT_GE(bytes.size(), 9u);
    EXPECT_EQ(bytes[2] | bytes[3] << 8, int(bytes.size()));
    std::vector<std::size_t> units;
    std::size_t vcHeader = 0, vcEnd = 0, interfaces = 0;
    std::size_t at = 0;
    for (; at < bytes.size(); at += bytes[at]) {
        ASSERT_GT(bytes[at], 0) << at;
        ASSERT_LE(at + bytes[at], bytes.size()) << at;
        if (bytes[at + 1] == 0x04)
            ++interfaces;
        if (bytes[at + 1] == 0x24 && bytes[at + 2] == 0x01 && !vcHeader)
            vcHeader = at;
        if (bytes[at + 1] == 0x24 && bytes[at + 2] == 0x06 && bytes[at] >= 24)
            units.push_back(at);
        if (bytes[at + 1] == 0x24 && bytes[at + 2] == 0x03)
            vcEnd = at + bytes[at];
    }
    EXPECT_EQ(at, bytes.size());
    EXPECT_EQ(interfaces, 3u);  // VideoControl, VideoStreaming and its alternate
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(bytes[units[0]], 25 + 3);
    EXPECT_EQ(bytes[units[0] + 3], 1);
    EXPECT_EQ(bytes[units[0] + 20], 5);
    EXPECT_EQ(bytes[units[0] + 24], 0x1F);
    EXPECT_EQ(bytes[units[1]], 24 + 2);
    EXPECT_EQ(bytes[units[1] + 22], 1);  // chained behind the first unit
    // The VideoControl header counts its class-specific descriptors.
    EXPECT_EQ(bytes[vcHeader + 5] | bytes[vcHeader + 6] << 8, int(vcEnd - vcHeader));
    EXPECT_TRUE(std::equal(extra.begin(), extra.end(), bytes.end() - 4));
    // No terminal or unit shares the extension units' IDs.
    EXPECT_NE(bytes[vcHeader + 13 + 3], 1);
}

}  // namespace
}  // namespace norvik
