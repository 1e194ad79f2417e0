// The Linux capture stack on the lab fixture tree: which video nodes become
// devices and under which names, the topology read from the descriptors, and
// extension-unit requests through the fake uvcvideo driver.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <cwctype>
#include <vector>

#include "LabSystem.h"
#include "channel/NodeRequests.h"
#include "discovery/KsNode.h"
#include "platforms/linux/UvcDescriptors.h"
#include "runtime/Guid.h"

namespace norvik {
namespace {

using test::LabSystem;

const Guid kCam11UnitA = *ParseRegistryGuid("{4A7D3C10-8E5B-4F21-9C6A-2B1D0E3F5A01}");
const Guid kCam11UnitB = *ParseRegistryGuid("{4A7D3C10-8E5B-4F21-9C6A-2B1D0E3F5A02}");
const Guid kCamSsUnit = *ParseRegistryGuid("{D6C5B4A3-9281-4F70-A1B2-C3D4E5F60718}");

const wchar_t kCam11Name[] =
    L"@device:pnp:\\\\?\\usb#vid_2bd9&pid_0011&mi_00#1-1.2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
    L"\\global";

std::vector<std::shared_ptr<DeviceMoniker>> Enumerate(CaptureStack& stack, HResult* result = nullptr)
{
    std::shared_ptr<DeviceEnumerator> enumerator;
    EXPECT_EQ(stack.CreateDeviceEnumerator(&enumerator), hr::kOk);
    std::shared_ptr<MonikerEnumerator> monikers;
    const HResult created = enumerator->CreateClassEnumerator(guids::kVideoInputDeviceCategory, 0, &monikers);
    if (result)
        *result = created;
    std::vector<std::shared_ptr<DeviceMoniker>> list;
    if (created != hr::kOk)
        return list;
    EXPECT_EQ(monikers->Reset(), hr::kOk);
    std::shared_ptr<DeviceMoniker> moniker;
    while (monikers->Next(&moniker) == hr::kOk)
        list.push_back(moniker);
    return list;
}

std::wstring DisplayName(DeviceMoniker& moniker)
{
    std::wstring name;
    EXPECT_EQ(moniker.GetDisplayName(&name), hr::kOk);
    return name;
}

std::wstring Property(DeviceMoniker& moniker, const wchar_t* name)
{
    std::shared_ptr<PropertyBag> bag;
    EXPECT_EQ(moniker.BindToStorage(&bag), hr::kOk);
    std::wstring value;
    EXPECT_EQ(bag->Read(name, &value), hr::kOk);
    return value;
}

std::shared_ptr<DeviceMoniker> Parse(CaptureStack& stack, const std::wstring& name, HResult* result)
{
    std::shared_ptr<BindContext> context;
    EXPECT_EQ(stack.CreateBindContext(&context), hr::kOk);
    std::shared_ptr<DeviceMoniker> moniker;
    *result = stack.ParseDisplayName(*context, name, &moniker);
    return moniker;
}

struct Bound {
    std::shared_ptr<KsTopologyInfo> topology;
    std::shared_ptr<KsControl> control;
};

Bound Bind(DeviceMoniker& moniker)
{
    std::shared_ptr<CaptureFilter> filter;
    Bound bound;
    EXPECT_EQ(moniker.BindToObject(&filter), hr::kOk);
    if (!filter)
        return bound;
    EXPECT_EQ(filter->QueryTopologyInfo(&bound.topology), hr::kOk);
    EXPECT_EQ(filter->QueryKsControl(&bound.control), hr::kOk);
    return bound;
}

struct Answer {
    HResult result;
    std::uint32_t bytes;
};

Answer Request(KsControl& control, const Guid& set, std::uint32_t id, bool isSet, std::uint32_t node,
               std::uint8_t* data, std::uint32_t length)
{
    const KsNodeProperty property = MakeKsNodeProperty(set, id, isSet, node);
    Answer answer{0, 0xDEAD};
    answer.result = control.KsProperty(&property, sizeof property, data, length, &answer.bytes);
    return answer;
}

TEST(V4l2CaptureStack, ListsOneDevicePerUvcFunctionInNodeOrder)
{
    LabSystem lab;
    auto monikers = Enumerate(lab.Platform().Capture());
    // video1, 3, 5 are metadata nodes, video10 is a loopback device, the
    // mouse has no video node: three cameras remain.
    ASSERT_EQ(monikers.size(), 3u);
    EXPECT_EQ(DisplayName(*monikers[0]), kCam11Name);
    EXPECT_EQ(
        DisplayName(*monikers[1]),
        L"@device:pnp:\\\\?\\usb#vid_2bd9&pid_0150&mi_00#1-3#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
    EXPECT_EQ(
        DisplayName(*monikers[2]),
        L"@device:pnp:\\\\?\\usb#vid_2bd9&pid_0200&mi_00#2-2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
    EXPECT_EQ(Property(*monikers[0], L"FriendlyName"), L"Lumen UVC11 Camera");
    EXPECT_EQ(Property(*monikers[0], L"DevicePath"), std::wstring(kCam11Name).substr(12));
    EXPECT_EQ(Property(*monikers[1], L"FriendlyName"), L"Lumen UVC15 Camera");

    // Enumeration closes every node it opened for the capability query.
    EXPECT_EQ(lab.Ioctl().OpenDescriptors(), 0);
}

TEST(V4l2CaptureStack, UnreadableNodeIsListedFromSysfsAndItsRequestsAreDenied)
{
    LabSystem lab;
    auto monikers = Enumerate(lab.Platform().Capture());
    ASSERT_EQ(monikers.size(), 3u);
    // The name comes from sysfs when the node cannot be queried.
    EXPECT_EQ(Property(*monikers[2], L"FriendlyName"), L"Lumen SS Camera");
    const std::string hint = lab.NodePath("video4") +
                             ": permission denied; add the user to the video group "
                             "(sudo usermod -aG video $USER) and log in again\n";
    EXPECT_EQ(lab.Runtime().AllDiagnostics(), hint);

    Bound bound = Bind(*monikers[2]);
    ASSERT_TRUE(bound.control);
    // The unit-info probe needs no open node ...
    std::uint8_t info[64] = {};
    EXPECT_EQ(Request(*bound.control, kCamSsUnit, 0, false, 2, info, sizeof info).result, hr::kOk);
    // ... the length query does, and is denied, with the hint again.
    lab.Runtime().ClearDiagnostics();
    Answer length = Request(*bound.control, kCamSsUnit, 1, false, 2, nullptr, 0);
    EXPECT_EQ(length.result, HResult(0x80070005));
    EXPECT_EQ(length.bytes, 0u);
    EXPECT_EQ(lab.Runtime().AllDiagnostics(), hint);

    // Finding the device again by its name says nothing until it is asked.
    lab.Runtime().ClearDiagnostics();
    HResult result;
    auto again = Parse(lab.Platform().Capture(), DisplayName(*monikers[2]), &result);
    ASSERT_EQ(result, hr::kOk);
    EXPECT_EQ(lab.Runtime().AllDiagnostics(), "");
}

TEST(V4l2CaptureStack, EmptyOrMissingVideoClassAnswersSFalse)
{
    LabSystem lab("nocamera");
    HResult result = hr::kOk;
    EXPECT_TRUE(Enumerate(lab.Platform().Capture(), &result).empty());
    EXPECT_EQ(result, hr::kFalse);
    EXPECT_TRUE(lab.Runtime().AllDiagnostics().empty());

    // Another category is empty too, even where cameras exist.
    LabSystem full;
    std::shared_ptr<DeviceEnumerator> enumerator;
    ASSERT_EQ(full.Platform().Capture().CreateDeviceEnumerator(&enumerator), hr::kOk);
    std::shared_ptr<MonikerEnumerator> monikers;
    EXPECT_EQ(enumerator->CreateClassEnumerator(guids::kPropertyBag, 0, &monikers), hr::kFalse);
    EXPECT_FALSE(monikers);
}

TEST(V4l2CaptureStack, TopologyListsEveryEntityInDescriptorOrder)
{
    LabSystem lab;
    auto monikers = Enumerate(lab.Platform().Capture());
    ASSERT_EQ(monikers.size(), 3u);
    Bound cam11 = Bind(*monikers[0]);
    ASSERT_TRUE(cam11.topology);
    std::uint32_t count = 0;
    ASSERT_EQ(cam11.topology->GetNumNodes(&count), hr::kOk);
    // Camera terminal, streaming output terminal, processing unit, three
    // extension units.
    const Guid expected[] = {uvc::nodetypes::kVideoCameraTerminal, uvc::nodetypes::kVideoStreaming,
                             uvc::nodetypes::kVideoProcessing,     guids::kNodeTypeDevSpecific,
                             guids::kNodeTypeDevSpecific,          guids::kNodeTypeDevSpecific};
    ASSERT_EQ(count, std::size(expected));
    for (std::uint32_t i = 0; i < count; ++i) {
        Guid type;
        ASSERT_EQ(cam11.topology->GetNodeType(i, &type), hr::kOk);
        EXPECT_EQ(type, expected[i]) << "node " << i;
    }
    Guid type;
    EXPECT_LT(cam11.topology->GetNodeType(count, &type), 0);

    // The UVC 1.5 camera's encoding unit is not an extension-unit node; its
    // two extension units (one with two input pins) are.
    Bound cam15 = Bind(*monikers[1]);
    ASSERT_EQ(cam15.topology->GetNumNodes(&count), hr::kOk);
    ASSERT_EQ(count, 6u);
    std::vector<std::uint32_t> xuNodes;
    for (std::uint32_t i = 0; i < count; ++i)
        if (cam15.topology->GetNodeType(i, &type) == hr::kOk && type == guids::kNodeTypeDevSpecific)
            xuNodes.push_back(i);
    EXPECT_EQ(xuNodes, (std::vector<std::uint32_t>{3, 4}));
}

TEST(V4l2CaptureStack, UnitInfoProbeAnswersOnlyTheNodesOwnGuid)
{
    LabSystem lab;
    auto monikers = Enumerate(lab.Platform().Capture());
    Bound cam = Bind(*monikers[0]);
    ASSERT_TRUE(cam.control);
    const std::uint32_t kSetNotFound = 0x80070492;

    std::uint8_t buffer[64] = {};
    Answer own = Request(*cam.control, kCam11UnitA, 0, false, 3, buffer, sizeof buffer);
    EXPECT_EQ(own.result, hr::kOk);
    // The answer is the unit's 27-byte descriptor from bNumControls on:
    // 2 controls, 1 input pin (unit 2), bControlSize 2, bmControls, iExtension.
    EXPECT_EQ(own.bytes, 7u);
    const std::uint8_t info[] = {2, 1, 2, 2, 0x03, 0x00, 0};
    EXPECT_EQ(std::memcmp(buffer, info, sizeof info), 0);

    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitB, 0, false, 3, buffer, 64).result),
              kSetNotFound);
    EXPECT_EQ(Request(*cam.control, kCam11UnitB, 0, false, 4, buffer, 64).result, hr::kOk);
    // Not an extension unit (the processing unit), or no such node.
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitA, 0, false, 2, buffer, 64).result),
              kSetNotFound);
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitA, 0, false, 9, buffer, 64).result), 0x80070490u);
    // Nothing of this reached the camera.
    EXPECT_TRUE(lab.Ioctl().Queries().empty());
    EXPECT_TRUE(lab.Ioctl().Opens().size() == 3u);  // only enumeration's capability queries
}

