#include "platforms/win32/DirectShowFilter.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "discovery/KsNode.h"
#include "platforms/win32/KsPropertyDescription.h"
#include "platforms/win32/Win32Guid.h"

namespace norvik {

DirectShowKsControl::DirectShowKsControl(ComRef<ks::IKsControl> control) : control_(std::move(control)) {}

HResult DirectShowKsControl::KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                                        std::uint32_t dataLength, std::uint32_t* bytesReturned)
{
    ULONG returned = 0;
    const HRESULT hr =
        control_->KsProperty(const_cast<void*>(property), propertyLength, data, dataLength, &returned);
    if (bytesReturned)
        *bytesReturned = returned;
    return HResult(hr);
}

namespace {

// The largest answer asked for: a description, one list header and a range
// of two values of the longest control.
constexpr std::uint32_t kLargestDescription =
    std::uint32_t(ks::kDescriptionSize + ks::kMembersHeaderSize + 2 * 0xFFFF);

}  // namespace

HResult DirectShowKsControl::Describe(const void* property, std::uint32_t propertyLength, std::uint32_t type,
                                      bool whole, std::vector<std::uint8_t>& answer)
{
    // The same KSP_NODE with the request type in place of GET.
    std::vector<std::uint8_t> request(static_cast<const std::uint8_t*>(property),
                                      static_cast<const std::uint8_t*>(property) + propertyLength);
    const std::uint32_t flags = kKsPropertyTypeTopology | type;
    std::memcpy(request.data() + offsetof(KsNodeProperty, flags), &flags, sizeof flags);

    answer.assign(ks::kDescriptionSize, 0);
    ULONG returned = 0;
    HRESULT hr =
        control_->KsProperty(request.data(), propertyLength, answer.data(), ULONG(answer.size()), &returned);
    ks::PropertyDescription description;
    std::uint32_t needed = 0;
    if (SUCCEEDED(hr) &&
        ks::ReadDescription(answer.data(), std::min<std::size_t>(returned, answer.size()), description))
        needed = description.descriptionSize;
    else if (hr == HRESULT_FROM_WIN32(ERROR_MORE_DATA) && returned > answer.size())
        needed = returned;  // a driver that wants the whole answer at once says how much
    else if (FAILED(hr))
        return HResult(hr);
    if ((whole || FAILED(hr)) && needed > answer.size() && needed <= kLargestDescription) {
        answer.assign(needed, 0);
        returned = 0;
        hr = control_->KsProperty(request.data(), propertyLength, answer.data(), ULONG(answer.size()),
                                  &returned);
        if (FAILED(hr))
            return HResult(hr);
    }
    if (FAILED(hr))
        return HResult(hr);
    answer.resize(std::min<std::size_t>(returned, answer.size()));
    return HResult(hr);
}

HResult DirectShowKsControl::KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength,
                                     void* data, std::uint32_t dataLength, std::uint32_t* bytesReturned)
{
    if (bytesReturned)
        *bytesReturned = 0;
    if (!property || propertyLength < sizeof(KsNodeProperty))
        return HResultFromWin32(win32::kInvalidParameter);
    // The class driver reports ranges only, never a stepping: no request
    // answers the resolution, so it is not available, with the code
    // Windows gives for a request it does not support.
    if (kind == ControlQuery::Res)
        return HResultFromWin32(win32::kNotSupported);
    if (dataLength == 0 || !data) {
        if (kind != ControlQuery::Info)
            return HResultFromWin32(win32::kInvalidParameter);
        if (bytesReturned)
            *bytesReturned = 1;
        return HResultFromWin32(win32::kMoreData);
    }
    std::uint8_t* out = static_cast<std::uint8_t*>(data);
    std::vector<std::uint8_t> answer;
    const std::uint32_t type =
        kind == ControlQuery::Def ? ks::kPropertyTypeDefaultValues : ks::kPropertyTypeBasicSupport;
    // The access flags are in the description itself; a range or default
    // needs the lists after it.
    const HResult asked = Describe(property, propertyLength, type, kind != ControlQuery::Info, answer);
    if (Failed(asked))
        return asked;

    HResult result = hr::kOk;
    std::uint32_t count = dataLength;
    switch (kind) {
    case ControlQuery::Info: {
        ks::PropertyDescription description;
        // A driver that answered with less than a description gave no flags.
        if (!ks::ReadDescription(answer.data(), answer.size(), description))
            return HResultFromWin32(win32::kNotSupported);
        out[0] = ks::InfoFromAccessFlags(description.accessFlags);
        count = 1;
        break;
    }
    case ControlQuery::Min:
    case ControlQuery::Max:
        result = ks::RangeFromBasicSupport(answer.data(), answer.size(), dataLength,
                                           kind == ControlQuery::Max, out);
        break;
    default:
        result = ks::DefaultFromDefaultValues(answer.data(), answer.size(), dataLength, out);
        break;
    }
    if (Succeeded(result) && bytesReturned)
        *bytesReturned = count;
    return result;
}

DirectShowTopology::DirectShowTopology(ComRef<ks::IKsTopologyInfo> topology) : topology_(std::move(topology))
{
}

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
