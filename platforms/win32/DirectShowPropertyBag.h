#pragma once
// The property bag of a device moniker: "FriendlyName" and "DevicePath" read
// as strings (VT_BSTR) with IPropertyBag::Read. Kept apart from the device
// enumeration so that it can read any object with that interface.

#include "discovery/CaptureStack.h"
#include "platforms/win32/ComRef.h"
#include "platforms/win32/WindowsApi.h"

namespace norvik {

class DirectShowPropertyBag final : public PropertyBag {
public:
    explicit DirectShowPropertyBag(ComRef<IPropertyBag> bag);

    // The bag's own result. The text is taken only from a success that came
    // with a string; whatever the bag left in the VARIANT is cleared.
    HResult Read(const std::wstring& name, std::wstring* value) override;

private:
    ComRef<IPropertyBag> bag_;
};

}  // namespace norvik
