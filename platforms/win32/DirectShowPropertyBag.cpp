#include "platforms/win32/DirectShowPropertyBag.h"

namespace norvik {

namespace {

// The VARIANT a string property is read into: every field set before the
// read, cleared when it goes out of scope. Before Windows 8.1 VariantInit set
// only the type, and a bag that fails without touching the VARIANT would
// leave a VT_BSTR whose string pointer VariantClear frees, so the pointer is
// set here.
class StringVariant {
public:
    StringVariant()
    {
        ::VariantInit(&variant_);
        variant_.vt = VT_BSTR;
        variant_.bstrVal = nullptr;
    }
    ~StringVariant() { ::VariantClear(&variant_); }
    StringVariant(const StringVariant&) = delete;
    StringVariant& operator=(const StringVariant&) = delete;

    VARIANT* Get() { return &variant_; }

private:
    VARIANT variant_{};
};

}  // namespace

DirectShowPropertyBag::DirectShowPropertyBag(ComRef<IPropertyBag> bag) : bag_(std::move(bag)) {}

HResult DirectShowPropertyBag::Read(const std::wstring& name, std::wstring* value)
{
    StringVariant variant;
    const HRESULT hr = bag_->Read(name.c_str(), variant.Get(), nullptr);
    const VARIANT& answer = *variant.Get();
    if (SUCCEEDED(hr) && answer.vt == VT_BSTR && value) {
        if (answer.bstrVal)
            value->assign(answer.bstrVal, ::SysStringLen(answer.bstrVal));
        else
            value->clear();
    }
    return HResult(hr);
}

}  // namespace norvik