TEST(V4l2CaptureStack, LengthGetAndSetBecomeUvcQueriesOnTheUnit)
{
    LabSystem lab;
    auto monikers = Enumerate(lab.Platform().Capture());
    Bound cam = Bind(*monikers[0]);
    ASSERT_TRUE(cam.control);

    // Zero-length GET: UVC_GET_LEN, more data, the length in the count.
    Answer length = Request(*cam.control, kCam11UnitB, 5, false, 4, nullptr, 0);
    EXPECT_EQ(std::uint32_t(length.result), 0x800700EAu);
    EXPECT_EQ(length.bytes, 8u);

    std::uint8_t value[8] = {};
    Answer get = Request(*cam.control, kCam11UnitB, 5, false, 4, value, sizeof value);
    EXPECT_EQ(get.result, hr::kOk);
    EXPECT_EQ(get.bytes, 8u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(value)), "FW1.2.3");

    std::uint8_t written[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(Request(*cam.control, kCam11UnitA, 2, true, 3, written, 4).result, hr::kOk);
    EXPECT_EQ(lab.Ioctl().Node(lab.NodePath("video0")).units[3][2].value,
              (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));

    const auto queries = lab.Ioctl().Queries();
    ASSERT_EQ(queries.size(), 3u);
    EXPECT_EQ(queries[0].path, lab.NodePath("video0"));
    EXPECT_EQ(queries[0].unit, 4);
    EXPECT_EQ(queries[0].selector, 5);
    EXPECT_EQ(queries[0].query, kUvcGetLen);
    EXPECT_EQ(queries[0].size, 2);
    EXPECT_EQ(queries[1].query, kUvcGetCur);
    EXPECT_EQ(queries[1].size, 8);
    EXPECT_EQ(queries[2].unit, 3);
    EXPECT_EQ(queries[2].selector, 2);
    EXPECT_EQ(queries[2].query, kUvcSetCur);

    // The node was opened once for all three and stays open while the
    // control lives.
    EXPECT_EQ(lab.Ioctl().OpenDescriptors(), 1);
    cam = Bound{};
    EXPECT_EQ(lab.Ioctl().OpenDescriptors(), 0);
}

