#pragma once
// The two kernel-streaming interfaces of a capture filter that the tool
// calls, declared here from their published layouts because not every
// toolchain's headers have them (MinGW-w64 has no IKsTopologyInfo). They
// live in the program's namespace so that they never clash with a
// declaration of the system headers. The interface identifiers are
// guids::kKsControl and guids::kKsTopologyInfo.

#include "platforms/win32/WindowsApi.h"

namespace norvik::ks {

// IKsControl {28F54685-06FD-11D2-B27A-00A0C9223196}.
struct IKsControl : public IUnknown {
    // property: a KSPROPERTY (here always a 32-byte KSP_NODE).
    virtual HRESULT STDMETHODCALLTYPE KsProperty(void* property, ULONG propertyLength, void* propertyData,
                                                 ULONG dataLength, ULONG* bytesReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE KsMethod(void* method, ULONG methodLength, void* methodData,
                                               ULONG dataLength, ULONG* bytesReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE KsEvent(void* event, ULONG eventLength, void* eventData,
                                              ULONG dataLength, ULONG* bytesReturned) = 0;
};

// IKsTopologyInfo {720D4AC0-7533-11D0-A5D6-28DB04C10000}.
struct IKsTopologyInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Category(DWORD index, GUID* category) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD* count) = 0;
    // connection: a KSTOPOLOGY_CONNECTION.
    virtual HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD index, void* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NodeName(DWORD nodeId, WCHAR* name, DWORD bufferSize,
                                                   DWORD* nameLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NodeType(DWORD nodeId, GUID* nodeType) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD nodeId, REFIID iid, void** object) = 0;
};

}  // namespace norvik::ks
