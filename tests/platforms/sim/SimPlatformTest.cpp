// The simulated platform's answers: monikers by display name, the control
// requests of an extension unit with every injected fault, delays on other
// threads, and the USB and setup answers the drivers would give.

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "discovery/KsNode.h"
#include "discovery/UsbStructures.h"
#include "platforms/sim/SimPlatform.h"

namespace norvik {
namespace {

using Json = nlohmann::json;

const char kUnit[] = "{0F4E8B29-D613-47C5-8A70-5B2C19E6F3D4}";
const char kOther[] = "{5A7C0D13-88E4-4F19-B6A2-D94E3170C85F}";
const char kName[] = "@device:pnp:usb#vid_2e7a&pid_0c41";

std::shared_ptr<const Scenario> Load(const Json& controls, const Json& extra = Json::object())
{
    Json camera = {
        {"displayName", kName},
        {"friendlyName", "Cam"},
        {"nodes",
         {{{"type", "other"}}, {{"type", "xu"}, {"guid", kUnit}}, {{"type", "xu"}, {"guid", kOther}}}},
        {"controls", {{kUnit, controls}}}};
    Json scenario = {{"cameras", {camera}}};
    scenario.update(extra);
    const ScenarioLoad load = LoadScenarioText(scenario.dump(), "sim.json");
    EXPECT_TRUE(load) << load.error;
    return load.scenario;
}

std::shared_ptr<KsControl> ControlOf(SimPlatform& platform, const wchar_t* name = nullptr)
{
    std::shared_ptr<BindContext> context;
    platform.CaptureStackPort().CreateBindContext(&context);
    std::shared_ptr<DeviceMoniker> moniker;
    const std::wstring displayName = name ? name : platform.GetScenario().cameras[0].displayName;
    if (Failed(platform.CaptureStackPort().ParseDisplayName(*context, displayName, &moniker)))
        return nullptr;
    std::shared_ptr<CaptureFilter> filter;
    moniker->BindToObject(&filter);
    std::shared_ptr<KsControl> control;
    filter->QueryKsControl(&control);
    return control;
}

struct Answer {
    HResult result;
    std::uint32_t returned;
    std::vector<std::uint8_t> data;
};

Answer Request(KsControl& control, const char* unit, std::uint32_t selector, bool isSet,
               std::vector<std::uint8_t> data, std::uint32_t node = 1)
{
    const KsNodeProperty property = MakeKsNodeProperty(*ParseRegistryGuid(unit), selector, isSet, node);
    Answer answer{0, 0xFFFF, std::move(data)};
    answer.result = control.KsProperty(&property, sizeof property, answer.data.data(),
                                       std::uint32_t(answer.data.size()), &answer.returned);
    return answer;
}

TEST(SimKsControl, AnswersLikeAnExtensionUnitDriver)
{
    SimPlatform platform(Load({{"1", {{"length", 4}, {"value", "0A 0B 0C 0D"}}}}));
    auto control = ControlOf(platform);
    ASSERT_NE(control, nullptr);

    // The probe answers only in the node's own set.
    const Answer probe = Request(*control, kUnit, 0, false, std::vector<std::uint8_t>(32, 0xEE));
    EXPECT_EQ(probe.result, hr::kOk);
    EXPECT_EQ(probe.returned, 7u);
    EXPECT_EQ(probe.data[0], 1);  // bNumControls
    EXPECT_EQ(probe.data[7], 0xEE);
    EXPECT_EQ(Request(*control, kOther, 0, false, std::vector<std::uint8_t>(32)).result,
              HResultFromWin32(win32::kSetNotFound));
    EXPECT_EQ(Request(*control, kUnit, 0, false, std::vector<std::uint8_t>(32), 0).result,
              HResultFromWin32(win32::kSetNotFound));
    EXPECT_EQ(Request(*control, kUnit, 0, false, std::vector<std::uint8_t>(32), 7).result,
              HResultFromWin32(win32::kNotFound));

    // Length, value, a stored SET, a SET of the wrong length, a missing selector.
    const Answer length = Request(*control, kUnit, 1, false, {});
    EXPECT_EQ(length.result, HResultFromWin32(win32::kMoreData));
    EXPECT_EQ(length.result & 0xFF, 0xEA);
    EXPECT_EQ(length.returned, 4u);
    const Answer value = Request(*control, kUnit, 1, false, std::vector<std::uint8_t>(4));
    EXPECT_EQ(value.result, hr::kOk);
    EXPECT_EQ(value.returned, 4u);
    EXPECT_EQ(value.data, (std::vector<std::uint8_t>{0x0A, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(Request(*control, kUnit, 1, true, {1, 2, 3, 4}).result, hr::kOk);
    EXPECT_EQ(Request(*control, kUnit, 1, false, std::vector<std::uint8_t>(4)).data,
              (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(Request(*control, kUnit, 1, true, {1, 2, 3}).result,
              HResultFromWin32(win32::kInvalidParameter));
    EXPECT_EQ(Request(*control, kUnit, 2, false, std::vector<std::uint8_t>(4)).result,
              HResultFromWin32(win32::kNotFound));

    // Every request is logged with its record as sent.
    const auto log = platform.Camera(0).Requests();
    ASSERT_EQ(log.size(), 10u);
    EXPECT_EQ(log[6].flags, 0x10000002u);
    EXPECT_EQ(log[6].id, 1u);
    EXPECT_EQ(log[6].dataLength, 4u);

    // A long soak keeps only the most recent requests.
    for (std::size_t i = 0; i < SimCamera::kKeptRequests; ++i)
        Request(*control, kUnit, 1, false, std::vector<std::uint8_t>(4));
    Request(*control, kUnit, 1, true, {9, 9, 9, 9});
    const auto kept = platform.Camera(0).Requests();
    ASSERT_EQ(kept.size(), SimCamera::kKeptRequests);
    EXPECT_EQ(kept.back().flags & 0xFu, 2u);  // the last SET is the newest entry
}

TEST(SimKsControl, ValuesSurviveRediscoveryAndThePlatformItself)
{
    auto platform = std::make_unique<SimPlatform>(Load({{"3", {{"length", 2}, {"value", "00 00"}}}}));
    auto first = ControlOf(*platform);
    ASSERT_EQ(Request(*first, kUnit, 3, true, {0x12, 0x34}).result, hr::kOk);
    auto second = ControlOf(*platform);  // a new bind, as a new discovery run makes
    EXPECT_EQ(Request(*second, kUnit, 3, false, {0, 0}).data, (std::vector<std::uint8_t>{0x12, 0x34}));
    EXPECT_EQ(platform->Camera(0).ControlValue(*ParseRegistryGuid(kUnit), 3),
              (std::vector<std::uint8_t>{0x12, 0x34}));
    platform.reset();
    EXPECT_EQ(Request(*second, kUnit, 3, false, {0, 0}).result, hr::kOk);
}

TEST(SimKsControl, InjectedFailuresAnswerTheirCodes)
{
    const HResult gen = HResult(0x8007001Fu);
    const HResult busy = HResult(0x800700AAu);
    SimPlatform platform(Load({
        {"1", {{"length", 2}, {"fail", "0x8007001F"}}},
        {"2", {{"length", 2}, {"getFail", "0x8007001F"}}},
        {"3", {{"length", 2}, {"setFail", "0x800700AA"}}},
        {"4", {{"length", 2}, {"getFail", "0x800700AA"}, {"failTimes", 1}}},
    }));
    auto control = ControlOf(platform);
    // "fail": every request, the length probe too.
    EXPECT_EQ(Request(*control, kUnit, 1, false, {}).result, gen);
    EXPECT_EQ(Request(*control, kUnit, 1, true, {0, 0}).result, gen);
    // "getFail": reads of data fail, the length probe and SET work.
    EXPECT_EQ(Request(*control, kUnit, 2, false, {}).result, HResultFromWin32(win32::kMoreData));
    EXPECT_EQ(Request(*control, kUnit, 2, false, {0, 0}).result, gen);
    EXPECT_EQ(Request(*control, kUnit, 2, true, {0, 0}).result, hr::kOk);
    // "setFail": only SET.
    EXPECT_EQ(Request(*control, kUnit, 3, true, {0, 0}).result, busy);
    EXPECT_EQ(Request(*control, kUnit, 3, false, {0, 0}).result, hr::kOk);
    // "failTimes": once, then the control works.
    EXPECT_EQ(Request(*control, kUnit, 4, false, {0, 0}).result, busy);
    EXPECT_EQ(Request(*control, kUnit, 4, false, {0, 0}).result, hr::kOk);
}

Answer Query(KsControl& control, ControlQuery kind, std::uint32_t selector, std::uint32_t size,
             bool isSet = false)
{
    const KsNodeProperty property = MakeKsNodeProperty(*ParseRegistryGuid(kUnit), selector, isSet, 1);
    Answer answer{0, 0xFFFF, std::vector<std::uint8_t>(size, 0xEE)};
    answer.result =
        control.KsQuery(kind, &property, sizeof property, answer.data.data(), size, &answer.returned);
    return answer;
}

TEST(SimKsControl, QueriesAnswerTheirKeysLikeAGetOfTheirOwn)
{
    const HResult moreData = HResultFromWin32(win32::kMoreData);
    SimPlatform platform(Load({
        {"1", {{"length", 2}, {"info", 0x21}, {"max", "7F"}}},
        {"2", {{"length", 2}, {"fail", "0x8007001F"}, {"failTimes", 1}}},
        {"3", {{"length", 2}, {"queryFail", {{"def", "0x80070032"}}}}},
    }));
    auto control = ControlOf(platform);
    Answer info = Query(*control, ControlQuery::Info, 1, 1);
    EXPECT_EQ(info.result, hr::kOk);
    EXPECT_EQ(info.returned, 1u);
    EXPECT_EQ(info.data, (std::vector<std::uint8_t>{0x21}));
    Answer max = Query(*control, ControlQuery::Max, 1, 4);
    EXPECT_EQ(max.result, hr::kOk);
    EXPECT_EQ(max.returned, 2u);
    EXPECT_EQ(max.data, (std::vector<std::uint8_t>{0x7F, 0, 0xEE, 0xEE}));
    // Too small a buffer gets the size it needs.
    EXPECT_EQ(Query(*control, ControlQuery::Info, 1, 0).result, moreData);
    EXPECT_EQ(Query(*control, ControlQuery::Info, 1, 0).returned, 1u);
    EXPECT_EQ(Query(*control, ControlQuery::Res, 1, 1).returned, 2u);
    // No SET of a query, no query of the unit information or of a selector
    // the unit lacks.
    EXPECT_EQ(Query(*control, ControlQuery::Min, 1, 2, true).result, HResultFromWin32(win32::kNotSupported));
    EXPECT_EQ(Query(*control, ControlQuery::Info, 0, 1).result, HResultFromWin32(win32::kNotSupported));
    EXPECT_EQ(Query(*control, ControlQuery::Info, 9, 1).result, HResultFromWin32(win32::kNotFound));
    // "fail" reaches the queries and counts toward failTimes with them.
    EXPECT_EQ(Query(*control, ControlQuery::Min, 2, 2).result, HResult(0x8007001Fu));
    EXPECT_EQ(Query(*control, ControlQuery::Min, 2, 2).result, hr::kOk);
    // "queryFail": its kind only, GET untouched.
    EXPECT_EQ(Query(*control, ControlQuery::Def, 3, 2).result, HResult(0x80070032u));
    EXPECT_EQ(Query(*control, ControlQuery::Res, 3, 2).result, hr::kOk);
    EXPECT_EQ(Request(*control, kUnit, 3, false, {0, 0}).result, hr::kOk);

    const auto log = platform.Camera(0).Requests();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().query, ControlQuery::Info);
    EXPECT_FALSE(log.back().query.has_value());
}

TEST(SimKsControl, ADelayBlocksOnlyTheCallingThread)
{
    SimPlatform platform(Load({{"1", {{"length", 1}, {"delayMs", 400}}}, {"2", {{"length", 1}}}}));
    auto control = ControlOf(platform);
    const auto start = std::chrono::steady_clock::now();
    auto slow =
        std::async(std::launch::async, [&] { return Request(*control, kUnit, 1, false, {0}).result; });
    // While the slow request waits, another request is answered at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Request(*control, kUnit, 2, false, {0}).result, hr::kOk);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(slow.get(), hr::kOk);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    const auto log = platform.Camera(0).Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].thread, log[1].thread);
}

TEST(SimCaptureStack, MonikersComeInOrderAndByDisplayName)
{
    Json second = {
        {"displayName", "@device:pnp:usb#vid_2e7a&pid_0d02"}, {"friendlyName", "Two"}, {"binds", false}};
    Json third = {{"displayName", "@device:sw:virtual"}, {"displayNameFails", true}};
    SimPlatform platform(
        Load(Json::object(),
             {{"cameras", {Json{{"displayName", kName}, {"friendlyName", "One"}}, second, third}}}));

    std::shared_ptr<DeviceEnumerator> enumerator;
    ASSERT_EQ(platform.CaptureStackPort().CreateDeviceEnumerator(&enumerator), hr::kOk);
    std::shared_ptr<MonikerEnumerator> monikers;
    ASSERT_EQ(enumerator->CreateClassEnumerator(guids::kVideoInputDeviceCategory, 0, &monikers), hr::kOk);
    std::vector<std::wstring> names;
    std::shared_ptr<DeviceMoniker> moniker;
    while (monikers->Next(&moniker) == hr::kOk) {
        std::wstring name;
        names.push_back(Succeeded(moniker->GetDisplayName(&name)) ? name : L"?");
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"@device:pnp:usb#vid_2e7a&pid_0c41",
                                                L"@device:pnp:usb#vid_2e7a&pid_0d02", L"?"}));
    EXPECT_EQ(moniker, nullptr);

    std::shared_ptr<BindContext> context;
    platform.CaptureStackPort().CreateBindContext(&context);
    ASSERT_EQ(platform.CaptureStackPort().ParseDisplayName(*context, L"@device:pnp:usb#vid_2e7a&pid_0d02",
                                                           &moniker),
              hr::kOk);
    std::shared_ptr<PropertyBag> bag;
    ASSERT_EQ(moniker->BindToStorage(&bag), hr::kOk);
    std::wstring friendly;
    EXPECT_EQ(bag->Read(L"FriendlyName", &friendly), hr::kOk);
    EXPECT_EQ(friendly, L"Two");
    EXPECT_TRUE(Failed(bag->Read(L"DevicePath", &friendly)));
    std::shared_ptr<CaptureFilter> filter;
    EXPECT_TRUE(Failed(moniker->BindToObject(&filter)));
    EXPECT_EQ(filter, nullptr);
    EXPECT_TRUE(
        Failed(platform.CaptureStackPort().ParseDisplayName(*context, L"@device:sw:virtual", &moniker)));
    EXPECT_TRUE(Failed(platform.CaptureStackPort().ParseDisplayName(*context, L"nothing", &moniker)));

    // An empty machine answers S_FALSE and no enumerator.
    SimPlatform empty(LoadScenarioText(R"({"cameras": []})", "empty.json").scenario);
    empty.CaptureStackPort().CreateDeviceEnumerator(&enumerator);
    EXPECT_EQ(enumerator->CreateClassEnumerator(guids::kVideoInputDeviceCategory, 0, &monikers), hr::kFalse);
    EXPECT_EQ(monikers, nullptr);
}

TEST(SimUsbHost, NameAnswersFollowTheDriversTwoStepPattern)
{
    SimPlatform platform(
        LoadScenarioText(
            R"({"cameras": [], "usb": {"controllers": [{"index": 3, "driverKey": "Key\u00e9", "rootHub": "RH", "hub": {"ports": 1}}]}})",
            "usb.json")
            .scenario);
    UsbHost& host = platform.UsbHostPort();
    EXPECT_EQ(host.Open("\\\\.\\HCD0"), nullptr);
    EXPECT_EQ(host.LastError(), win32::kFileNotFound);
    auto controller = host.Open("\\\\.\\HCD3");
    ASSERT_NE(controller, nullptr);

    std::uint8_t probe[6] = {};
    std::uint32_t returned = 0;
    ASSERT_TRUE(controller->DeviceIoControl(usb::kIoctlGetHcdDriverKeyName, probe, 6, probe, 6, &returned));
    std::uint32_t actual;
    std::memcpy(&actual, probe, 4);
    EXPECT_EQ(actual, 4u + 5u * 2u);
    std::vector<std::uint8_t> whole(actual);
    ASSERT_TRUE(controller->DeviceIoControl(usb::kIoctlGetHcdDriverKeyName, whole.data(), actual,
                                            whole.data(), actual, &returned));
    EXPECT_EQ(returned, actual);
    EXPECT_EQ(usb::ReadUtf16Le(whole.data() + 4, actual - 4), L"Key\u00e9");
    EXPECT_EQ(host.LastError(), 0u);

    auto hub = host.Open("\\\\.\\RH");
    ASSERT_NE(hub, nullptr);
    std::uint8_t info[usb::kConnectionInfoBufferSize] = {1};
    ASSERT_TRUE(hub->DeviceIoControl(usb::kIoctlGetNodeConnectionInformation, info, sizeof info, info,
                                     sizeof info, &returned));
    EXPECT_EQ(returned, 35u);
    usb::NodeConnectionInformation connection;
    std::memcpy(&connection, info, sizeof connection);
    const std::uint32_t status = connection.ConnectionStatus;  // a packed field: copy it
    EXPECT_EQ(status, 0u);                                     // nothing on port 1
    info[0] = 2;
    EXPECT_FALSE(hub->DeviceIoControl(usb::kIoctlGetNodeConnectionInformation, info, sizeof info, info,
                                      sizeof info, &returned));
    EXPECT_EQ(host.LastError(), win32::kInvalidParameter);
}

TEST(Utf16Le, NamesRoundTripWithinTheirBuffers)
{
    const std::wstring name = L"Hub \u00e9\u4e2d\U0001F600";
    const std::size_t size = usb::Utf16LeSize(name);
    EXPECT_EQ(size, (7u + 2u) * 2u);  // the emoji takes a surrogate pair, plus NUL
    std::vector<std::uint8_t> bytes(size, 0xFF);
    usb::WriteUtf16Le(name, bytes.data(), bytes.size());
    EXPECT_EQ(bytes[size - 2], 0);
    EXPECT_EQ(bytes[size - 1], 0);
    EXPECT_EQ(usb::ReadUtf16Le(bytes.data(), bytes.size()), name);
    // A short buffer takes whole units only, never half a pair, and the
    // terminator where it fits.
    std::vector<std::uint8_t> cut(size - 4, 0xFF);
    usb::WriteUtf16Le(name, cut.data(), cut.size());
    EXPECT_EQ(usb::ReadUtf16Le(cut.data(), cut.size()), L"Hub \u00e9\u4e2d");
    // Reading stops at the terminator or the end.
    const std::uint8_t text[] = {'A', 0, 'B', 0, 0, 0, 'C', 0};
    EXPECT_EQ(usb::ReadUtf16Le(text, sizeof text), L"AB");
    EXPECT_EQ(usb::ReadUtf16Le(text, 3), L"A");
    if constexpr (sizeof(wchar_t) == 4) {
        // Whole code points: a lone surrogate becomes the replacement character.
        const std::uint8_t lone[] = {'A', 0, 0x00, 0xD8, 'B', 0};
        EXPECT_EQ(usb::ReadUtf16Le(lone, sizeof lone), std::wstring(L"A") + wchar_t(0xFFFD) + L"B");
    }
}

}  // namespace
}  // namespace norvik