TEST(V4l2CaptureStack, GetBufferOfAnotherSizeIsAnsweredAsOnWindows)
{
    LabSystem lab;
    auto monikers = Enumerate(lab.Platform().Capture());
    Bound cam = Bind(*monikers[0]);
    ASSERT_TRUE(cam.control);

    // Larger than the 2-byte control: its bytes at the start, count 2.
    std::uint8_t large[16];
    std::memset(large, 0xEE, sizeof large);
    Answer get = Request(*cam.control, kCam11UnitA, 1, false, 3, large, sizeof large);
    EXPECT_EQ(get.result, hr::kOk);
    EXPECT_EQ(get.bytes, 2u);
    EXPECT_EQ(large[0], 0x11);
    EXPECT_EQ(large[1], 0x22);
    EXPECT_EQ(large[2], 0xEE);

    // Shorter: more data, and the length.
    std::uint8_t small[1] = {0xEE};
    Answer more = Request(*cam.control, kCam11UnitA, 1, false, 3, small, 1);
    EXPECT_EQ(std::uint32_t(more.result), 0x800700EAu);
    EXPECT_EQ(more.bytes, 2u);
    EXPECT_EQ(small[0], 0xEE);

    std::vector<std::uint8_t> queries;
    for (const auto& q : lab.Ioctl().Queries())
        queries.push_back(q.query);
    EXPECT_EQ(queries,
              (std::vector<std::uint8_t>{kUvcGetCur, kUvcGetLen, kUvcGetCur, kUvcGetCur, kUvcGetLen}));
}

