#include <gtest/gtest.h>

#include "EmulatedCamera.h"
#include "UsbIpWire.h"

namespace norvik::bench {
namespace {

const char* kScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:bench",
    "friendlyName": "Bench Cam",
    "nodes": [{"type": "xu", "guid": "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}"}],
    "controls": {"{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}": {
      "1": {"length": 4, "value": "01 02 03 04"},
      "2": {"length": 2, "value": "AA BB", "getFail": "0x8007001F", "failTimes": 1},
      "3": {"length": 1, "value": "07", "setFail": "0x80070015", "delayMs": 900},
      "4": {"length": 3, "fail": "0x80070057"},
      "5": {"length": 2, "value": "10 00", "info": 15, "min": "01", "max": "20", "res": "02", "def": "08",
            "queryFail": {"res": "0x80070032"}}
    }}
  }],
  "usb": {"controllers": [{"index": 0, "hub": {"ports": 2, "children": {"2": {
    "idVendor": "0x2E7A", "idProduct": "0x0C41",
    "config": {"extensionUnits": [{"unitId": 9, "guid": "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}"}]}
  }}}}]}
})";

constexpr std::uint8_t kIn = 0xA1;   // class, interface, device to host
constexpr std::uint8_t kOut = 0x21;  // class, interface, host to device

SetupPacket Class(std::uint8_t type, std::uint8_t request, std::uint8_t selector, std::uint8_t entity,
                  std::uint8_t interface, std::uint16_t length)
{
    SetupPacket s;
    s.bmRequestType = type;
    s.bRequest = request;
    s.wValue = std::uint16_t(selector << 8);
    s.wIndex = std::uint16_t(entity << 8 | interface);
    s.wLength = length;
    return s;
}

SetupPacket GetDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t length)
{
    SetupPacket s;
    s.bmRequestType = 0x80;
    s.bRequest = 0x06;
    s.wValue = std::uint16_t(type << 8 | index);
    s.wLength = length;
    return s;
}

class EmulatedCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        load_ = LoadScenarioText(kScenario, "bench.json");
        ASSERT_TRUE(load_) << load_.error;
        std::string error;
        camera_ = EmulatedCamera::FromScenario(*load_.scenario, 0, error);
        ASSERT_TRUE(camera_) << error;
    }

    std::uint8_t ErrorCode()
    {
        auto answer = camera_->Control(Class(kIn, uvcreq::kGetCur, 2, 0, 0, 1), {});
        EXPECT_FALSE(answer.stall);
        return answer.data.empty() ? 0xEE : answer.data[0];
    }

    ScenarioLoad load_;
    std::unique_ptr<EmulatedCamera> camera_;
};

TEST_F(EmulatedCameraTest, DescriptorsComeFromTheScenarioAndAreCutToTheRequestedLength)
{
    auto device = camera_->Control(GetDescriptor(1, 0, 64), {});
    ASSERT_EQ(device.data.size(), 18u);
    EXPECT_EQ(device.data[8] | device.data[9] << 8, 0x2E7A);
    EXPECT_EQ(device.data[10] | device.data[11] << 8, 0x0C41);

    auto head = camera_->Control(GetDescriptor(2, 0, 9), {});
    ASSERT_EQ(head.data.size(), 9u);
    const std::size_t total = std::size_t(head.data[2] | head.data[3] << 8);
    EXPECT_EQ(total, camera_->ConfigurationDescriptor().size());
    EXPECT_EQ(camera_->Control(GetDescriptor(2, 0, 0xFFFF), {}).data, camera_->ConfigurationDescriptor());

    ASSERT_EQ(camera_->Units().size(), 1u);
    EXPECT_EQ(camera_->Units()[0].unitId, 9);

    // The product string is the camera's friendly name, in UTF-16LE.
    auto product = camera_->Control(GetDescriptor(3, 2, 255), {});
    ASSERT_EQ(product.data.size(), 2u + 2u * 9u);
    EXPECT_EQ(product.data[2], 'B');
    EXPECT_EQ(product.data[14], 'C');
    EXPECT_TRUE(camera_->Control(GetDescriptor(0x0F, 0, 5), {}).stall);  // no BOS
    EXPECT_TRUE(camera_->Control(GetDescriptor(6, 0, 10), {}).stall);    // no device qualifier
}

