#pragma once
// An in-process COM object standing for a camera's capture filter: it
// answers QueryInterface for IUnknown, IKsTopologyInfo and IKsControl, and
// records every call and every reference taken or given back.
//
// Its vtables are written out by hand as tables of function pointers in the
// published slot order of each interface, not derived from the program's own
// declarations, so a slot out of place in those declarations shows up here
// as a call to the wrong method. Every method is STDMETHODCALLTYPE with the
// interface pointer first, which is how a COM method is called on both x86
// (stdcall) and x64.

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platforms/win32/Win32Guid.h"
#include "platforms/win32/WindowsApi.h"

namespace norvik::test {

class FakeKsFilter {
public:
    // One IKsControl::KsProperty call as it arrived.
    struct PropertyCall {
        std::vector<std::uint8_t> property;  // propertyLength bytes
        ULONG propertyLength = 0;
        std::vector<std::uint8_t> data;  // dataLength bytes as sent
        ULONG dataLength = 0;
        bool dataPointerGiven = false;
        bool bytesReturnedGiven = false;
    };

    // Answers KsProperty once the call is recorded: may write into data (at
    // most dataLength bytes) and the byte count. S_OK with 0 bytes when
    // unset.
    using PropertyHandler =
        std::function<HRESULT(const PropertyCall& call, std::uint8_t* data, ULONG* bytesReturned)>;

    FakeKsFilter()
    {
        unknownFace_ = {&kControlVtbl, this};  // IKsControl starts with IUnknown's slots
        controlFace_ = {&kControlVtbl, this};
        topologyFace_ = {&kTopologyVtbl, this};
    }
    FakeKsFilter(const FakeKsFilter&) = delete;
    FakeKsFilter& operator=(const FakeKsFilter&) = delete;

    // A new reference to the filter's IUnknown, for a ComRef to take over;
    // the interfaces come from its QueryInterface.
    IUnknown* NewReference()
    {
        ++references_;
        ++addRefs_;
        return reinterpret_cast<IUnknown*>(&unknownFace_);
    }

    // References held by anyone (the filter's own reference excluded), and
    // the AddRef and Release calls so far, including those of QueryInterface
    // and NewReference.
    long References() const { return references_; }
    int AddRefs() const { return addRefs_; }
    int Releases() const { return releases_; }

    // The methods called, by name, in order (IUnknown's excluded).
    const std::vector<std::string>& Calls() const { return calls_; }
    const std::vector<PropertyCall>& PropertyCalls() const { return propertyCalls_; }
    void ClearCalls()
    {
        calls_.clear();
        propertyCalls_.clear();
    }

    // --- What the filter answers -------------------------------------------
    bool offersTopology = true;
    bool offersControl = true;
    HRESULT numNodesResult = S_OK;
    std::vector<GUID> nodeTypes;
    std::vector<DWORD> failingNodeTypes;  // get_NodeType fails for these
    PropertyHandler onProperty;

private:
    struct Face {
        const void* vtbl;
        FakeKsFilter* owner;
    };

    using QueryInterfaceFn = HRESULT(STDMETHODCALLTYPE*)(Face*, const IID&, void**);
    using AddRefFn = ULONG(STDMETHODCALLTYPE*)(Face*);
    using ReleaseFn = ULONG(STDMETHODCALLTYPE*)(Face*);
    using KsRequestFn = HRESULT(STDMETHODCALLTYPE*)(Face*, void*, ULONG, void*, ULONG, ULONG*);
    using CountFn = HRESULT(STDMETHODCALLTYPE*)(Face*, DWORD*);
    using GuidAtFn = HRESULT(STDMETHODCALLTYPE*)(Face*, DWORD, GUID*);
    using ConnectionInfoFn = HRESULT(STDMETHODCALLTYPE*)(Face*, DWORD, void*);
    using NodeNameFn = HRESULT(STDMETHODCALLTYPE*)(Face*, DWORD, WCHAR*, DWORD, DWORD*);
    using CreateNodeInstanceFn = HRESULT(STDMETHODCALLTYPE*)(Face*, DWORD, const IID&, void**);

    // IKsControl: IUnknown, then KsProperty, KsMethod, KsEvent.
    struct ControlVtbl {
        QueryInterfaceFn queryInterface;
        AddRefFn addRef;
        ReleaseFn release;
        KsRequestFn ksProperty;
        KsRequestFn ksMethod;
        KsRequestFn ksEvent;
    };
    // IKsTopologyInfo: IUnknown, then its eight methods in this order.
    struct TopologyVtbl {
        QueryInterfaceFn queryInterface;
        AddRefFn addRef;
        ReleaseFn release;
        CountFn getNumCategories;
        GuidAtFn getCategory;
        CountFn getNumConnections;
        ConnectionInfoFn getConnectionInfo;
        NodeNameFn getNodeName;
        CountFn getNumNodes;
        GuidAtFn getNodeType;
        CreateNodeInstanceFn createNodeInstance;
    };

