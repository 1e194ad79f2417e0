// The Linux capture stack when memory runs out: every call that hands out
// an interface, or copies a text out, answers E_OUTOFMEMORY as the COM
// interfaces it stands in for do, never a std::bad_alloc across the port.
// This program replaces the global operator new so that a test can refuse
// every allocation of its own thread for a while; it is a program of its
// own so that no other test runs on that allocator.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "LabSystem.h"
#include "channel/NodeRequests.h"
#include "discovery/KsNode.h"
#include "runtime/Guid.h"

namespace {
thread_local bool refuseAllocations = false;
}  // namespace

void* operator new(std::size_t size)
{
    if (!refuseAllocations)
        if (void* block = std::malloc(size ? size : 1))
            return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace norvik {
namespace {

using test::LabSystem;

const Guid kCam11UnitB = *ParseRegistryGuid("{4A7D3C10-8E5B-4F21-9C6A-2B1D0E3F5A02}");

// The call's answer with every allocation of this thread refused; a
// std::bad_alloc that crossed the port fails the test.
template <class Call>
HResult WithoutMemory(Call&& call)
{
    HResult result = hr::kOk;
    bool thrown = false;
    refuseAllocations = true;
    try {
        result = call();
    } catch (const std::bad_alloc&) {
        thrown = true;
    }
    refuseAllocations = false;
    EXPECT_FALSE(thrown) << "std::bad_alloc crossed the capture stack port";
    return result;
}

TEST(V4l2CaptureStackMemory, EveryCallThatAllocatesAnswersOutOfMemory)
{
    LabSystem lab;
    CaptureStack& stack = lab.Platform().Capture();

    std::shared_ptr<DeviceEnumerator> enumerator;
    EXPECT_EQ(WithoutMemory([&] { return stack.CreateDeviceEnumerator(&enumerator); }), hr::kOutOfMemory);
    EXPECT_FALSE(enumerator);
    ASSERT_EQ(stack.CreateDeviceEnumerator(&enumerator), hr::kOk);

    std::shared_ptr<MonikerEnumerator> monikers;
    EXPECT_EQ(WithoutMemory([&] {
                  return enumerator->CreateClassEnumerator(guids::kVideoInputDeviceCategory, 0, &monikers);
              }),
              hr::kOutOfMemory);
    EXPECT_FALSE(monikers);
    ASSERT_EQ(enumerator->CreateClassEnumerator(guids::kVideoInputDeviceCategory, 0, &monikers), hr::kOk);

    // A moniker refused for want of memory is handed out by the next call.
    std::shared_ptr<DeviceMoniker> moniker;
    EXPECT_EQ(WithoutMemory([&] { return monikers->Next(&moniker); }), hr::kOutOfMemory);
    EXPECT_FALSE(moniker);
    ASSERT_EQ(monikers->Next(&moniker), hr::kOk);
    std::wstring first;
    ASSERT_EQ(moniker->GetDisplayName(&first), hr::kOk);
    monikers->Reset();
    std::shared_ptr<DeviceMoniker> again;
    ASSERT_EQ(monikers->Next(&again), hr::kOk);
    std::wstring name;
    EXPECT_EQ(WithoutMemory([&] { return again->GetDisplayName(&name); }), hr::kOutOfMemory);
    ASSERT_EQ(again->GetDisplayName(&name), hr::kOk);
    EXPECT_EQ(name, first);

    std::shared_ptr<PropertyBag> bag;
    EXPECT_EQ(WithoutMemory([&] { return moniker->BindToStorage(&bag); }), hr::kOutOfMemory);
    EXPECT_FALSE(bag);
    ASSERT_EQ(moniker->BindToStorage(&bag), hr::kOk);
    const std::wstring property = L"FriendlyName";  // the caller's own allocation, made first
    std::wstring friendly;
    EXPECT_EQ(WithoutMemory([&] { return bag->Read(property, &friendly); }), hr::kOutOfMemory);
    EXPECT_EQ(bag->Read(property, &friendly), hr::kOk);

    std::shared_ptr<CaptureFilter> filter;
    EXPECT_EQ(WithoutMemory([&] { return moniker->BindToObject(&filter); }), hr::kOutOfMemory);
    EXPECT_FALSE(filter);
    ASSERT_EQ(moniker->BindToObject(&filter), hr::kOk);
    std::shared_ptr<KsTopologyInfo> topology;
    EXPECT_EQ(WithoutMemory([&] { return filter->QueryTopologyInfo(&topology); }), hr::kOutOfMemory);
    EXPECT_FALSE(topology);
    std::shared_ptr<KsControl> control;
    EXPECT_EQ(WithoutMemory([&] { return filter->QueryKsControl(&control); }), hr::kOutOfMemory);
    EXPECT_FALSE(control);
    ASSERT_EQ(filter->QueryKsControl(&control), hr::kOk);

    // The first request opens the node: without memory it fails with no
    // byte count and no descriptor left open; the next one succeeds.
    const KsNodeProperty get = MakeKsNodeProperty(kCam11UnitB, 5, false, 4);
    std::uint8_t value[8] = {};
    std::uint32_t bytes = 0xDEAD;
    EXPECT_EQ(WithoutMemory([&] { return control->KsProperty(&get, sizeof get, value, 8, &bytes); }),
              hr::kOutOfMemory);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(lab.Ioctl().OpenDescriptors(), 0);
    EXPECT_EQ(control->KsProperty(&get, sizeof get, value, 8, &bytes), hr::kOk);
    EXPECT_EQ(bytes, 8u);

    std::shared_ptr<BindContext> context;
    EXPECT_EQ(WithoutMemory([&] { return stack.CreateBindContext(&context); }), hr::kOutOfMemory);
    EXPECT_FALSE(context);
    ASSERT_EQ(stack.CreateBindContext(&context), hr::kOk);
    std::shared_ptr<DeviceMoniker> parsed;
    EXPECT_EQ(WithoutMemory([&] { return stack.ParseDisplayName(*context, first, &parsed); }),
              hr::kOutOfMemory);
    EXPECT_FALSE(parsed);
    EXPECT_EQ(stack.ParseDisplayName(*context, first, &parsed), hr::kOk);
}

}  // namespace
}  // namespace norvik
