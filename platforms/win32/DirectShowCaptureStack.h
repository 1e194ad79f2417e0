#pragma once
// The capture-stack port on Windows: the DirectShow system device enumerator,
// device monikers and property bags, and the kernel-streaming interfaces of
// the capture filters (IKsTopologyInfo, IKsControl). Each operation answers
// with the HRESULT of the COM call behind it.
//
// The interfaces are obtained on the main thread, which is a single-threaded
// apartment; IKsControl is also called from the channel's worker threads,
// each of which enters the multithreaded apartment first. The
// kernel-streaming proxy does not tie its objects to an apartment, so no
// marshalling is involved.

#include "discovery/CaptureStack.h"

namespace norvik {

class DirectShowCaptureStack final : public CaptureStack {
public:
    HResult InitializeApartment() override;
    HResult EnterThreadApartment(std::unique_ptr<ThreadApartment>* out) override;
    HResult CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out) override;
    HResult CreateBindContext(std::shared_ptr<BindContext>* out) override;
    HResult ParseDisplayName(BindContext& context, const std::wstring& displayName,
                             std::shared_ptr<DeviceMoniker>* out) override;
};

}  // namespace norvik
