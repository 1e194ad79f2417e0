// Tying extension unit descriptors to topology nodes: which descriptors are
// taken, the order of the probes, their retries and waits, and the report.

#include <cstdio>

#include "discovery/KsNode.h"
#include "discovery/UnitMatching.h"
#include "tests/discovery/DiscoveryTestSupport.h"

namespace norvik::test {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    char pair[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", b);
        text += pair;
    }
    return text;
}

std::vector<std::uint8_t> XuBytes(int unitId, const char* guid)
{
    std::vector<std::uint8_t> d = {26, 0x24, 0x06, std::uint8_t(unitId)};
    const Guid g = G(guid);
    d.insert(d.end(), g.bytes.begin(), g.bytes.end());
    // No controls, one input pin (from unit 2), one byte of control bits.
    d.insert(d.end(), {0, 1, 2, 1, 0, 0});
    return d;
}

// A configuration descriptor of the given descriptors, its wTotalLength
// claiming `claimed` bytes (all of them when 0).
Json HexConfig(const std::vector<std::vector<std::uint8_t>>& descriptors, int claimed = 0)
{
    std::vector<std::uint8_t> bytes = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
    for (const auto& d : descriptors)
        bytes.insert(bytes.end(), d.begin(), d.end());
    const int total = claimed ? claimed : int(bytes.size());
    bytes[2] = std::uint8_t(total & 0xFF);
    bytes[3] = std::uint8_t(total >> 8);
    return Json{{"hex", Hex(bytes)}};
}

// The lines of the USB walk, after the enumeration's.
std::string Report(const std::string& transcript)
{
    const std::string marker = "video device.\n\n";
    const auto at = transcript.find(marker);
    return at == std::string::npos ? transcript : transcript.substr(at + marker.size());
}

Json OneCamera(Json nodes, Json device)
{
    return Machine(Json::array({Camera("2e7a", "0c41", "Cam", nodes)}), Json::array({device}));
}

TEST(UnitMatching, ASingleUnitAnsweringAtOnceIsReportedWithItsPort)
{
    Json device = Device("2e7a", "0c41", Json::array({Unit(7, kGuidA)}));
    SimRun run(
        Machine(Json::array({Camera("2e7a", "0c41", "Cam", Json::array({OtherNode(), XuNode(kGuidA)}))}),
                Json::array({Device("1111", "2222"), Json(nullptr), device})));
    EXPECT_EQ(Report(run.Discover()),
              "pszDriverKey = dk-1111-2222\r\n"
              "pszDriverKey = dk-2e7a-0c41\r\n"
              "Cam\n"
              "vid = 2E7A, pid = 0C41\r\n"
              "(1) unitId = 7, nodeId = 1, ports = 3, guid = {A0A0A0A0-1111-4111-8111-0000000000A1}\r\n"
              "\n"
              "Use Time  = 0 ms\n");
    const CaptureDevice& cam = *run.devices.At(0);
    EXPECT_EQ(cam.hasMatchedUnit, 1u);
    EXPECT_EQ(cam.units[0].unitId, 7u);
    EXPECT_EQ(cam.control, nullptr);

    // The probe: a topology GET of property 0 in the unit's set, 32 bytes.
    const auto requests = run.platform->Camera(0).Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].set, G(kGuidA));
    EXPECT_EQ(requests[0].id, 0u);
    EXPECT_EQ(requests[0].flags, 0x10000001u);
    EXPECT_EQ(requests[0].nodeId, 1u);
    EXPECT_EQ(requests[0].reserved, 0u);
    EXPECT_EQ(requests[0].propertyLength, 32u);
    EXPECT_EQ(requests[0].dataLength, 32u);
}

TEST(UnitMatching, TheFirstUnmatchedNodeThatAnswersWinsAndIsNotTriedAgain)
{
    // Node 0 is unit B, node 1 unit A; the descriptors declare A, then B.
    SimRun run(OneCamera(Json::array({XuNode(kGuidB), XuNode(kGuidA)}),
                         Device("2e7a", "0c41", Json::array({Unit(4, kGuidA), Unit(5, kGuidB)}))));
    EXPECT_EQ(Report(run.Discover()),
              "pszDriverKey = dk-2e7a-0c41\r\n"
              "match error, unitId = 0, nodeId = 0, guid = {A0A0A0A0-1111-4111-8111-0000000000A1}\r\n"
              "Cam\n"
              "vid = 2E7A, pid = 0C41\r\n"
              "(1) unitId = 5, nodeId = 0, ports = 1, guid = {B0B0B0B0-2222-4222-8222-0000000000B2}\r\n"
              "(2) unitId = 4, nodeId = 1, ports = 1, guid = {A0A0A0A0-1111-4111-8111-0000000000A1}\r\n"
              "\n"
              "Use Time  = 600 ms\n");
    // Three refused attempts, each followed by 200 ms, then one probe each.
    EXPECT_EQ(run.runtime.SleepCalls(), (std::vector<std::uint32_t>{200, 200, 200}));
    EXPECT_EQ(run.platform->Camera(0).Requests().size(), 5u);
}

