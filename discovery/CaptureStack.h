#pragma once
// The capture-stack port: the system device enumerator, device monikers,
// property bags, capture filters and their kernel-streaming interfaces.
// Every operation answers with the HRESULT the Windows call would give, and
// never throws. Interface references are shared_ptr: dropping the last one
// is the Release.

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/Guid.h"
#include "runtime/ResultCodes.h"

namespace norvik {

// The video class's requests on a control besides GET_CUR, SET_CUR and
// GET_LEN: GET_INFO, GET_MIN, GET_MAX, GET_RES and GET_DEF.
enum class ControlQuery : std::uint8_t { Info, Min, Max, Res, Def };

// IKsControl: kernel-streaming property requests to a capture filter. The
// property is a 32-byte KSP_NODE. A call may block; it may be made from a
// worker thread while the caller holds its own reference.
class KsControl {
public:
    virtual ~KsControl() = default;
    virtual HResult KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                               std::uint32_t dataLength, std::uint32_t* bytesReturned) = 0;
    // One of the video class's query requests on the control the KSP_NODE
    // names (a GET property): the information byte (dataLength 1) or the
    // minimum, maximum, resolution or default (the control's length). Each
    // platform asks its driver in its own way; what the driver does not offer
    // is a failure code, never a value made up. A control interface that has
    // no way to ask answers E_NOTIMPL.
    virtual HResult KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength, void* data,
                            std::uint32_t dataLength, std::uint32_t* bytesReturned)
    {
        (void)kind;
        (void)property;
        (void)propertyLength;
        (void)data;
        (void)dataLength;
        if (bytesReturned)
            *bytesReturned = 0;
        return hr::kNotImpl;
    }
};

// IKsTopologyInfo: node count and node types of a capture filter.
class KsTopologyInfo {
public:
    virtual ~KsTopologyInfo() = default;
    virtual HResult GetNumNodes(std::uint32_t* count) = 0;
    virtual HResult GetNodeType(std::uint32_t index, Guid* type) = 0;
};

// The capture filter a moniker binds to (IBaseFilter), asked for its
// interfaces (QueryInterface).
class CaptureFilter {
public:
    virtual ~CaptureFilter() = default;
    virtual HResult QueryTopologyInfo(std::shared_ptr<KsTopologyInfo>* out) = 0;
    virtual HResult QueryKsControl(std::shared_ptr<KsControl>* out) = 0;
};

// IPropertyBag: "FriendlyName" and "DevicePath", read as VT_BSTR.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    virtual HResult Read(const std::wstring& name, std::wstring* value) = 0;
};

// IMoniker of one video input device.
class DeviceMoniker {
public:
    virtual ~DeviceMoniker() = default;
    virtual HResult GetDisplayName(std::wstring* name) = 0;
    virtual HResult BindToStorage(std::shared_ptr<PropertyBag>* out) = 0;
    virtual HResult BindToObject(std::shared_ptr<CaptureFilter>* out) = 0;
};

// IEnumMoniker: Next gives one moniker per call, S_OK while any remain.
class MonikerEnumerator {
public:
    virtual ~MonikerEnumerator() = default;
    virtual HResult Reset() = 0;
    virtual HResult Next(std::shared_ptr<DeviceMoniker>* out) = 0;
};

// ICreateDevEnum: S_FALSE and no enumerator when the category is empty.
class DeviceEnumerator {
public:
    virtual ~DeviceEnumerator() = default;
    virtual HResult CreateClassEnumerator(const Guid& category, std::uint32_t flags,
                                          std::shared_ptr<MonikerEnumerator>* out) = 0;
};

// An opaque bind context (IBindCtx).
class BindContext {
public:
    virtual ~BindContext() = default;
};

// A thread's membership of the apartment that calls into the stack's
// objects need. Destroyed on the thread that entered, as it ends, which
// leaves the apartment again; it does not refer to the stack.
class ThreadApartment {
public:
    virtual ~ThreadApartment() = default;
};

class CaptureStack {
public:
    virtual ~CaptureStack() = default;
    // CoInitializeEx(NULL, COINIT_APARTMENTTHREADED) on the calling thread.
    virtual HResult InitializeApartment() { return 0; }
    // For a thread of the program's own (a channel worker) that will call
    // into objects obtained on the main thread: CoInitializeEx(NULL,
    // COINIT_MULTITHREADED) on the calling thread, with *out holding the
    // membership until the thread destroys it. A failure code when the
    // thread cannot enter; a stack without apartments answers S_OK and
    // leaves *out empty. Called as the thread starts, with no lock held.
    virtual HResult EnterThreadApartment(std::unique_ptr<ThreadApartment>* out)
    {
        out->reset();
        return 0;
    }
    // CoCreateInstance(CLSID_SystemDeviceEnum, ..., IID_ICreateDevEnum).
    virtual HResult CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out) = 0;
    // CreateBindCtx(0, ...).
    virtual HResult CreateBindContext(std::shared_ptr<BindContext>* out) = 0;
    // MkParseDisplayName: a moniker for a display name obtained earlier.
    virtual HResult ParseDisplayName(BindContext& context, const std::wstring& displayName,
                                     std::shared_ptr<DeviceMoniker>* out) = 0;
};

}  // namespace norvik
