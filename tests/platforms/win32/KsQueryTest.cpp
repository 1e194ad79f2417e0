// The class queries on Windows: what the control wrapper asks the driver
// through IKsControl (basic support, default values) and how it reads the
// answers, on an in-process filter object answering as drivers may.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "discovery/KsNode.h"
#include "platforms/win32/DirectShowFilter.h"
#include "platforms/win32/KsPropertyDescription.h"
#include "runtime/ResultCodes.h"
#include "tests/platforms/win32/FakeKsFilter.h"

namespace norvik::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Guid kUnit = *ParseRegistryGuid("{A0A0A0A0-1111-4111-8111-0000000000A1}");
const HResult kNotSupported = HResultFromWin32(ERROR_NOT_SUPPORTED);

void PutLe32(Bytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(std::uint8_t(value >> (8 * i)));
}

// A KSPROPERTY_DESCRIPTION, and a KSPROPERTY_MEMBERSHEADER with its members
// when listFlags is not 0; DescriptionSize counts them all.
Bytes Answer(std::uint32_t access, std::uint32_t listFlags = 0, std::uint32_t membersSize = 0,
             std::uint32_t membersCount = 0, const Bytes& members = {})
{
    Bytes answer;
    PutLe32(answer, access);
    const std::uint32_t total = std::uint32_t(40 + (listFlags ? 16 + members.size() : 0));
    PutLe32(answer, total);
    answer.resize(32, 0);  // PropTypeSet: GUID_NULL, id 0, flags 0
    PutLe32(answer, listFlags ? 1 : 0);
    PutLe32(answer, 0);
    if (listFlags) {
        PutLe32(answer, listFlags);
        PutLe32(answer, membersSize);
        PutLe32(answer, membersCount);
        PutLe32(answer, 0);
        answer.insert(answer.end(), members.begin(), members.end());
    }
    return answer;
}

std::uint32_t FlagsOf(const FakeKsFilter::PropertyCall& call)
{
    return std::uint32_t(call.property[20]) | std::uint32_t(call.property[21]) << 8 |
           std::uint32_t(call.property[22]) << 16 | std::uint32_t(call.property[23]) << 24;
}

// Answers a basic-support and a default-values request as a KS handler
// does: as much of the answer as fits, more data when not even the
// description fits.
struct Driver {
    Bytes basicSupport;
    Bytes defaultValues;
    HRESULT basicResult = S_OK;
    HRESULT defaultResult = S_OK;

    FakeKsFilter::PropertyHandler Handler()
    {
        return
            [this](const FakeKsFilter::PropertyCall& call, std::uint8_t* data, ULONG* returned) -> HRESULT {
                const std::uint32_t flags = FlagsOf(call);
                const bool defaults = (flags & 0x00010000u) != 0;
                const HRESULT result = defaults ? defaultResult : basicResult;
                if (FAILED(result))
                    return result;
                const Bytes& answer = defaults ? defaultValues : basicSupport;
                const ULONG n = std::min<ULONG>(call.dataLength, ULONG(answer.size()));
                std::copy(answer.begin(), answer.begin() + n, data);
                *returned = n;
                return S_OK;
            };
    }
};

class KsQueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake.onProperty = driver.Handler();
        filter = std::make_unique<DirectShowFilter>(ComRef<IUnknown>(fake.NewReference()));
        ASSERT_EQ(filter->QueryKsControl(&control), hr::kOk);
    }

    HResult Query(ControlQuery kind, Bytes& out, std::uint32_t* returned = nullptr)
    {
        const KsNodeProperty property = MakeKsNodeProperty(kUnit, 3, false, 5);
        std::uint32_t count = 0xDEAD;
        const HResult result =
            control->KsQuery(kind, &property, sizeof property, out.data(), std::uint32_t(out.size()), &count);
        if (returned)
            *returned = count;
        return result;
    }

    FakeKsFilter fake;
    Driver driver;
    std::unique_ptr<DirectShowFilter> filter;
    std::shared_ptr<KsControl> control;
};

TEST_F(KsQueryTest, RangeAndAccessFlagsComeFromBasicSupport)
{
    // A 2-byte control: minimum 01 00, maximum FF 0F, as one range member.
    driver.basicSupport = Answer(0x3, ks::kMemberRanges, 4, 1, {0x01, 0x00, 0xFF, 0x0F});
    Bytes info(1);
    std::uint32_t returned = 0;
    ASSERT_EQ(Query(ControlQuery::Info, info, &returned), hr::kOk);
    EXPECT_EQ(info, (Bytes{0x03}));
    EXPECT_EQ(returned, 1u);
    Bytes min(2), max(2);
    ASSERT_EQ(Query(ControlQuery::Min, min, &returned), hr::kOk);
    EXPECT_EQ(returned, 2u);
    ASSERT_EQ(Query(ControlQuery::Max, max), hr::kOk);
    EXPECT_EQ(min, (Bytes{0x01, 0x00}));
    EXPECT_EQ(max, (Bytes{0xFF, 0x0F}));

    // Each query: the description first, then the whole answer it sizes,
    // both with the same KSP_NODE but the basic-support type.
    const auto& calls = fake.PropertyCalls();
    ASSERT_EQ(calls.size(), 5u);  // INFO needs no list: its description is whole
    for (const auto& call : calls) {
        EXPECT_EQ(FlagsOf(call), 0x10000200u);
        EXPECT_EQ(call.propertyLength, 32u);
        EXPECT_EQ(call.property[16], 3);  // the selector
        EXPECT_EQ(call.property[24], 5);  // the node
    }
    EXPECT_EQ(calls[0].dataLength, 40u);
    EXPECT_EQ(calls[1].dataLength, 40u);
    EXPECT_EQ(calls[2].dataLength, 60u);
}