TEST(UnitMatching, OnlyOnePinExtensionUnitDescriptorsWithinTheLengthAreTaken)
{
    // Two input pins: the length test fails, no probe; the MJPEG format of the
    // built configuration (subtype 6, 11 bytes) is never taken either.
    Json twoPins = Unit(4, kGuidA);
    twoPins["inPins"] = 2;
    SimRun pins(OneCamera(Json::array({XuNode(kGuidA)}), Device("2e7a", "0c41", Json::array({twoPins}))));
    EXPECT_EQ(Report(pins.Discover()),
              "pszDriverKey = dk-2e7a-0c41\r\n"
              "Cam\n"
              "vid = 2E7A, pid = 0C41\r\n"
              "------vid=2E7A, pid=0C41, nodeId=0, Can't find xu\r\n\r\n"
              "\n"
              "Use Time  = 0 ms\n");
    EXPECT_TRUE(pins.platform->Camera(0).Requests().empty());

    // A last descriptor that runs past wTotalLength ends the walk before it;
    // so does a descriptor of length 0.
    const std::vector<std::uint8_t> zero = {0, 0x24, 0x06};
    for (const Json& config : {HexConfig({XuBytes(4, kGuidA), XuBytes(5, kGuidB)}, 9 + 26 + 20),
                               HexConfig({XuBytes(4, kGuidA), zero, XuBytes(5, kGuidB)})}) {
        Json device = Device("2e7a", "0c41");
        device["config"] = config;
        SimRun run(OneCamera(Json::array({XuNode(kGuidA), XuNode(kGuidB)}), device));
        run.Discover();
        const CaptureDevice& cam = *run.devices.At(0);
        EXPECT_EQ(cam.units[0].matched, 1u) << config.dump();
        EXPECT_EQ(cam.units[1].matched, 0u) << config.dump();
        EXPECT_EQ(run.platform->Camera(0).Requests().size(), 1u) << config.dump();
    }
}

TEST(UnitMatching, WhatIsReportedForDevicesWithoutUnitsOrWithoutCamera)
{
    SimRun none(
        OneCamera(Json::array({OtherNode()}), Device("2e7a", "0c41", Json::array({Unit(4, kGuidA)}))));
    EXPECT_EQ(Report(none.Discover()),
              "pszDriverKey = dk-2e7a-0c41\r\n"
              "Cam\n"
              "vid = 2E7A, pid = 0C41\r\n"
              "\n"
              "Use Time  = 0 ms\n");
    EXPECT_TRUE(none.platform->Camera(0).Requests().empty());

    // A hub or any device whose IDs belong to no camera: only its driver key.
    SimRun other(
        OneCamera(Json::array({XuNode(kGuidA)}), Device("2e7a", "0c42", Json::array({Unit(4, kGuidA)}))));
    EXPECT_EQ(Report(other.Discover()), "pszDriverKey = dk-2e7a-0c42\r\n");
    EXPECT_NE(other.devices.At(0)->control, nullptr);
}

TEST(UnitMatching, TwoCamerasWithTheSameIdsOnlyTheFirstIsMatched)
{
    Json first = Camera("2e7a", "0c41", "First", Json::array({XuNode(kGuidA)}));
    Json second = Camera("2e7a", "0c41", "Second", Json::array({XuNode(kGuidA)}));
    second["displayName"] = UsbDisplayName("2e7a", "0c41") + "#2";
    SimRun run(Machine(Json::array({first, second}),
                       Json::array({Device("2e7a", "0c41", Json::array({Unit(4, kGuidA)})),
                                    Device("2e7a", "0c41", Json::array({Unit(4, kGuidA)}))})));
    const std::string lines = Report(run.Discover());
    ASSERT_EQ(run.devices.Size(), 2u);
    EXPECT_EQ(run.devices.At(0)->hasMatchedUnit, 1u);
    EXPECT_EQ(run.devices.At(1)->hasMatchedUnit, 0u);
    EXPECT_NE(run.devices.At(1)->control, nullptr);
    EXPECT_TRUE(run.platform->Camera(1).Requests().empty());
    // The second USB device resolves to the first camera again: its control is
    // gone, so the visit only prints, reporting the unit under port 2.
    EXPECT_EQ(lines,
              "pszDriverKey = dk-2e7a-0c41\r\n"
              "First\n"
              "vid = 2E7A, pid = 0C41\r\n"
              "(1) unitId = 4, nodeId = 0, ports = 1, guid = {A0A0A0A0-1111-4111-8111-0000000000A1}\r\n"
              "\n"
              "Use Time  = 0 ms\n"
              "pszDriverKey = dk-2e7a-0c41\r\n"
              "First\n"
              "vid = 2E7A, pid = 0C41\r\n"
              "(1) unitId = 4, nodeId = 0, ports = 2, guid = {A0A0A0A0-1111-4111-8111-0000000000A1}\r\n"
              "\n"
              "Use Time  = 0 ms\n");
}

