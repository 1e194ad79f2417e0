#include "platforms/win32/DirectShowFilter.h"

#include "platforms/win32/Win32Guid.h"

namespace norvik {

DirectShowKsControl::DirectShowKsControl(ComRef<ks::IKsControl> control) : control_(std::move(control)) {}

HResult DirectShowKsControl::KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                                        std::uint32_t dataLength, std::uint32_t* bytesReturned)
{
    ULONG returned = 0;
    const HRESULT hr = control_->KsProperty(const_cast<void*>(property), propertyLength, data, dataLength, &returned);
    if (bytesReturned)
        *bytesReturned = returned;
    return HResult(hr);
}

DirectShowTopology::DirectShowTopology(ComRef<ks::IKsTopologyInfo> topology) : topology_(std::move(topology)) {}

HResult DirectShowTopology::GetNumNodes(std::uint32_t* count)
{
    DWORD nodes = 0;
    const HRESULT hr = topology_->get_NumNodes(&nodes);
    if (count)
        *count = nodes;
    return HResult(hr);
}

HResult DirectShowTopology::GetNodeType(std::uint32_t index, Guid* type)
{
    GUID nodeType{};
    const HRESULT hr = topology_->get_NodeType(index, &nodeType);
    if (type && SUCCEEDED(hr))
        *type = FromWinGuid(nodeType);
    return HResult(hr);
}

DirectShowFilter::DirectShowFilter(ComRef<IUnknown> filter) : filter_(std::move(filter)) {}

HResult DirectShowFilter::QueryTopologyInfo(std::shared_ptr<KsTopologyInfo>* out)
{
    out->reset();
    const GUID iid = ToWinGuid(guids::kKsTopologyInfo);
    ComRef<ks::IKsTopologyInfo> topology;
    const HRESULT hr = filter_->QueryInterface(iid, topology.ReceiveVoid());
    if (SUCCEEDED(hr) && topology)
        *out = std::make_shared<DirectShowTopology>(std::move(topology));
    return HResult(hr);
}

HResult DirectShowFilter::QueryKsControl(std::shared_ptr<KsControl>* out)
{
    out->reset();
    const GUID iid = ToWinGuid(guids::kKsControl);
    ComRef<ks::IKsControl> control;
    const HRESULT hr = filter_->QueryInterface(iid, control.ReceiveVoid());
    if (SUCCEEDED(hr) && control)
        *out = std::make_shared<DirectShowKsControl>(std::move(control));
    return HResult(hr);
}

}  // namespace norvik
