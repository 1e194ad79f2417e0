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
    // The demo's cameras hang on hub ports and have no serial.
    EXPECT_EQ(devices[0].location, "Port_#0003.Hub_#0001");
    EXPECT_EQ(devices[1].location, "Port_#0002.Hub_#0003");
    EXPECT_EQ(devices[0].videoNode, "");
    EXPECT_EQ(devices[0].serial, "");

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

TEST_F(PublicApi, DiscoveryHandsOutItsOwnDiagnosticLinesOnly)
{
    std::string first;
    ASSERT_TRUE(session->Discover(&first));
    EXPECT_NE(first.find("Find 2 video device.\n\n"), std::string::npos) << first;
    EXPECT_NE(first.find("found one xu, node = "), std::string::npos);
    EXPECT_NE(first.find("Kestrel UVC Camera\n"), std::string::npos);
    EXPECT_EQ(session->Devices().size(), 2u);

    // Lines written outside a capturing run (opening searches the nodes and
    // says so) are not handed out with the next one.
    ASSERT_TRUE(session->OpenListed(0, 0));
    ASSERT_TRUE(session->Discover());
    std::string second;
    ASSERT_TRUE(session->Discover(&second));
    // The same lines but for the times of the run's steps (there are two).
    auto untimed = [](std::string text) {
        for (std::size_t at = text.find("Use Time"); at != std::string::npos;
             at = text.find("Use Time", at + 1))
            text.erase(at, text.find('\n', at) - at);
        return text;
    };
    EXPECT_NE(first.find("Use Time"), std::string::npos);
    EXPECT_EQ(untimed(second), untimed(first));
}

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint8_t> bytes) { return bytes; }

TEST_F(PublicApi, QueriesAndDescriptionsOfTheDemosControls)
{
    std::vector<std::uint8_t> bytes{0xEE};
    EXPECT_EQ(session->Query(2, norvik::QueryKind::Min, &bytes).failure, norvik::Failure::NoChannel);
    EXPECT_TRUE(bytes.empty());
    norvik::ControlRecord record;
    EXPECT_EQ(session->Describe(2, &record).failure, norvik::Failure::NoChannel);
    std::vector<std::uint8_t> selectors{9};
    EXPECT_EQ(session->DeclaredSelectors(&selectors).failure, norvik::Failure::NoChannel);
    EXPECT_TRUE(selectors.empty());

    ASSERT_TRUE(session->OpenListed(0, 0));
    const std::pair<norvik::QueryKind, std::vector<std::uint8_t>> answers[] = {
        {norvik::QueryKind::Info, Bytes({0x03})},
        {norvik::QueryKind::Min, Bytes({0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00})},
        {norvik::QueryKind::Max, Bytes({0x7F, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF})},
        {norvik::QueryKind::Res, Bytes({0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00})},
        {norvik::QueryKind::Def, Bytes({0x40, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00})},
    };
    for (const auto& [kind, expected] : answers) {
        ASSERT_TRUE(session->Query(2, kind, &bytes)) << int(kind);
        EXPECT_EQ(bytes, expected) << int(kind);
    }
    EXPECT_EQ(session->Query(0, norvik::QueryKind::Info, &bytes).failure, norvik::Failure::ZeroSelector);

    // A control the demo gives only a length and a text keeps the defaults.
    ASSERT_TRUE(session->Describe(1, &record));
    EXPECT_EQ(record.selector, 1);
    EXPECT_EQ(record.length, 16);
    EXPECT_EQ(record.len.bytes, Bytes({16, 0}));
    EXPECT_EQ(record.info.bytes, Bytes({0x01}));
    EXPECT_EQ(record.capabilities, std::vector<std::string>{"get"});
    EXPECT_EQ(std::string(record.cur.bytes.begin(), record.cur.bytes.end()), "KST 2.4.17-b5120");
    EXPECT_EQ(record.min.bytes, std::vector<std::uint8_t>(16, 0x00));
    EXPECT_EQ(record.max.bytes, std::vector<std::uint8_t>(16, 0xFF));
    EXPECT_EQ(record.def.bytes, record.cur.bytes);
    for (const norvik::ControlValue* value :
         {&record.len, &record.info, &record.cur, &record.min, &record.max, &record.res, &record.def}) {
        EXPECT_TRUE(value->available);
        EXPECT_TRUE(value->failureText.empty());
    }

    // Queries are no transfers: no row, and the probed selector stays.
    EXPECT_TRUE(session->Rows().empty());
    ASSERT_TRUE(session->DeclaredSelectors(&selectors));
    EXPECT_EQ(selectors, Bytes({1, 2, 3}));
}

// One unit whose descriptor declares 1, 3, 4 and 6 (bmControls 2D): 3 refuses
// RES, 4 fails every request and 6 is not there.
const char kQueryScenario[] = R"({
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

TEST(PublicApiScenario, RefusedQueriesCarryTheirCodeAndTheSystemsText)
{
    const auto path = std::filesystem::temp_directory_path() / "norvik-api-query.json";
    std::ofstream(path) << kQueryScenario;
    norvik::Result error;
    const auto platform = norvik::Platform::Simulated(path.string(), &error);
    std::filesystem::remove(path);
    ASSERT_TRUE(platform) << error.text;
    norvik::Session session(*platform);
    ASSERT_TRUE(session.Discover());
    ASSERT_TRUE(session.OpenByGuid("{11111111-2222-3333-4444-555555555555}"));

    std::vector<std::uint8_t> selectors;
    ASSERT_TRUE(session.DeclaredSelectors(&selectors));
    EXPECT_EQ(selectors, Bytes({1, 3, 4, 6}));

    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(session.Query(3, norvik::QueryKind::Max, &bytes));
    EXPECT_EQ(bytes, Bytes({0x0A}));
    const norvik::Result refused = session.Query(3, norvik::QueryKind::Res, &bytes);
    EXPECT_EQ(refused.failure, norvik::Failure::Request);
    EXPECT_EQ(refused.hresult, std::int32_t(0x80070032));
    EXPECT_EQ(refused.text, "0x80070032: The request is not supported.");
    EXPECT_TRUE(bytes.empty());
    // Without a length the value kinds fail with the probe's code.
    EXPECT_EQ(session.Query(6, norvik::QueryKind::Def, &bytes).text, "0x80070490: Element not found.");

    norvik::ControlRecord record;
    ASSERT_TRUE(session.Describe(3, &record));
    EXPECT_EQ(record.capabilities, (std::vector<std::string>{"get", "auto-disabled", "autoupdate"}));
    EXPECT_TRUE(record.min.available);
    EXPECT_FALSE(record.res.available);
    EXPECT_TRUE(record.res.bytes.empty());
    EXPECT_EQ(record.res.failureText, "0x80070032: The request is not supported.");
    EXPECT_TRUE(record.def.available);

    // A failing control describes successfully, every item not available.
    ASSERT_TRUE(session.Describe(4, &record));
    EXPECT_EQ(record.length, 0);
    EXPECT_TRUE(record.capabilities.empty());
    for (const norvik::ControlValue* value :
         {&record.len, &record.info, &record.cur, &record.min, &record.max, &record.res, &record.def}) {
        EXPECT_FALSE(value->available);
        EXPECT_EQ(value->hresult, std::int32_t(0x8007001F));
        EXPECT_EQ(value->failureText, "0x8007001f: A device attached to the system is not functioning.");
    }
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
    EXPECT_EQ(session.OpenListed(unsigned(session.Devices().size()), 0).failure,
              norvik::Failure::NoSuchDevice);
}

}  // namespace