TEST(V4l2CaptureStack, DriverErrorsBecomeTheLikeWindowsErrors)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    auto monikers = Enumerate(lab.Platform().Capture());
    Bound cam = Bind(*monikers[0]);
    ASSERT_TRUE(cam.control);
    std::uint8_t buffer[16] = {};

    // Unknown selector: ENOENT -> ERROR_NOT_FOUND.
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitA, 9, false, 3, buffer, 2).result), 0x80070490u);
    // SET of the wrong length: ENOBUFS -> ERROR_INSUFFICIENT_BUFFER.
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitA, 1, true, 3, buffer, 3).result), 0x8007007Au);
    // The camera stalls: EPIPE -> ERROR_GEN_FAILURE.
    lab.Ioctl().Node(lab.NodePath("video0")).units[3][1].error = EPIPE;
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitA, 1, false, 3, buffer, 2).result), 0x8007001Fu);
    // A read-only control refuses SET: EBADRQC -> ERROR_NOT_SUPPORTED.
    lab.Ioctl().Node(lab.NodePath("video0")).units[6][1].canSet = false;
    EXPECT_EQ(
        std::uint32_t(Request(*cam.control, *ParseRegistryGuid("{7E1F9B22-3C4D-4E5F-8A6B-1C2D3E4F5A6B}"), 1,
                              true, 5, buffer, 1)
                          .result),
        0x80070032u);
    // A selector beyond 8 bits has no UVC control.
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitA, 0x101, false, 3, buffer, 2).result),
              0x80070490u);

    // Unplugged while bound: ENODEV -> ERROR_DEVICE_NOT_CONNECTED, and the
    // dead descriptor is let go.
    lab.Unplug("1-1.2");
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitB, 5, false, 4, nullptr, 0).result), 0x8007048Fu);
    EXPECT_EQ(lab.Ioctl().OpenDescriptors(), 0);
    // The next request finds no node at all: ENOENT.
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitB, 5, false, 4, nullptr, 0).result), 0x80070490u);
}

