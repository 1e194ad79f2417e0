// norvikctl tells two identical cameras apart: on a bench with two cameras
// of the same model and extension unit, --camera names each by its location
// or its serial, list shows what to name them by, and an address that names
// none, both, or is not an address is refused (exit 2) before any request.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "CtlRunner.h"

namespace norvik::testing {
namespace {

using Json = nlohmann::json;

const std::string kTwins = NORVIK_SOURCE_DIR "/scenarios/twin-cameras.json";
const std::string kUnit = "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}";
const std::string kFirst = "Port_#0001.Hub_#0001";
const std::string kSecond = "Port_#0002.Hub_#0001";

class CtlAddressTest : public CtlTest {
protected:
    CtlResult OnTwins(const std::vector<std::string>& args) const { return Run(args, kTwins); }

    // Runs with the simulated cameras' requests traced into a fresh file.
    CtlResult Traced(const std::vector<std::string>& args) const
    {
        std::error_code ignored;
        std::filesystem::remove(Path("trace"), ignored);
        return Run(args, kTwins, {{"NORVIK_SIM_TRACE", Utf8Path(Path("trace"))}});
    }

    std::string Trace() const { return ReadFileBytes(Path("trace")); }

    // The calibration (control 2) of the camera the address names.
    std::string Calibration(std::vector<std::string> choice) const
    {
        std::vector<std::string> args = {"get"};
        args.insert(args.end(), choice.begin(), choice.end());
        args.insert(args.end(), {"--cs", "2"});
        const CtlResult result = OnTwins(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    }
};

TEST_F(CtlAddressTest, ListShowsWhatTellsTheCamerasApart)
{
    const CtlResult text = OnTwins({"list"});
    ASSERT_EQ(text.status, 0) << text.err;
    // Discovery ties the descriptor of each USB device to the first capture
    // device with its IDs, as the dialog's does: the twin's unit stays
    // unmatched, though its node answers the GUID.
    const std::string expected =
        "device 0: Kestrel UVC Camera (VID 2E7A, PID 0C41)\n"
        "  location Port_#0001.Hub_#0001, serial KST-A0017\n"
        "  unit 0: {6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96} bUnitID=4 node=2 matched\n"
        "device 1: Kestrel UVC Camera (VID 2E7A, PID 0C41), no matched unit\n"
        "  location Port_#0002.Hub_#0001, serial KST-A0042\n"
        "  unit 0: {00000000-0000-0000-0000-000000000000} bUnitID=0 node=2 not matched\n";
    EXPECT_EQ(text.out, expected);

    const CtlResult json = OnTwins({"list", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const Json devices = Json::parse(json.out).at("devices");
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].at("location"), kFirst);
    EXPECT_EQ(devices[0].at("serial"), "KST-A0017");
    EXPECT_TRUE(devices[0].at("videoNode").is_null());  // no video nodes on this platform
    EXPECT_EQ(devices[1].at("location"), kSecond);
    EXPECT_EQ(devices[1].at("serial"), "KST-A0042");
    EXPECT_TRUE(devices[1].at("videoNode").is_null());

    // A camera without a serial: null, and "no serial" in the text.
    const CtlResult demo = Run({"list", "--json"});
    ASSERT_EQ(demo.status, 0) << demo.err;
    const Json first = Json::parse(demo.out).at("devices").at(0);
    EXPECT_EQ(first.at("location"), "Port_#0003.Hub_#0001");
    EXPECT_TRUE(first.at("serial").is_null());
    EXPECT_NE(Run({"list"}).out.find("  location Port_#0003.Hub_#0001, no serial\n"), std::string::npos);
}

TEST_F(CtlAddressTest, EachCameraByLocationAndBySerial)
{
    // The two cameras hold different calibrations: the value read proves
    // which one was opened.
    const std::string first = "11 11 00 00\n", second = "22 22 00 00\n";
    EXPECT_EQ(Calibration({"--camera", kFirst, "--guid", kUnit}), first);
    EXPECT_EQ(Calibration({"--camera", kSecond, "--guid", kUnit}), second);
    EXPECT_EQ(Calibration({"--camera", "2E7A:0C41:KST-A0017", "--guid", kUnit}), first);
    EXPECT_EQ(Calibration({"--camera", "2e7a:0c41:KST-A0042", "--guid", kUnit}), second);
    // By unit position on the camera instead of the GUID: only a unit the
    // picker lists, which the twin's is not.
    EXPECT_EQ(Calibration({"--camera", "2E7A:0C41:KST-A0017", "--unit", "0"}), first);
    const CtlResult unlisted = OnTwins({"get", "--camera", kSecond, "--unit", "0", "--cs", "2"});
    EXPECT_EQ(unlisted.status, 1);
    EXPECT_EQ(unlisted.err,
              "norvikctl: device 1 has no unit tied to a USB descriptor, so it cannot be picked\n");
    // --guid alone opens the first camera that answers.
    EXPECT_EQ(Calibration({"--guid", kUnit}), first);

    // Every subcommand that opens a unit takes the address.
    const CtlResult len = OnTwins({"len", "--camera", kSecond, "--guid", kUnit, "--cs", "1"});
    EXPECT_EQ(len.status, 0) << len.err;
    EXPECT_EQ(len.out, "16\n");
    const CtlResult info = OnTwins({"info", "--camera", kSecond, "--guid", kUnit, "--cs", "1", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\"cur\":\"4B 53 54 2D 41 30 30 34 32 00"), std::string::npos)
        << info.out;  // KST-A0042
    const CtlResult controls = OnTwins({"controls", "--camera", "2E7A:0C41:KST-A0042", "--guid", kUnit});
    EXPECT_NE(controls.out.find("22 22 00 00"), std::string::npos) << controls.out << controls.err;

    // A SET goes to the named camera only, and its row names the unit as typed.
    const CtlResult set =
        Traced({"set", "--camera", kSecond, "--guid", kUnit, "--cs", "2", "--hex", "33 33 00 00", "--json"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_NE(Trace().find("camera 1 set node=2 cs=2 length=4\n"), std::string::npos) << Trace();
    EXPECT_EQ(Trace().find("camera 0 set"), std::string::npos) << Trace();
    EXPECT_EQ(Json::parse(set.out).at("xuGuid"), kUnit);

    // A batch runs on the named camera.
    const std::string script = WriteFile("bench.txt", "get 2\nexpect 2 22 22 00 00\n");
    const CtlResult batch = OnTwins({"batch", "--camera", "2E7A:0C41:KST-A0042", "--guid", kUnit, script});
    EXPECT_EQ(batch.status, 0) << batch.out << batch.err;
    EXPECT_NE(batch.out.find("\"dataHex\":\"22 22 00 00\""), std::string::npos) << batch.out;
}

TEST_F(CtlAddressTest, AnAddressThatNamesNoneOrBothIsRefused)
{
    // Both cameras have this VID:PID: the message names their locations.
    const CtlResult both = OnTwins({"get", "--camera", "2E7A:0C41", "--guid", kUnit, "--cs", "2"});
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(both.out, "");
    EXPECT_EQ(both.err,
              "norvikctl: --camera \"2E7A:0C41\" matches 2 cameras, at Port_#0001.Hub_#0001 and "
              "Port_#0002.Hub_#0001: name one by its location or serial\n");

    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string known = " (the cameras: Port_#0001.Hub_#0001 and Port_#0002.Hub_#0001)\n";
    // What discovery alone asks the cameras: no request to a unit beyond it.
    ASSERT_EQ(Traced({"list"}).status, 0);
    const std::string discoveryOnly = Trace();
    const Case cases[] = {
        {{"get", "--camera", "Port_#0003.Hub_#0001", "--guid", kUnit, "--cs", "2"},
         "norvikctl: --camera \"Port_#0003.Hub_#0001\" matches no camera" + known},
        {{"get", "--camera", "port_#0001.hub_#0001", "--unit", "0", "--cs", "2"},
         "norvikctl: --camera \"port_#0001.hub_#0001\" matches no camera" + known},
        {{"len", "--camera", "2E7A:0C41:KST-A0099", "--guid", kUnit, "--cs", "2"},
         "norvikctl: --camera \"2E7A:0C41:KST-A0099\" matches no camera" + known},
        {{"len", "--camera", "2E7A:0C42", "--guid", kUnit, "--cs", "2"},
         "norvikctl: --camera \"2E7A:0C42\" matches no camera" + known},
        // The simulated platform has no video nodes.
        {{"len", "--camera", "/dev/video0", "--guid", kUnit, "--cs", "2"},
         "norvikctl: --camera \"/dev/video0\" matches no camera" + known},
    };
    for (const Case& c : cases) {
        const CtlResult result = Traced(c.args);
        EXPECT_EQ(result.status, 2) << c.args[2];
        EXPECT_EQ(result.err, c.err) << c.args[2];
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(Trace(), discoveryOnly) << c.args[2];
    }

    // A unit that is not on the named camera is a failed open, not a usage error.
    const CtlResult elsewhere =
        OnTwins({"get", "--camera", kFirst, "--guid", "{00112233-4455-6677-8899-AABBCCDDEEFF}", "--cs", "2"});
    EXPECT_EQ(elsewhere.status, 1);
    EXPECT_EQ(elsewhere.err,
              "norvikctl: no capture device answers the XU GUID {00112233-4455-6677-8899-AABBCCDDEEFF}\n");
}

TEST_F(CtlAddressTest, WhatIsNoAddressIsRefusedBeforeAnyCameraIsTouched)
{
    struct Case {
        std::string address;
        std::string reason;
    };
    const Case cases[] = {
        {"2E7A:C41", "the product ID of VID:PID must be four hex digits"},
        {"2E7AA:0C41", "the vendor ID of VID:PID must be four hex digits"},
        {"2E7G:0C41", "the vendor ID of VID:PID must be four hex digits"},
        {"0x2E7A:0C41", "the vendor ID of VID:PID must be four hex digits"},
        {":0C41", "the vendor ID of VID:PID must be four hex digits"},
        {"2E7A:0C41:", "the serial after VID:PID: is empty"},
        {"2E7A:", "the product ID of VID:PID must be four hex digits"},
        {"/dev/vid0", "a video node is /dev/video and its number, e.g. /dev/video0"},
        {"/dev/video", "a video node is /dev/video and its number, e.g. /dev/video0"},
        {"/dev/video1x", "a video node is /dev/video and its number, e.g. /dev/video0"},
        {" Port_#0001.Hub_#0001",
         "blanks and control characters are in no address (a location as list shows it, a video node "
         "(/dev/videoN), VID:PID or VID:PID:SERIAL)"},
        {"2E7A:0C41:KST A0017",
         "blanks and control characters are in no address (a location as list shows it, a video node "
         "(/dev/videoN), VID:PID or VID:PID:SERIAL)"},
    };
    for (const Case& c : cases) {
        const CtlResult result = OnTwins({"get", "--camera", c.address, "--guid", kUnit, "--cs", "2"});
        EXPECT_EQ(result.status, 2) << c.address;
        EXPECT_EQ(result.err, "norvikctl: --camera \"" + c.address + "\": " + c.reason + "\n") << c.address;
        EXPECT_EQ(result.announcement, "") << c.address;  // no platform was even started
    }
    const CtlResult empty = OnTwins({"get", "--camera=", "--guid", kUnit, "--cs", "2"});
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err,
              "norvikctl: --camera needs an address: a location as list shows it, a video node "
              "(/dev/videoN), VID:PID or VID:PID:SERIAL\n");

    // Which unit on the camera must be said, and a list position of another
    // device cannot be combined with it.
    const CtlResult noUnit = OnTwins({"get", "--camera", kFirst, "--cs", "2"});
    EXPECT_EQ(noUnit.status, 2);
    EXPECT_EQ(noUnit.err, "norvikctl: name the unit on the --camera with --guid {...} or with --unit K\n");
    const CtlResult withDevice =
        OnTwins({"get", "--camera", kFirst, "--device", "1", "--unit", "0", "--cs", "2"});
    EXPECT_EQ(withDevice.status, 2);
    EXPECT_NE(withDevice.err.find("--camera excludes --device"), std::string::npos) << withDevice.err;
    const CtlResult unitAlone = OnTwins({"get", "--unit", "0", "--cs", "2"});
    EXPECT_EQ(unitAlone.status, 2);
    EXPECT_EQ(unitAlone.err, "norvikctl: --unit needs --device N or --camera ADDRESS\n");
}

}  // namespace
}  // namespace norvik::testing
