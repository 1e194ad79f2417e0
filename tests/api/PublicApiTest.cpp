// The public API as an outside program sees it: only <norvik/...> headers and
// libnorvik. What it reports must be what the dialog shows.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include <norvik/Norvik.h>

namespace {

// The demo's first unit: selector 1 is the firmware text, 2 an 8-byte value.
class PublicApi : public ::testing::Test {
protected:
    void SetUp() override
    {
        norvik::Result error;
        platform = norvik::Platform::Simulated("demo", &error);
        ASSERT_TRUE(platform) << error.text;
        session = std::make_unique<norvik::Session>(*platform);
        ASSERT_TRUE(session->Discover());
    }

    void TearDown() override
    {
        session.reset();
        platform.reset();
    }

    std::unique_ptr<norvik::Platform> platform;
    std::unique_ptr<norvik::Session> session;
};

TEST_F(PublicApi, DiscoversTheDemoAndOpensByPositionOrTypedGuid)
{
    const auto& devices = session->Devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].friendlyName, "Kestrel UVC Camera");
    EXPECT_EQ(devices[0].vendorId, 0x2E7Au);
    ASSERT_FALSE(devices[0].units.empty());
    EXPECT_EQ(devices[0].units[0].guid, "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}");

    EXPECT_EQ(session->OpenListed(7, 0).failure, norvik::Failure::NoSuchDevice);
    EXPECT_FALSE(session->IsOpen());
    const norvik::Result bad = session->OpenByGuid("{6d1f3a52}");
    EXPECT_EQ(bad.failure, norvik::Failure::BadGuidText);
    EXPECT_EQ(bad.text, "输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式");

    ASSERT_TRUE(session->OpenByGuid(" {6d1f3a52-9c7e-4b21-a8d5-3e0f71c24b96} typed"));
    norvik::TransferRow row;
    ASSERT_TRUE(session->Get("1", &row));
    EXPECT_EQ(row.device, "Kestrel UVC Camera");
    EXPECT_EQ(row.xuGuid, " {6d1f3a52-9c7e-4b21-a8d5-3e0f71c24b96} typed");
    EXPECT_EQ(row.dataString, "KST 2.4.17-b5120");
}

TEST_F(PublicApi, TransfersReportTheDialogsTextsAndSaveItsCsv)
{
    ASSERT_TRUE(session->OpenListed(0, 0));
    std::uint16_t length = 0;
    ASSERT_TRUE(session->Probe("2", &length));
    EXPECT_EQ(length, 8u);

    norvik::TransferRow row;
    ASSERT_TRUE(session->Set("2", "AB", norvik::DataForm::Text, &row));
    EXPECT_EQ(row.dataHex, "41 42 00 00 00 00 00 00");
    EXPECT_EQ(row.lineNumber, 1u);
    ASSERT_TRUE(session->Get("2", &row));
    EXPECT_EQ(row.bytes, (std::vector<std::uint8_t>{0x41, 0x42, 0, 0, 0, 0, 0, 0}));

    const norvik::Result zero = session->Get("256");
    EXPECT_EQ(zero.failure, norvik::Failure::ZeroSelector);
    EXPECT_EQ(zero.text, "cs不能为0");
    const norvik::Result probe = session->Probe("9");
    EXPECT_EQ(probe.failure, norvik::Failure::LengthProbe);
    EXPECT_EQ(std::uint32_t(probe.hresult), 0x80070490u);
    EXPECT_EQ(probe.text.rfind("获取CS长度失败，错误码 0x80070490: ", 0), 0u);
    EXPECT_EQ(session->Set("2", "", norvik::DataForm::Hex).failure, norvik::Failure::EmptyData);
    ASSERT_EQ(session->Rows().size(), 2u);  // refusals make no row

    std::string csv;
    ASSERT_TRUE(session->CsvBytes(&csv));
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "Line, Direct, Data(HEX), Data(String), Device, XU guid, ");
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "norvik-api-test.csv";
    std::string name;
    const norvik::Result saved = session->SaveLog(path.string(), &name);
    ASSERT_TRUE(saved) << saved.text;
    EXPECT_EQ(saved.text, "保存 " + path.string() + " 成功");
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), csv);
    std::filesystem::remove(path);

    session->ClearRows();
    EXPECT_EQ(session->SaveLog().failure, norvik::Failure::EmptyLog);
    ASSERT_TRUE(session->Get("2", &row));
    EXPECT_EQ(row.lineNumber, 1u);
}

TEST(PublicApiPlatform, ABadScenarioSaysWhy)
{
    norvik::Result error;
    EXPECT_EQ(norvik::Platform::Simulated("/no/such/scenario.json", &error), nullptr);
    EXPECT_EQ(error.failure, norvik::Failure::BadScenario);
    EXPECT_NE(error.text.find("/no/such/scenario.json"), std::string::npos);
}

TEST(PublicApiPlatform, RealCamerasDiscoverThisComputersUsbCameras)
{
    const auto platform = norvik::Platform::RealCameras();
    ASSERT_TRUE(platform);
    EXPECT_FALSE(platform->IsSimulated());
    norvik::Session session(*platform);
    ASSERT_TRUE(session.Discover());
    for (const norvik::DeviceRecord& device : session.Devices())
        EXPECT_NE(device.displayName.find("usb#vid_"), std::string::npos) << device.displayName;
    // Nothing listed may be opened by a position beyond the devices found.
    EXPECT_EQ(session.OpenListed(unsigned(session.Devices().size()), 0).failure, norvik::Failure::NoSuchDevice);
}

}  // namespace