// Every errno uvcvideo gives for UVCIOC_CTRL_QUERY, as the operator sees it:
// the code with the system's text, and with Debug on the camera's reason.
// A camera that stalls a request is refused with one code whatever its
// reason, as on Windows; the reason goes to the diagnostic console.
TEST(V4l2CaptureStack, EveryErrnoOfTheDriverReachesTheOperatorAsCodeAndText)
{
    LabSystem lab;
    auto monikers = Enumerate(lab.Platform().Capture());
    Bound cam = Bind(*monikers[0]);
    ASSERT_TRUE(cam.control);
    const std::string refused =
        lab.NodePath("video0") + ": the camera refused SET_CUR of unit 3 selector 1: ";
    const std::string notFunctioning = "0x8007001f: A device attached to the system is not functioning.\r\n";
    const struct {
        int error;
        const char* operatorText;
        const char* reason;  // null: no diagnostic line
    } cases[] = {
        {EBUSY, notFunctioning.c_str(), "not ready (EBUSY)"},
        {EACCES, notFunctioning.c_str(), "wrong state (EACCES)"},
        {EILSEQ, notFunctioning.c_str(), "wrong state (EILSEQ)"},
        {EREMOTE, notFunctioning.c_str(), "not enough power (EREMOTE)"},
        {ERANGE, notFunctioning.c_str(), "out of range (ERANGE)"},
        {EINVAL, notFunctioning.c_str(), "invalid unit, control, request or value (EINVAL)"},
        {EPIPE, notFunctioning.c_str(), "no reason given (EPIPE)"},
        {EIO, notFunctioning.c_str(), nullptr},
        {ETIMEDOUT, "0x80070079: The semaphore timeout period has expired.\r\n", nullptr},
        {ENOENT, "0x80070490: Element not found.\r\n", nullptr},
        {ENOBUFS, "0x8007007a: The data area passed to a system call is too small.\r\n", nullptr},
        {EBADRQC, "0x80070032: The request is not supported.\r\n", nullptr},
        {ENODEV, "0x8007048f: The device is not connected.\r\n", nullptr},
        {ENOMEM, "0x8007000e: Not enough memory resources are available to complete this operation.\r\n",
         nullptr},
    };
    for (const auto& c : cases) {
        lab.Ioctl().Node(lab.NodePath("video0")).units[3][1].error = c.error;
        lab.Runtime().ClearDiagnostics();
        std::uint8_t value[2] = {0x01, 0x02};
        const Answer answer = Request(*cam.control, kCam11UnitA, 1, true, 3, value, 2);
        char text[256] = "untouched";
        EXPECT_TRUE(FormatSystemError(lab.Runtime(), std::uint32_t(answer.result), text, sizeof text))
            << "errno " << c.error;
        EXPECT_STREQ(text, c.operatorText) << "errno " << c.error;
        EXPECT_EQ(lab.Runtime().AllDiagnostics(), c.reason ? refused + c.reason + "\n" : std::string())
            << "errno " << c.error;
    }
}