TEST_F(KsQueryTest, ARangeSplitIntoTwoMembersReadsTheSame)
{
    driver.basicSupport = Answer(0x1, ks::kMemberRanges, 2, 2, {0x10, 0x00, 0x20, 0x00});
    Bytes info(1), max(2);
    ASSERT_EQ(Query(ControlQuery::Info, info), hr::kOk);
    EXPECT_EQ(info, (Bytes{0x01}));  // GET only
    ASSERT_EQ(Query(ControlQuery::Max, max), hr::kOk);
    EXPECT_EQ(max, (Bytes{0x20, 0x00}));
}

TEST_F(KsQueryTest, WhatTheDriverDoesNotOfferIsNotSupported)
{
    Bytes value(4);
    // No stepping is ever asked for.
    EXPECT_EQ(Query(ControlQuery::Res, value), kNotSupported);
    EXPECT_TRUE(fake.PropertyCalls().empty());

    // Stepped ranges, a value list, or a range too short for the control.
    driver.basicSupport = Answer(0x3, ks::kMemberSteppedRanges, 16, 1, Bytes(16, 1));
    EXPECT_EQ(Query(ControlQuery::Min, value), kNotSupported);
    driver.basicSupport = Answer(0x3, ks::kMemberValues, 4, 1, Bytes(4, 1));
    EXPECT_EQ(Query(ControlQuery::Max, value), kNotSupported);
    driver.basicSupport = Answer(0x3, ks::kMemberRanges, 4, 1, Bytes(4, 1));
    EXPECT_EQ(Query(ControlQuery::Max, value), kNotSupported);
    // A description without lists still has its access flags.
    driver.basicSupport = Answer(0x2);
    Bytes info(1);
    ASSERT_EQ(Query(ControlQuery::Info, info), hr::kOk);
    EXPECT_EQ(info, (Bytes{0x02}));
    EXPECT_EQ(Query(ControlQuery::Min, value), kNotSupported);
    // A list the answer does not hold whole is no range either.
    driver.basicSupport = Answer(0x3, ks::kMemberRanges, 8, 1, Bytes(8, 7));
    driver.basicSupport.resize(60);
    EXPECT_EQ(Query(ControlQuery::Min, value), kNotSupported);
    // The driver's own refusal passes through unchanged, no second call.
    driver.basicResult = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
    fake.ClearCalls();
    EXPECT_EQ(std::uint32_t(Query(ControlQuery::Info, info)), 0x80070492u);
    EXPECT_EQ(fake.PropertyCalls().size(), 1u);
}

TEST_F(KsQueryTest, DefaultComesFromDefaultValues)
{
    driver.defaultValues = Answer(0x3, ks::kMemberValues, 4, 1, {0x2A, 0x00, 0x00, 0x00});
    Bytes def(2);
    std::uint32_t returned = 0;
    ASSERT_EQ(Query(ControlQuery::Def, def, &returned), hr::kOk);
    EXPECT_EQ(def, (Bytes{0x2A, 0x00}));
    EXPECT_EQ(returned, 2u);
    for (const auto& call : fake.PropertyCalls())
        EXPECT_EQ(FlagsOf(call), 0x10010000u);

    // A default shorter than the control: the driver gives none this long.
    Bytes longer(8);
    EXPECT_EQ(Query(ControlQuery::Def, longer), kNotSupported);
    // A driver that has no default values for the unit says so itself.
    driver.defaultResult = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    EXPECT_EQ(std::uint32_t(Query(ControlQuery::Def, def)), 0x80070490u);
}

TEST_F(KsQueryTest, ADriverThatWantsTheWholeAnswerAtOnceSaysHowMuch)
{
    const Bytes whole = Answer(0x3, ks::kMemberRanges, 2, 2, {0x00, 0x00, 0x64, 0x00});
    fake.onProperty = [&whole](const FakeKsFilter::PropertyCall& call, std::uint8_t* data,
                               ULONG* returned) -> HRESULT {
        *returned = ULONG(whole.size());
        if (call.dataLength < whole.size())
            return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
        std::copy(whole.begin(), whole.end(), data);
        return S_OK;
    };
    Bytes max(2);
    ASSERT_EQ(Query(ControlQuery::Max, max), hr::kOk);
    EXPECT_EQ(max, (Bytes{0x64, 0x00}));
    ASSERT_EQ(fake.PropertyCalls().size(), 2u);
    EXPECT_EQ(fake.PropertyCalls()[1].dataLength, whole.size());
}

TEST(KsPropertyDescription, AccessFlagsBecomeTheGetAndSetBitsOnly)
{
    EXPECT_EQ(ks::InfoFromAccessFlags(0x1), 0x01);
    EXPECT_EQ(ks::InfoFromAccessFlags(0x2), 0x02);
    EXPECT_EQ(ks::InfoFromAccessFlags(0x203), 0x03);  // basic support itself is no INFO bit
    EXPECT_EQ(ks::InfoFromAccessFlags(0), 0x00);
    ks::PropertyDescription description;
    const Bytes shortAnswer(39, 0);
    EXPECT_FALSE(ks::ReadDescription(shortAnswer.data(), shortAnswer.size(), description));
}

}  // namespace
}  // namespace norvik::test
