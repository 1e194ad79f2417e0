// String properties read from a device's property bag, on an in-process bag
// that answers what a driver's bag may answer, including a failure that
// leaves the VARIANT as it was handed over. VariantInit behaves here as on
// systems before Windows 8.1 (see VariantInitOfOlderSystems.cpp).

#include <gtest/gtest.h>

#include <string>

#include "platforms/win32/DirectShowPropertyBag.h"
#include "runtime/ResultCodes.h"

namespace norvik::test {
namespace {

class FakePropertyBag final : public IPropertyBag {
public:
    // What Read does: fail without touching the VARIANT, answer a string, or
    // answer a number.
    enum class Answer { Fail, String, Number };
    Answer answer = Answer::Fail;

    // The VARIANT as Read received it.
    VARTYPE seenType = VT_ILLEGAL;
    BSTR seenString = reinterpret_cast<BSTR>(1);
    long references = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IPropertyBag)
            return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR, VARIANT* variant, IErrorLog*) override
    {
        seenType = variant->vt;
        seenString = variant->vt == VT_BSTR ? variant->bstrVal : nullptr;
        switch (answer) {
        case Answer::Fail:
            return E_INVALIDARG;
        case Answer::String:
            variant->vt = VT_BSTR;
            variant->bstrVal = ::SysAllocString(L"USB 摄像头");
            return S_OK;
        case Answer::Number:
            variant->vt = VT_I4;
            variant->lVal = 7;
            return S_OK;
        }
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
};

// Leaves a recognisable pattern in the stack below the caller, where the
// next call's locals will lie.
[[gnu::noinline]] void PoisonStack()
{
    volatile unsigned char block[16384];
    for (volatile unsigned char& b : block)
        b = 0xA5;
}

TEST(DirectShowPropertyBag, AFailedReadLeavesNoStringToFree)
{
    FakePropertyBag fake;
    fake.AddRef();
    {
        DirectShowPropertyBag bag{ComRef<IPropertyBag>(&fake)};
        std::wstring value = L"unchanged";
        PoisonStack();
        EXPECT_EQ(bag.Read(L"DevicePath", &value), hr::kInvalidArg);
        // Prepared as a string with no string in it: clearing it afterwards
        // frees nothing.
        EXPECT_EQ(fake.seenType, VT_BSTR);
        EXPECT_EQ(fake.seenString, nullptr);
        EXPECT_EQ(value, L"unchanged");
    }
    EXPECT_EQ(fake.references, 0);
}

TEST(DirectShowPropertyBag, OnlyAStringAnswerGivesText)
{
    FakePropertyBag fake;
    fake.AddRef();
    {
        DirectShowPropertyBag bag{ComRef<IPropertyBag>(&fake)};
        std::wstring value;
        fake.answer = FakePropertyBag::Answer::String;
        EXPECT_EQ(bag.Read(L"FriendlyName", &value), hr::kOk);
        EXPECT_EQ(value, L"USB 摄像头");

        value = L"unchanged";
        fake.answer = FakePropertyBag::Answer::Number;
        EXPECT_EQ(bag.Read(L"FriendlyName", &value), hr::kOk);
        EXPECT_EQ(value, L"unchanged");
    }
    EXPECT_EQ(fake.references, 0);
}

}  // namespace
}  // namespace norvik::test