Answer Query(KsControl& control, ControlQuery kind, const Guid& set, std::uint32_t id, std::uint32_t node,
             std::uint8_t* data, std::uint32_t length)
{
    const KsNodeProperty property = MakeKsNodeProperty(set, id, false, node);
    Answer answer{0, 0xDEAD};
    answer.result = control.KsQuery(kind, &property, sizeof property, data, length, &answer.bytes);
    return answer;
}

TEST(V4l2CaptureStack, ClassQueriesBecomeTheirOwnUvcRequests)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    auto monikers = Enumerate(lab.Platform().Capture());
    Bound cam = Bind(*monikers[0]);
    ASSERT_TRUE(cam.control);
    test::FakeControl& control = lab.Ioctl().Node(lab.NodePath("video0")).units[4][5];
    control.info = 0x0D;
    control.answers[kUvcGetMin] = {0, 0, 0, 0, 0, 0, 0, 1};
    control.answers[kUvcGetMax] = {0xFF, 0, 0, 0, 0, 0, 0, 2};
    control.answers[kUvcGetRes] = {1, 0, 0, 0, 0, 0, 0, 3};
    control.answers[kUvcGetDef] = {'F', 'W', 0, 0, 0, 0, 0, 4};

    std::uint8_t info = 0;
    Answer answered = Query(*cam.control, ControlQuery::Info, kCam11UnitB, 5, 4, &info, 1);
    EXPECT_EQ(answered.result, hr::kOk);
    EXPECT_EQ(answered.bytes, 1u);
    EXPECT_EQ(info, 0x0D);
    const std::pair<ControlQuery, std::uint8_t> kinds[] = {{ControlQuery::Min, kUvcGetMin},
                                                           {ControlQuery::Max, kUvcGetMax},
                                                           {ControlQuery::Res, kUvcGetRes},
                                                           {ControlQuery::Def, kUvcGetDef}};
    for (const auto& [kind, code] : kinds) {
        std::uint8_t value[8] = {};
        answered = Query(*cam.control, kind, kCam11UnitB, 5, 4, value, sizeof value);
        EXPECT_EQ(answered.result, hr::kOk);
        EXPECT_EQ(answered.bytes, 8u);
        EXPECT_EQ(std::vector<std::uint8_t>(value, value + 8), control.answers[code]);
    }
    std::vector<std::pair<std::uint8_t, std::uint16_t>> sent;
    for (const auto& q : lab.Ioctl().Queries())
        sent.emplace_back(q.query, q.size);
    EXPECT_EQ(sent,
              (std::vector<std::pair<std::uint8_t, std::uint16_t>>{
                  {kUvcGetInfo, 1}, {kUvcGetMin, 8}, {kUvcGetMax, 8}, {kUvcGetRes, 8}, {kUvcGetDef, 8}}));

    // Sized as a GET is: a larger buffer gets the bytes at its start, a
    // smaller one more data and the length; INFO is one byte whatever the
    // buffer.
    std::uint8_t large[12];
    std::memset(large, 0xEE, sizeof large);
    answered = Query(*cam.control, ControlQuery::Def, kCam11UnitB, 5, 4, large, sizeof large);
    EXPECT_EQ(answered.result, hr::kOk);
    EXPECT_EQ(answered.bytes, 8u);
    EXPECT_EQ(large[0], 'F');
    EXPECT_EQ(large[8], 0xEE);
    std::uint8_t small[2] = {};
    answered = Query(*cam.control, ControlQuery::Max, kCam11UnitB, 5, 4, small, sizeof small);
    EXPECT_EQ(std::uint32_t(answered.result), 0x800700EAu);
    EXPECT_EQ(answered.bytes, 8u);
    answered = Query(*cam.control, ControlQuery::Info, kCam11UnitB, 5, 4, large, sizeof large);
    EXPECT_EQ(answered.bytes, 1u);
    EXPECT_EQ(lab.Ioctl().Queries().back().size, 1);
    answered = Query(*cam.control, ControlQuery::Info, kCam11UnitB, 5, 4, nullptr, 0);
    EXPECT_EQ(std::uint32_t(answered.result), 0x800700EAu);
    EXPECT_EQ(answered.bytes, 1u);
}