    static HRESULT STDMETHODCALLTYPE QueryInterface(Face* self, const IID& iid, void** out)
    {
        FakeKsFilter& f = *self->owner;
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown)
            *out = &f.unknownFace_;
        else if (iid == ToWinGuid(guids::kKsControl) && f.offersControl)
            *out = &f.controlFace_;
        else if (iid == ToWinGuid(guids::kKsTopologyInfo) && f.offersTopology)
            *out = &f.topologyFace_;
        if (!*out)
            return E_NOINTERFACE;
        ++f.references_;
        ++f.addRefs_;
        return S_OK;
    }
    static ULONG STDMETHODCALLTYPE AddRef(Face* self)
    {
        ++self->owner->addRefs_;
        return ULONG(++self->owner->references_ + 1);
    }
    static ULONG STDMETHODCALLTYPE Release(Face* self)
    {
        ++self->owner->releases_;
        return ULONG(--self->owner->references_ + 1);
    }

    static HRESULT STDMETHODCALLTYPE KsProperty(Face* self, void* property, ULONG propertyLength, void* data,
                                                ULONG dataLength, ULONG* bytesReturned)
    {
        FakeKsFilter& f = *self->owner;
        f.calls_.push_back("KsProperty");
        PropertyCall call;
        call.propertyLength = propertyLength;
        if (property)
            call.property.assign(static_cast<std::uint8_t*>(property),
                                 static_cast<std::uint8_t*>(property) + propertyLength);
        call.dataLength = dataLength;
        call.dataPointerGiven = data != nullptr;
        if (data)
            call.data.assign(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + dataLength);
        call.bytesReturnedGiven = bytesReturned != nullptr;
        f.propertyCalls_.push_back(call);
        ULONG returned = 0;
        const HRESULT hr =
            f.onProperty ? f.onProperty(call, static_cast<std::uint8_t*>(data), &returned) : S_OK;
        if (bytesReturned)
            *bytesReturned = returned;
        return hr;
    }
    static HRESULT STDMETHODCALLTYPE KsMethod(Face* self, void*, ULONG, void*, ULONG, ULONG*)
    {
        self->owner->calls_.push_back("KsMethod");
        return E_NOTIMPL;
    }
    static HRESULT STDMETHODCALLTYPE KsEvent(Face* self, void*, ULONG, void*, ULONG, ULONG*)
    {
        self->owner->calls_.push_back("KsEvent");
        return E_NOTIMPL;
    }

    static HRESULT STDMETHODCALLTYPE GetNumCategories(Face* self, DWORD*)
    {
        self->owner->calls_.push_back("get_NumCategories");
        return E_NOTIMPL;
    }
    static HRESULT STDMETHODCALLTYPE GetCategory(Face* self, DWORD, GUID*)
    {
        self->owner->calls_.push_back("get_Category");
        return E_NOTIMPL;
    }
    static HRESULT STDMETHODCALLTYPE GetNumConnections(Face* self, DWORD*)
    {
        self->owner->calls_.push_back("get_NumConnections");
        return E_NOTIMPL;
    }
    static HRESULT STDMETHODCALLTYPE GetConnectionInfo(Face* self, DWORD, void*)
    {
        self->owner->calls_.push_back("get_ConnectionInfo");
        return E_NOTIMPL;
    }
    static HRESULT STDMETHODCALLTYPE GetNodeName(Face* self, DWORD, WCHAR*, DWORD, DWORD*)
    {
        self->owner->calls_.push_back("get_NodeName");
        return E_NOTIMPL;
    }
    static HRESULT STDMETHODCALLTYPE GetNumNodes(Face* self, DWORD* count)
    {
        FakeKsFilter& f = *self->owner;
        f.calls_.push_back("get_NumNodes");
        if (FAILED(f.numNodesResult))
            return f.numNodesResult;
        *count = DWORD(f.nodeTypes.size());
        return f.numNodesResult;
    }
    static HRESULT STDMETHODCALLTYPE GetNodeType(Face* self, DWORD node, GUID* type)
    {
        FakeKsFilter& f = *self->owner;
        f.calls_.push_back("get_NodeType " + std::to_string(node));
        for (DWORD failing : f.failingNodeTypes)
            if (failing == node)
                return E_FAIL;
        if (node >= f.nodeTypes.size())
            return E_INVALIDARG;
        *type = f.nodeTypes[node];
        return S_OK;
    }
    static HRESULT STDMETHODCALLTYPE CreateNodeInstance(Face* self, DWORD, const IID&, void** out)
    {
        self->owner->calls_.push_back("CreateNodeInstance");
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

    static constexpr ControlVtbl kControlVtbl = {&QueryInterface, &AddRef,   &Release,
                                                 &KsProperty,     &KsMethod, &KsEvent};
    static constexpr TopologyVtbl kTopologyVtbl = {&QueryInterface,    &AddRef,
                                                   &Release,           &GetNumCategories,
                                                   &GetCategory,       &GetNumConnections,
                                                   &GetConnectionInfo, &GetNodeName,
                                                   &GetNumNodes,       &GetNodeType,
                                                   &CreateNodeInstance};

    Face unknownFace_{};
    Face controlFace_{};
    Face topologyFace_{};
    long references_ = 0;
    int addRefs_ = 0;
    int releases_ = 0;
    std::vector<std::string> calls_;
    std::vector<PropertyCall> propertyCalls_;
};

}  // namespace norvik::test