TEST(UnitMatching, ALaterVisitWithoutControlRefusesAtOnceWithoutWaiting)
{
    Json scenario =
        Machine(Json::array({Camera("2e7a", "0c41", "Cam", Json::array({XuNode(kGuidA), XuNode(kGuidB)}))}),
                Json::array({Device("2e7a", "0c41", Json::array({Unit(4, kGuidA)})),
                             Device("2e7a", "0c41", Json::array({Unit(5, kGuidC)}))}));
    SimRun twice(scenario);
    const std::string lines = Report(twice.Discover());
    EXPECT_NE(
        lines.find("match error, unitId = 0, nodeId = 1, guid = {C0C0C0C0-3333-4333-8333-0000000000C3}\r\n"
                   "Cam\n"),
        std::string::npos);
    EXPECT_TRUE(twice.runtime.SleepCalls().empty());
    EXPECT_EQ(twice.platform->Camera(0).Requests().size(), 1u);
}

TEST(UnitMatching, RefusedProbesAreRetriedTwiceWithWaitsOnTheClock)
{
    for (int failures : {1, 2, 3, 5}) {
        Json node = XuNode(kGuidA);
        node["probeFailures"] = failures;
        SimRun run(OneCamera(Json::array({node}), Device("2e7a", "0c41", Json::array({Unit(4, kGuidA)}))));
        run.runtime.SetTickCount(0xFFFFFF00u);  // the difference survives the wrap
        const std::string lines = run.Discover();
        const bool accepted = failures < 3;
        const int waited = 200 * std::min(failures, 3);
        EXPECT_EQ(run.devices.At(0)->hasMatchedUnit, accepted ? 1u : 0u) << failures;
        EXPECT_NE(lines.find("Use Time  = " + std::to_string(waited) + " ms\n"), std::string::npos)
            << failures << lines;
        EXPECT_EQ(lines.find("match error") != std::string::npos, !accepted) << failures;
        EXPECT_EQ(run.platform->Camera(0).Requests().size(), std::size_t(std::min(failures + 1, 3)));
    }
}

TEST(UnitMatching, AFailedDescriptorReadKeepsTheControlForALaterPort)
{
    Json broken = Device("2e7a", "0c41", Json::array({Unit(4, kGuidA)}));
    broken["config"]["firstRequestFails"] = true;
    Json scenario = Machine(Json::array({Camera("2e7a", "0c41", "Cam", Json::array({XuNode(kGuidA)}))}),
                            Json::array({broken, Device("2e7a", "0c41", Json::array({Unit(4, kGuidA)}))}));
    SimRun later(scenario);
    const std::string lines = later.Discover();
    EXPECT_NE(lines.find("GetConfigDescriptor error\n"), std::string::npos);
    EXPECT_NE(lines.find("(1) unitId = 4, nodeId = 0, ports = 2"), std::string::npos);
    EXPECT_EQ(later.devices.At(0)->hasMatchedUnit, 1u);
}

TEST(UnitMatching, TheDescriptorWalkStaysInsideTheBufferAndTheTotalLength)
{
    std::vector<std::uint8_t> config = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
    const auto a = XuBytes(4, kGuidA);
    config.insert(config.end(), a.begin(), a.end());
    config[2] = std::uint8_t(config.size());
    std::vector<Guid> seen;
    const auto collect = [&](const ExtensionUnitDescriptor& d) { seen.push_back(d.guid); };

    WalkExtensionUnitDescriptors(config, collect);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], G(kGuidA));

    // wTotalLength beyond the buffer: the buffer's end counts.
    config[2] = 0xFF;
    config[3] = 0x7F;
    seen.clear();
    WalkExtensionUnitDescriptors(std::span(config).first(config.size() - 1), collect);
    EXPECT_TRUE(seen.empty());
    seen.clear();
    WalkExtensionUnitDescriptors(std::span(config).first(3), collect);
    EXPECT_TRUE(seen.empty());

    FakeRuntime runtime;
    EXPECT_FALSE(TryUnitOnNode(runtime, nullptr, 0, G(kGuidA)));
    EXPECT_TRUE(runtime.SleepCalls().empty());
}

}  // namespace
}  // namespace norvik::test