TEST(V4l2CaptureStack, ClassQueryRefusalsGoThroughTheErrnoTable)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    auto monikers = Enumerate(lab.Platform().Capture());
    Bound cam = Bind(*monikers[0]);
    ASSERT_TRUE(cam.control);
    test::FakeControl& control = lab.Ioctl().Node(lab.NodePath("video0")).units[4][5];
    control.answers[kUvcGetMin] = std::vector<std::uint8_t>(8, 0);
    control.queryErrors[kUvcGetDef] = EBADRQC;
    lab.Runtime().ClearDiagnostics();
    std::uint8_t value[8] = {};

    // A camera that stalls GET_RES: one code, the reason on the console.
    EXPECT_EQ(std::uint32_t(Query(*cam.control, ControlQuery::Res, kCam11UnitB, 5, 4, value, 8).result),
              0x8007001Fu);
    const std::string node = lab.NodePath("video0");
    EXPECT_NE(
        lab.Runtime().AllDiagnostics().find(node + ": the camera refused GET_RES of unit 4 selector 5: "),
        std::string::npos)
        << lab.Runtime().AllDiagnostics();
    // A request the driver does not pass on: ERROR_NOT_SUPPORTED.
    EXPECT_EQ(std::uint32_t(Query(*cam.control, ControlQuery::Def, kCam11UnitB, 5, 4, value, 8).result),
              0x80070032u);
    EXPECT_EQ(Query(*cam.control, ControlQuery::Min, kCam11UnitB, 5, 4, value, 8).result, hr::kOk);
    // Unknown selector: ENOENT -> ERROR_NOT_FOUND.
    EXPECT_EQ(std::uint32_t(Query(*cam.control, ControlQuery::Info, kCam11UnitB, 9, 4, value, 1).result),
              0x80070490u);
    // The unit information has no class request; a query is no SET.
    EXPECT_EQ(std::uint32_t(Query(*cam.control, ControlQuery::Info, kCam11UnitB, 0, 4, value, 1).result),
              0x80070032u);
    const KsNodeProperty set = MakeKsNodeProperty(kCam11UnitB, 5, true, 4);
    std::uint32_t bytes = 0;
    EXPECT_EQ(std::uint32_t(cam.control->KsQuery(ControlQuery::Min, &set, sizeof set, value, 8, &bytes)),
              0x80070032u);
    // Unplugged: the node is let go, as for a GET.
    lab.Unplug("1-1.2");
    EXPECT_EQ(std::uint32_t(Query(*cam.control, ControlQuery::Min, kCam11UnitB, 5, 4, value, 8).result),
              0x8007048Fu);
    EXPECT_EQ(lab.Ioctl().OpenDescriptors(), 0);
}