TEST_F(EmulatedCameraTest, ExtensionUnitControlsAnswerLengthInfoAndRoundTripTheirValue)
{
    auto length = camera_->Control(Class(kIn, uvcreq::kGetLen, 1, 9, 0, 2), {});
    EXPECT_EQ(length.data, (std::vector<std::uint8_t>{4, 0}));
    EXPECT_EQ(camera_->Control(Class(kIn, uvcreq::kGetInfo, 1, 9, 0, 1), {}).data,
              (std::vector<std::uint8_t>{0x03}));
    EXPECT_EQ(camera_->Control(Class(kIn, uvcreq::kGetCur, 1, 9, 0, 4), {}).data,
              (std::vector<std::uint8_t>{1, 2, 3, 4}));

    const std::vector<std::uint8_t> written = {9, 8, 7, 6};
    EXPECT_FALSE(camera_->Control(Class(kOut, uvcreq::kSetCur, 1, 9, 0, 4), written).stall);
    EXPECT_EQ(camera_->Control(Class(kIn, uvcreq::kGetCur, 1, 9, 0, 4), {}).data, written);
    EXPECT_EQ(camera_->ControlValue(9, 1), written);
    // The default stays the scenario's value.
    EXPECT_EQ(camera_->Control(Class(kIn, uvcreq::kGetDef, 1, 9, 0, 4), {}).data,
              (std::vector<std::uint8_t>{1, 2, 3, 4}));

    // A SET of another length than the control's is refused as an invalid value.
    EXPECT_TRUE(camera_->Control(Class(kOut, uvcreq::kSetCur, 1, 9, 0, 2), {1, 2}).stall);
    EXPECT_EQ(ErrorCode(), uvcerror::kInvalidValue);
    EXPECT_EQ(camera_->ControlValue(9, 1), written);
}

