// Listing the video input devices and their extension-unit nodes.

#include "tests/discovery/DiscoveryTestSupport.h"

namespace norvik::test {
namespace {

Json Cameras(Json cameras) { return Json{{"cameras", cameras}}; }

TEST(VideoEnumeration, TheEnumeratorsOwnFailuresPrintTheirTextAndListNothing)
{
    SimRun noEnumerator(
        Json{{"cameras", Json::array({Camera("2e7a", "0c41", "Cam")})}, {"enumeratorFails", true}});
    EXPECT_EQ(noEnumerator.Discover(),
              "Error Creating Device Enumerator"
              "Find 0 video device.\n\n");

    const std::string noHardware =
        "Sorry, you have no video capture hardware.\r\n\r\nVideo capture will not function properly."
        "Find 0 video device.\n\n";
    SimRun empty(Cameras(Json::array()));
    EXPECT_EQ(empty.Discover(), noHardware);
    SimRun refused(
        Json{{"cameras", Json::array({Camera("2e7a", "0c41", "Cam")})}, {"classEnumeratorFails", true}});
    EXPECT_EQ(refused.Discover(), noHardware);
    EXPECT_TRUE(refused.devices.Empty());
}

TEST(VideoEnumeration, IdsAreReadAfterTheFirstMarkersInEitherCase)
{
    Json lower = Camera("1234", "abcd", "Lower");
    Json upper = Camera("12AB", "CDEF", "Upper");
    Json shortIds = Camera("1", "2", "Short");
    shortIds["displayName"] = "@device:pnp:\\\\?\\usb#vid_12x4&pid_g&mi_00#vid_9999&pid_8888";
    Json noPid = Camera("1234", "abcd", "NoPid");
    noPid["displayName"] = "@device:pnp:\\\\?\\usb#vid_0bda&mi_00";
    SimRun run(Cameras(Json::array({lower, upper, shortIds, noPid})));
    run.Discover();
    ASSERT_EQ(run.devices.Size(), 4u);
    EXPECT_EQ(run.devices.At(0)->vendorId, 0x1234u);
    EXPECT_EQ(run.devices.At(0)->productId, 0xABCDu);
    EXPECT_EQ(run.devices.At(1)->vendorId, 0x12ABu);
    EXPECT_EQ(run.devices.At(1)->productId, 0xCDEFu);
    EXPECT_EQ(run.devices.At(2)->vendorId, 0x12u);  // reading stops at 'x'
    EXPECT_EQ(run.devices.At(2)->productId, 0u);    // no digit after the first "pid_"
    EXPECT_EQ(run.devices.At(3)->vendorId, 0x0BDAu);
    EXPECT_EQ(run.devices.At(3)->productId, 0u);
}

TEST(VideoEnumeration, OnlyDisplayNamesWithTheExactUsbMarkerAreListed)
{
    Json virtualCamera = Camera("0000", "0000", "Virtual");
    virtualCamera["displayName"] = "@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\vcam";
    Json capitals = Camera("2e7a", "0c41", "Capitals");
    capitals["displayName"] = "@device:pnp:\\\\?\\USB#VID_2E7A&PID_0C41&MI_00";
    capitals["devicePath"] = "\\\\?\\USB#VID_2E7A";
    Json unnamed = Camera("2e7a", "0c41", "Unnamed");
    unnamed["displayNameFails"] = true;
    SimRun run(Cameras(Json::array({virtualCamera, capitals, unnamed})));
    EXPECT_EQ(run.Discover(),
              "dispaly name = @device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\vcam\n"
              "dispaly name = @device:pnp:\\\\?\\USB#VID_2E7A&PID_0C41&MI_00\n"
              "Find 0 video device.\n\n");
}

TEST(VideoEnumeration, NamesAreCutToTheirFieldsAndCamerasKeepTheirOrder)
{
    const std::string longName(70, 'N');
    Json first = Camera("2e7a", "0001", longName);
    Json second = Camera("2e7a", "0002", "Second");
    second["displayName"] = UsbDisplayName("2e7a", "0002") + std::string(300, 'x');
    SimRun run(Cameras(Json::array({first, second})));
    run.Discover();
    ASSERT_EQ(run.devices.Size(), 2u);
    EXPECT_EQ(run.devices.At(0)->friendlyName, std::wstring(63, L'N'));
    EXPECT_EQ(run.devices.At(0)->productId, 1u);
    EXPECT_EQ(run.devices.At(1)->displayName.size(), 259u);
    EXPECT_EQ(run.devices.At(1)->productId, 2u);
    // The printed display name is the kept one.
    const std::wstring kept = run.devices.At(1)->displayName;
    EXPECT_NE(run.runtime.Transcript().find("dispaly name = " + std::string(kept.begin(), kept.end()) + "\n"),
              std::string::npos);
}

TEST(VideoEnumeration, ADeviceWhosePropertiesCannotBeReadIsNotListed)
{
    Json noFriendly = Camera("2e7a", "0001", "x");
    noFriendly.erase("friendlyName");
    noFriendly["devicePath"] = "\\\\?\\usb#vid_2e7a&pid_0001";
    noFriendly["setup"] = Json{{"class", "Camera"}};
    Json noBag = Camera("2e7a", "0002", "y");
    noBag["propertyBag"] = false;
    SimRun run(Cameras(Json::array({noFriendly, noBag})));
    EXPECT_EQ(run.Discover(), "dispaly name = " + UsbDisplayName("2e7a", "0001") +
                                  "\n"
                                  "DevicePath = \\\\?\\usb#vid_2e7a&pid_0001\n"
                                  "Class = Camera\n"
                                  "\n"
                                  "dispaly name = " +
                                  UsbDisplayName("2e7a", "0002") +
                                  "\n"
                                  "Find 0 video device.\n\n");
}

// --- Topology ----------------------------------------------------------------

TEST(TopologyScan, DeviceSpecificNodesBecomeUnitsInNodeOrder)
{
    Json nodes = Json::array();
    for (int i = 0; i < 8; ++i)
        nodes.push_back(i == 3 ? XuNode(kGuidA) : i == 5 ? XuNode(kGuidB) : OtherNode());
    nodes[6] = Json{{"type", "xu"}, {"guid", kGuidC}, {"typeFails", true}};
    SimRun run(Cameras(Json::array({Camera("2e7a", "0c41", "Cam", nodes)})));
    const std::string lines = run.Discover();
    EXPECT_NE(lines.find("node num = 8\nfound one xu, node = 3\nfound one xu, node = 5\nFind 1"),
              std::string::npos)
        << lines;
    const CaptureDevice& cam = *run.devices.At(0);
    ASSERT_EQ(cam.unitCount, 2u);
    ASSERT_EQ(cam.units.size(), 2u);
    EXPECT_EQ(cam.units[0].nodeId, 3u);
    EXPECT_EQ(cam.units[1].nodeId, 5u);
    for (const ExtensionUnitInfo& unit : cam.units) {
        EXPECT_TRUE(unit.guid.IsZero());
        EXPECT_EQ(unit.unitId, 0u);
        EXPECT_EQ(unit.matched, 0u);
    }
    EXPECT_NE(cam.control, nullptr);  // kept for matching
}

TEST(TopologyScan, WhatEachMissingPieceLeavesBehind)
{
    struct Case {
        Json change;
        std::string lines;  // printed between the display name and the count
        bool keepsControl;
    };
    const std::vector<Case> cases = {
        {{{"nodes", Json::array({OtherNode(), OtherNode()})}}, "node num = 2\n", true},
        {{{"nodes", Json::array()}}, "", true},
        {{{"nodeCountFails", true}}, "", true},
        {{{"binds", false}}, "", false},
        {{{"topologyInfo", false}}, "Unable to obtain IKsTopologyInfo 80004002\n", false},
        {{{"ksControl", false}}, "", false},
    };
    for (const Case& c : cases) {
        Json camera = Camera("2e7a", "0c41", "Cam", Json::array({XuNode(kGuidA)}));
        camera.update(c.change);
        SimRun run(Cameras(Json::array({camera})));
        EXPECT_EQ(run.Discover(), "dispaly name = " + UsbDisplayName("2e7a", "0c41") + "\n" + c.lines +
                                      "Find 1 video device.\n\n")
            << c.change.dump();
        const CaptureDevice& cam = *run.devices.At(0);
        EXPECT_EQ(cam.unitCount, 0u) << c.change.dump();
        EXPECT_TRUE(cam.units.empty());
        EXPECT_EQ(cam.control != nullptr, c.keepsControl) << c.change.dump();
    }
}

TEST(TopologyScan, TheChineseLocaleIsSetFirstAndAgainBeforeEachNodeCount)
{
    Json noNodes = Camera("2e7a", "0c42", "Empty");
    Json countFails = Camera("2e7a", "0c43", "Broken", Json::array({XuNode(kGuidA)}));
    countFails["nodeCountFails"] = true;
    SimRun run(Cameras(
        Json::array({Camera("2e7a", "0c41", "Cam", Json::array({OtherNode(), XuNode(kGuidA)})), noNodes,
                     countFails, Camera("2e7a", "0c44", "Cam2", Json::array({XuNode(kGuidB)}))})));
    run.Discover();
    const std::string all = run.runtime.AllDiagnostics();
    const std::size_t first = all.find("node num = 2\n");
    const std::size_t second = all.find("node num = 1\n");
    ASSERT_NE(second, std::string::npos) << all;
    // Before the run prints anything, then before each node count printed.
    EXPECT_EQ(run.runtime.ChineseLocaleCalls(), (std::vector<std::size_t>{0, first, second})) << all;
}

}  // namespace
}  // namespace norvik::test
