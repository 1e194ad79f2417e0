#include "platforms/win32/DirectShowCaptureStack.h"

#include <new>

#include <strmif.h>

#include "platforms/win32/ComRef.h"
#include "platforms/win32/DirectShowFilter.h"
#include "platforms/win32/DirectShowPropertyBag.h"
#include "platforms/win32/Win32Guid.h"

namespace norvik {

namespace {

class DirectShowMoniker final : public DeviceMoniker {
public:
    explicit DirectShowMoniker(ComRef<IMoniker> moniker) : moniker_(std::move(moniker)) {}

    HResult GetDisplayName(std::wstring* name) override
    {
        LPOLESTR text = nullptr;
        const HRESULT hr = moniker_->GetDisplayName(nullptr, nullptr, &text);
        if (SUCCEEDED(hr) && text && name)
            name->assign(text);
        if (text)
            ::CoTaskMemFree(text);
        return HResult(hr);
    }

    HResult BindToStorage(std::shared_ptr<PropertyBag>* out) override
    {
        out->reset();
        const GUID iid = ToWinGuid(guids::kPropertyBag);
        ComRef<IPropertyBag> bag;
        const HRESULT hr = moniker_->BindToStorage(nullptr, nullptr, iid, bag.ReceiveVoid());
        if (SUCCEEDED(hr) && bag)
            *out = std::make_shared<DirectShowPropertyBag>(std::move(bag));
        return HResult(hr);
    }

    HResult BindToObject(std::shared_ptr<CaptureFilter>* out) override
    {
        out->reset();
        const GUID iid = ToWinGuid(guids::kBaseFilter);
        ComRef<IUnknown> filter;
        const HRESULT hr = moniker_->BindToObject(nullptr, nullptr, iid, filter.ReceiveVoid());
        if (SUCCEEDED(hr) && filter)
            *out = std::make_shared<DirectShowFilter>(std::move(filter));
        return HResult(hr);
    }

private:
    ComRef<IMoniker> moniker_;
};

class DirectShowMonikerEnumerator final : public MonikerEnumerator {
public:
    explicit DirectShowMonikerEnumerator(ComRef<IEnumMoniker> monikers) : monikers_(std::move(monikers)) {}

    HResult Reset() override { return HResult(monikers_->Reset()); }

    HResult Next(std::shared_ptr<DeviceMoniker>* out) override
    {
        out->reset();
        ComRef<IMoniker> moniker;
        ULONG fetched = 0;
        const HRESULT hr = monikers_->Next(1, moniker.Receive(), &fetched);
        if (hr == S_OK && fetched == 1 && moniker)
            *out = std::make_shared<DirectShowMoniker>(std::move(moniker));
        return HResult(hr);
    }

private:
    ComRef<IEnumMoniker> monikers_;
};

class DirectShowDeviceEnumerator final : public DeviceEnumerator {
public:
    explicit DirectShowDeviceEnumerator(ComRef<ICreateDevEnum> enumerator)
        : enumerator_(std::move(enumerator))
    {
    }

    HResult CreateClassEnumerator(const Guid& category, std::uint32_t flags,
                                  std::shared_ptr<MonikerEnumerator>* out) override
    {
        out->reset();
        const GUID categoryId = ToWinGuid(category);
        ComRef<IEnumMoniker> monikers;
        const HRESULT hr = enumerator_->CreateClassEnumerator(categoryId, monikers.Receive(), flags);
        // S_FALSE: the category is empty and there is no enumerator.
        if (hr == S_OK && monikers)
            *out = std::make_shared<DirectShowMonikerEnumerator>(std::move(monikers));
        return HResult(hr);
    }

private:
    ComRef<ICreateDevEnum> enumerator_;
};

class ComBindContext final : public BindContext {
public:
    explicit ComBindContext(ComRef<IBindCtx> context) : context_(std::move(context)) {}
    IBindCtx* Get() const { return context_.Get(); }

private:
    ComRef<IBindCtx> context_;
};

}  // namespace

HResult DirectShowCaptureStack::InitializeApartment()
{
    return HResult(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

namespace {

// One successful CoInitializeEx of the thread, undone as the thread ends.
class MultithreadedApartment final : public ThreadApartment {
public:
    ~MultithreadedApartment() override { ::CoUninitialize(); }
};

}  // namespace

HResult DirectShowCaptureStack::EnterThreadApartment(std::unique_ptr<ThreadApartment>* out)
{
    out->reset();
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr))
        return HResult(hr);
    // S_FALSE (already a member) needs its CoUninitialize as much as S_OK.
    out->reset(new (std::nothrow) MultithreadedApartment());
    if (!*out) {
        ::CoUninitialize();
        return HResult(E_OUTOFMEMORY);
    }
    return HResult(hr);
}

HResult DirectShowCaptureStack::CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out)
{
    out->reset();
    const GUID clsid = ToWinGuid(guids::kSystemDeviceEnum);
    const GUID iid = ToWinGuid(guids::kCreateDevEnum);
    ComRef<ICreateDevEnum> enumerator;
    const HRESULT hr =
        ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, enumerator.ReceiveVoid());
    if (SUCCEEDED(hr) && enumerator)
        *out = std::make_shared<DirectShowDeviceEnumerator>(std::move(enumerator));
    return HResult(hr);
}

HResult DirectShowCaptureStack::CreateBindContext(std::shared_ptr<BindContext>* out)
{
    out->reset();
    ComRef<IBindCtx> context;
    const HRESULT hr = ::CreateBindCtx(0, context.Receive());
    if (SUCCEEDED(hr) && context)
        *out = std::make_shared<ComBindContext>(std::move(context));
    return HResult(hr);
}

HResult DirectShowCaptureStack::ParseDisplayName(BindContext& context, const std::wstring& displayName,
                                                 std::shared_ptr<DeviceMoniker>* out)
{
    out->reset();
    auto* bindContext = dynamic_cast<ComBindContext*>(&context);
    if (!bindContext)
        return hr::kInvalidArg;
    ULONG eaten = 0;
    ComRef<IMoniker> moniker;
    const HRESULT hr =
        ::MkParseDisplayName(bindContext->Get(), displayName.c_str(), &eaten, moniker.Receive());
    if (SUCCEEDED(hr) && moniker)
        *out = std::make_shared<DirectShowMoniker>(std::move(moniker));
    return HResult(hr);
}

}  // namespace norvik