TEST_F(EmulatedCameraTest, QueriesAnswerTheScenarioKeysAndTheirDefaults)
{
    auto ask = [this](std::uint8_t request, std::uint8_t selector, std::uint16_t length) {
        return camera_->Control(Class(kIn, request, selector, 9, 0, length), {});
    };
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(ask(uvcreq::kGetInfo, 5, 1).data, (Bytes{15}));
    EXPECT_EQ(ask(uvcreq::kGetMin, 5, 2).data, (Bytes{0x01, 0x00}));
    EXPECT_EQ(ask(uvcreq::kGetMax, 5, 2).data, (Bytes{0x20, 0x00}));
    EXPECT_EQ(ask(uvcreq::kGetDef, 5, 2).data, (Bytes{0x08, 0x00}));
    // queryFail stalls its kind only, as a request the control does not have.
    EXPECT_TRUE(ask(uvcreq::kGetRes, 5, 2).stall);
    EXPECT_EQ(ErrorCode(), uvcerror::kInvalidRequest);
    EXPECT_EQ(ask(uvcreq::kGetCur, 5, 2).data, (Bytes{0x10, 0x00}));
    // Selector 1 gives nothing: the defaults.
    EXPECT_EQ(ask(uvcreq::kGetMin, 1, 4).data, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(ask(uvcreq::kGetMax, 1, 4).data, (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ask(uvcreq::kGetRes, 1, 4).data, (Bytes{1, 0, 0, 0}));
    // "fail" stalls the queries too.
    EXPECT_TRUE(ask(uvcreq::kGetInfo, 4, 1).stall);
}

TEST_F(EmulatedCameraTest, UnknownSelectorsAndUnitsStallWithTheirErrorCode)
{
    EXPECT_TRUE(camera_->Control(Class(kIn, uvcreq::kGetLen, 7, 9, 0, 2), {}).stall);
    EXPECT_EQ(ErrorCode(), uvcerror::kInvalidControl);
    EXPECT_TRUE(camera_->Control(Class(kIn, uvcreq::kGetCur, 1, 77, 0, 4), {}).stall);
    EXPECT_EQ(ErrorCode(), uvcerror::kInvalidUnit);
    // A good request clears the code.
    EXPECT_FALSE(camera_->Control(Class(kIn, uvcreq::kGetCur, 1, 9, 0, 4), {}).stall);
    EXPECT_EQ(ErrorCode(), uvcerror::kNoError);
}

TEST_F(EmulatedCameraTest, InjectedFailuresStallOnlyTheirRequestsAndStopAfterFailTimes)
{
    // getFail: the length probe still works, the value read stalls once.
    EXPECT_FALSE(camera_->Control(Class(kIn, uvcreq::kGetLen, 2, 9, 0, 2), {}).stall);
    EXPECT_FALSE(camera_->Control(Class(kIn, uvcreq::kGetInfo, 2, 9, 0, 1), {}).stall);
    EXPECT_TRUE(camera_->Control(Class(kIn, uvcreq::kGetCur, 2, 9, 0, 2), {}).stall);
    EXPECT_EQ(ErrorCode(), uvcerror::kUnknown);
    EXPECT_EQ(camera_->Control(Class(kIn, uvcreq::kGetCur, 2, 9, 0, 2), {}).data,
              (std::vector<std::uint8_t>{0xAA, 0xBB}));

    // setFail with ERROR_NOT_READY: every SET stalls with "not ready", GETs
    // work, and every request of the selector waits its delay.
    auto set = camera_->Control(Class(kOut, uvcreq::kSetCur, 3, 9, 0, 1), {1});
    EXPECT_TRUE(set.stall);
    EXPECT_EQ(set.delayMs, 900u);
    EXPECT_EQ(ErrorCode(), uvcerror::kNotReady);
    auto get = camera_->Control(Class(kIn, uvcreq::kGetCur, 3, 9, 0, 1), {});
    EXPECT_FALSE(get.stall);
    EXPECT_EQ(get.delayMs, 900u);
    EXPECT_EQ(get.data, (std::vector<std::uint8_t>{7}));

    // fail: even the length probe stalls.
    EXPECT_TRUE(camera_->Control(Class(kIn, uvcreq::kGetLen, 4, 9, 0, 2), {}).stall);
    EXPECT_EQ(ErrorCode(), uvcerror::kInvalidValue);
}

// The reasons uvcvideo turns into errno values of their own, from the
// failure code a scenario injects.
TEST(EmulatedCameraErrors, InjectedCodesGiveTheLikeUvcReason)
{
    EXPECT_EQ(UvcErrorCodeFor(HResult(0x80070015u)), uvcerror::kNotReady);      // ERROR_NOT_READY
    EXPECT_EQ(UvcErrorCodeFor(HResult(0x80070005u)), uvcerror::kWrongState);    // ERROR_ACCESS_DENIED
    EXPECT_EQ(UvcErrorCodeFor(HResult(0x8000000Bu)), uvcerror::kOutOfRange);    // E_BOUNDS
    EXPECT_EQ(UvcErrorCodeFor(HResult(0x80070057u)), uvcerror::kInvalidValue);  // ERROR_INVALID_PARAMETER
    EXPECT_EQ(UvcErrorCodeFor(HResult(0x8007001Fu)), uvcerror::kUnknown);
    EXPECT_EQ(UvcErrorCodeFor(HResult(0x8000000Au)), uvcerror::kUnknown);
}

TEST_F(EmulatedCameraTest, StreamingProbeKeepsWhatTheHostSets)
{
    auto def = camera_->Control(Class(kIn, uvcreq::kGetDef, 1, 0, 1, 26), {});
    ASSERT_EQ(def.data.size(), 26u);
    EXPECT_EQ(def.data[2], 1);  // bFormatIndex
    EXPECT_EQ(def.data[3], 1);  // bFrameIndex
    std::vector<std::uint8_t> probe = def.data;
    probe[4] = 0x55;
    EXPECT_FALSE(camera_->Control(Class(kOut, uvcreq::kSetCur, 1, 0, 1, 26), probe).stall);
    EXPECT_EQ(camera_->Control(Class(kIn, uvcreq::kGetCur, 1, 0, 1, 26), {}).data, probe);
    // A longer read (UVC 1.1 size) gets the 26 bytes the camera has.
    EXPECT_EQ(camera_->Control(Class(kIn, uvcreq::kGetCur, 2, 0, 1, 34), {}).data.size(), 26u);
}

TEST(EmulatedCameraScenario, RefusesAScenarioWithoutAConfiguredUsbDevice)
{
    auto load = LoadScenarioText(R"({"cameras": [{"displayName": "x"}]})", "none.json");
    ASSERT_TRUE(load) << load.error;
    std::string error;
    EXPECT_FALSE(EmulatedCamera::FromScenario(*load.scenario, 0, error));
    EXPECT_NE(error.find("configuration descriptor"), std::string::npos);
    EXPECT_FALSE(EmulatedCamera::FromScenario(*load.scenario, 3, error));
    EXPECT_NE(error.find("no camera 3"), std::string::npos);
}

// A header whose lengths no stream to the camera carries is refused before
// anything is read or allocated for it.
TEST(UsbIpWire, RefusesLengthsNoStreamCarries)
{
    UsbIpCommand out;
    out.command = kUsbIpCmdSubmit;
    out.direction = kUsbIpDirOut;
    out.transferBufferLength = 0xFFFF;
    EXPECT_EQ(out.FollowingBytes(false), std::optional<std::size_t>(0xFFFF));
    out.transferBufferLength = 0x10000;
    EXPECT_EQ(out.FollowingBytes(false), std::nullopt);
    out.transferBufferLength = 0x7FFFFFFF;
    EXPECT_EQ(out.FollowingBytes(true), std::nullopt);
    // IN data never follows the command, whatever its length.
    UsbIpCommand in = out;
    in.direction = kUsbIpDirIn;
    EXPECT_EQ(in.FollowingBytes(false), std::optional<std::size_t>(0));

    in.numberOfPackets = kUsbIpMaxIsoPackets;
    EXPECT_EQ(in.FollowingBytes(true), std::optional<std::size_t>(1024 * kUsbIpIsoDescriptorSize));
    in.numberOfPackets = kUsbIpMaxIsoPackets + 1;
    EXPECT_EQ(in.FollowingBytes(true), std::nullopt);
    EXPECT_EQ(in.FollowingBytes(false), std::optional<std::size_t>(0));
}

// The OUT data of a control transfer: what followed, cut to the length the
// header gives; a negative length (the field is signed) gives none.
TEST(UsbIpWire, OutDataIsCutToTheTransferLength)
{
    UsbIpCommand out;
    out.command = kUsbIpCmdSubmit;
    out.direction = kUsbIpDirOut;
    const std::vector<std::uint8_t> following = {1, 2, 3, 4};
    out.transferBufferLength = 2;
    EXPECT_EQ(out.OutData(following), (std::vector<std::uint8_t>{1, 2}));
    out.transferBufferLength = 9;
    EXPECT_EQ(out.OutData(following), following);
    out.transferBufferLength = -129;
    EXPECT_TRUE(out.OutData(following).empty());
    out.transferBufferLength = 4;
    out.direction = kUsbIpDirIn;
    EXPECT_TRUE(out.OutData(following).empty());
}

TEST(UsbIpWire, DecodesSubmitAndUnlinkAndEncodesAnswersBigEndian)
{
    UsbIpHeaderBytes h{};
    h[3] = 0x01;  // CMD_SUBMIT
    h[6] = 0x01;
    h[7] = 0x02;   // seqnum 0x102
    h[15] = 0x00;  // OUT
    h[24] = 0x00;
    h[25] = 0x00;
    h[26] = 0x01;
    h[27] = 0x00;  // 256 bytes
    h[32] = 0xFF;
    h[33] = 0xFF;
    h[34] = 0xFF;
    h[35] = 0xFF;  // number_of_packets -1
    h[40] = 0x21;
    h[41] = 0x01;
    UsbIpCommand submit = DecodeCommand(h);
    EXPECT_EQ(submit.command, kUsbIpCmdSubmit);
    EXPECT_EQ(submit.seqnum, 0x102u);
    EXPECT_EQ(submit.transferBufferLength, 256);
    EXPECT_EQ(submit.setup[0], 0x21);
    EXPECT_EQ(submit.FollowingBytes(false), 256u);
    EXPECT_EQ(submit.FollowingBytes(true), 256u);  // -1 packets: none follow

    submit.direction = kUsbIpDirIn;
    submit.numberOfPackets = 3;
    EXPECT_EQ(submit.FollowingBytes(false), 0u);
    EXPECT_EQ(submit.FollowingBytes(true), 3u * kUsbIpIsoDescriptorSize);

    UsbIpHeaderBytes u{};
    u[3] = 0x02;
    u[7] = 0x09;
    u[23] = 0x05;
    UsbIpCommand unlink = DecodeCommand(u);
    EXPECT_EQ(unlink.command, kUsbIpCmdUnlink);
    EXPECT_EQ(unlink.unlinkSeqnum, 5u);
    EXPECT_EQ(unlink.FollowingBytes(true), 0u);

    const auto ret = EncodeRetSubmit(0x01020304, -32, 18);
    EXPECT_EQ((std::vector<std::uint8_t>(ret.begin(), ret.begin() + 8)),
              (std::vector<std::uint8_t>{0, 0, 0, 3, 1, 2, 3, 4}));
    EXPECT_EQ((std::vector<std::uint8_t>(ret.begin() + 20, ret.begin() + 28)),
              (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xE0, 0, 0, 0, 18}));
    const auto retUnlink = EncodeRetUnlink(7, -104);
    EXPECT_EQ(retUnlink[3], 4);
    EXPECT_EQ(retUnlink[7], 7);
    EXPECT_EQ(retUnlink[23], 0x98);  // -104
}

}  // namespace
}  // namespace norvik::bench
