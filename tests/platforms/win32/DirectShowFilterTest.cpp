// The kernel-streaming wrappers on an in-process filter object: the slots
// they call, the bytes that cross the interface in both directions, and the
// references they take and give back.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "discovery/KsNode.h"
#include "discovery/TopologyScan.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/win32/DirectShowFilter.h"
#include "runtime/ResultCodes.h"
#include "tests/platforms/win32/FakeKsFilter.h"

namespace norvik::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// {A0A0A0A0-1111-4111-8111-0000000000A1}: KSP_NODE for selector 3 of node 5.
Bytes ExpectedNode(std::uint8_t flagsLow)
{
    return {0xA0, 0xA0, 0xA0, 0xA0, 0x11, 0x11, 0x11, 0x41, 0x81, 0x11,     0x00,
            0x00, 0x00, 0x00, 0x00, 0xA1, 3,    0,    0,    0,    flagsLow, 0,
            0,    0x10, 5,    0,    0,    0,    0,    0,    0,    0};
}

TEST(DirectShowKsControl, GetAndSetCrossTheInterfaceByteForByte)
{
    FakeKsFilter fake;
    fake.onProperty = [](const FakeKsFilter::PropertyCall& call, std::uint8_t* data,
                         ULONG* returned) -> HRESULT {
        if (call.dataLength == 0) {  // the length query
            *returned = 4;
            return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
        }
        if (call.property[20] == 1)  // GET: the driver fills the buffer
            for (ULONG i = 0; i < call.dataLength; ++i)
                data[i] = std::uint8_t(0xC0 + i);
        *returned = call.dataLength;
        return S_OK;
    };
    {
        DirectShowFilter filter{ComRef<IUnknown>(fake.NewReference())};
        std::shared_ptr<KsControl> control;
        ASSERT_EQ(filter.QueryKsControl(&control), hr::kOk);
        ASSERT_NE(control, nullptr);

        const Guid xu = *ParseRegistryGuid("{A0A0A0A0-1111-4111-8111-0000000000A1}");
        const KsNodeProperty get = MakeKsNodeProperty(xu, 3, false, 5);
        std::uint32_t returned = 99;
        EXPECT_EQ(std::uint32_t(control->KsProperty(&get, sizeof get, nullptr, 0, &returned)), 0x800700EAu);
        EXPECT_EQ(returned, 4u);

        std::uint8_t in[4] = {};
        EXPECT_EQ(control->KsProperty(&get, sizeof get, in, sizeof in, &returned), hr::kOk);
        EXPECT_EQ(Bytes(in, in + 4), (Bytes{0xC0, 0xC1, 0xC2, 0xC3}));
        EXPECT_EQ(returned, 4u);

        const KsNodeProperty set = MakeKsNodeProperty(xu, 3, true, 5);
        std::uint8_t out[3] = {0x01, 0x02, 0x03};
        EXPECT_EQ(control->KsProperty(&set, sizeof set, out, sizeof out, &returned), hr::kOk);
        EXPECT_EQ(returned, 3u);
    }
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"KsProperty", "KsProperty", "KsProperty"}));
    const auto& calls = fake.PropertyCalls();
    ASSERT_EQ(calls.size(), 3u);
    const Bytes expected[] = {ExpectedNode(1), ExpectedNode(1), ExpectedNode(2)};
    const ULONG lengths[] = {0, 4, 3};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].propertyLength, 32u) << i;
        EXPECT_EQ(calls[i].property, expected[i]) << i;
        EXPECT_EQ(calls[i].dataLength, lengths[i]) << i;
        EXPECT_TRUE(calls[i].bytesReturnedGiven) << i;
    }
    EXPECT_EQ(calls[2].data, (Bytes{0x01, 0x02, 0x03}));
    EXPECT_EQ(fake.References(), 0);
    EXPECT_EQ(fake.AddRefs(), fake.Releases());
}

TEST(DirectShowTopology, NodeCountAndTypesFeedTheTopologyScan)
{
    FakeKsFilter fake;
    const GUID other = ToWinGuid(*ParseRegistryGuid("{DFF229E5-F70F-11D0-B917-00A0C9223196}"));
    const GUID xu = ToWinGuid(guids::kNodeTypeDevSpecific);
    fake.nodeTypes = {other, xu, other, xu};
    fake.failingNodeTypes = {3};
    FakeRuntime runtime;
    CaptureDevice device;
    {
        DirectShowFilter filter{ComRef<IUnknown>(fake.NewReference())};
        std::shared_ptr<KsTopologyInfo> topology;
        ASSERT_EQ(filter.QueryTopologyInfo(&topology), hr::kOk);
        ASSERT_NE(topology, nullptr);
        CollectXuNodeRecords(runtime, *topology, device);

        Guid untouched = *ParseRegistryGuid("{01234567-89AB-CDEF-0123-456789ABCDEF}");
        EXPECT_EQ(topology->GetNodeType(3, &untouched), hr::kFail);
        EXPECT_EQ(untouched, *ParseRegistryGuid("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
        fake.numNodesResult = E_FAIL;
        std::uint32_t count = 7;
        EXPECT_EQ(topology->GetNumNodes(&count), hr::kFail);
    }
    EXPECT_EQ(fake.Calls(),
              (std::vector<std::string>{"get_NumNodes", "get_NodeType 0", "get_NodeType 1", "get_NodeType 2",
                                        "get_NodeType 3", "get_NodeType 3", "get_NumNodes"}));
    ASSERT_EQ(device.units.size(), 1u);
    EXPECT_EQ(device.units[0].nodeId, 1u);
    EXPECT_NE(runtime.AllDiagnostics().find("node num = 4\n"), std::string::npos);
    EXPECT_EQ(fake.References(), 0);
    EXPECT_EQ(fake.AddRefs(), fake.Releases());
}

TEST(DirectShowFilter, AFilterWithoutTheInterfacesGivesNothingAndKeepsNoReference)
{
    FakeKsFilter fake;
    fake.offersTopology = false;
    fake.offersControl = false;
    {
        DirectShowFilter filter{ComRef<IUnknown>(fake.NewReference())};
        std::shared_ptr<KsTopologyInfo> topology;
        std::shared_ptr<KsControl> control;
        EXPECT_EQ(filter.QueryTopologyInfo(&topology), hr::kNoInterface);
        EXPECT_EQ(filter.QueryKsControl(&control), hr::kNoInterface);
        EXPECT_EQ(topology, nullptr);
        EXPECT_EQ(control, nullptr);
    }
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_EQ(fake.References(), 0);
    EXPECT_EQ(fake.AddRefs(), fake.Releases());
}

}  // namespace
}  // namespace norvik::test