TEST(V4l2CaptureStack, RefusalLineNamesTheQueryThatWasRefused)
{
    LabSystem lab;
    auto monikers = Enumerate(lab.Platform().Capture());
    Bound cam = Bind(*monikers[0]);
    ASSERT_TRUE(cam.control);
    lab.Ioctl().Node(lab.NodePath("video0")).units[4][5].error = ERANGE;
    lab.Runtime().ClearDiagnostics();
    // The length query and a GET of the 8-byte control of unit 4.
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitB, 5, false, 4, nullptr, 0).result), 0x8007001Fu);
    std::uint8_t value[8] = {};
    EXPECT_EQ(std::uint32_t(Request(*cam.control, kCam11UnitB, 5, false, 4, value, 8).result), 0x8007001Fu);
    const std::string node = lab.NodePath("video0");
    EXPECT_EQ(lab.Runtime().AllDiagnostics(),
              node + ": the camera refused GET_LEN of unit 4 selector 5: out of range (ERANGE)\n" + node +
                  ": the camera refused GET_CUR of unit 4 selector 5: out of range (ERANGE)\n");
}

TEST(V4l2CaptureStack, DisplayNameFindsTheDeviceAgainAfterRenumbering)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    auto monikers = Enumerate(lab.Platform().Capture());
    ASSERT_FALSE(monikers.empty());
    const std::wstring name = DisplayName(*monikers[0]);

    lab.Renumber("video0", "video7");
    lab.Renumber("video1", "video8");

    HResult result;
    auto moniker = Parse(lab.Platform().Capture(), name, &result);
    ASSERT_EQ(result, hr::kOk);
    ASSERT_TRUE(moniker);
    EXPECT_EQ(DisplayName(*moniker), name);
    Bound cam = Bind(*moniker);
    ASSERT_TRUE(cam.control);
    std::uint8_t value[2] = {};
    EXPECT_EQ(Request(*cam.control, kCam11UnitA, 1, false, 3, value, 2).result, hr::kOk);
    EXPECT_EQ(value[0], 0x11);
    EXPECT_EQ(lab.Ioctl().Queries().back().path, lab.NodePath("video7"));

    // Names are read without regard to case, as Windows reads them.
    std::wstring upper = name;
    for (auto& c : upper)
        c = wchar_t(std::towupper(c));
    EXPECT_TRUE(Parse(lab.Platform().Capture(), upper, &result));
}

TEST(V4l2CaptureStack, DisplayNameOfAnUnpluggedOrForeignDeviceFindsNothing)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    auto monikers = Enumerate(lab.Platform().Capture());
    ASSERT_EQ(monikers.size(), 3u);
    const std::wstring name = DisplayName(*monikers[0]);

    lab.Unplug("1-1.2");
    HResult result;
    EXPECT_FALSE(Parse(lab.Platform().Capture(), name, &result));
    EXPECT_EQ(result, kMkENoObject);
    // The moniker of the earlier enumeration no longer binds.
    std::shared_ptr<CaptureFilter> filter;
    EXPECT_EQ(std::uint32_t(monikers[0]->BindToObject(&filter)), 0x8007048Fu);
    EXPECT_FALSE(filter);

    // Another camera on the same port path, or a name that is not ours.
    std::wstring other = DisplayName(*monikers[1]);
    other.replace(other.find(L"pid_0150"), 8, L"pid_0151");
    EXPECT_FALSE(Parse(lab.Platform().Capture(), other, &result));
    EXPECT_EQ(result, kMkENoObject);
    EXPECT_FALSE(
        Parse(lab.Platform().Capture(), L"@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}", &result));
    EXPECT_EQ(result, kMkESyntax);
    EXPECT_FALSE(Parse(
        lab.Platform().Capture(),
        L"@device:pnp:\\\\?\\usb#vid_2bd9&pid_0150&mi_00#..#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
        &result));
    EXPECT_EQ(result, kMkESyntax);
}

}  // namespace
}  // namespace norvik
