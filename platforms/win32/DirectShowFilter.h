#pragma once
// The capture filter of a device and its two kernel-streaming interfaces,
// each wrapped around the COM reference it was given. They answer with the
// HRESULT of the call behind them. Kept apart from the device enumeration so
// that they can be driven by any object with these interfaces.

#include <vector>

#include "discovery/CaptureStack.h"
#include "platforms/win32/ComRef.h"
#include "platforms/win32/KsInterfaces.h"

namespace norvik {

// IKsControl::KsProperty, with the byte count copied out.
class DirectShowKsControl final : public KsControl {
public:
    explicit DirectShowKsControl(ComRef<ks::IKsControl> control);

    HResult KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                       std::uint32_t dataLength, std::uint32_t* bytesReturned) override;
    // What the USB video class driver offers on an extension unit's
    // property: INFO from the basic-support access flags, MIN and MAX from
    // its range list, DEF from the default values. RES has no request.
    HResult KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength, void* data,
                    std::uint32_t dataLength, std::uint32_t* bytesReturned) override;

private:
    // The property's basic-support or default-values answer: its
    // description, and when whole, asked again for the size it gives.
    HResult Describe(const void* property, std::uint32_t propertyLength, std::uint32_t type, bool whole,
                     std::vector<std::uint8_t>& answer);

    ComRef<ks::IKsControl> control_;
};

// IKsTopologyInfo: the node count and node types.
class DirectShowTopology final : public KsTopologyInfo {
public:
    explicit DirectShowTopology(ComRef<ks::IKsTopologyInfo> topology);

    HResult GetNumNodes(std::uint32_t* count) override;
    HResult GetNodeType(std::uint32_t index, Guid* type) override;

private:
    ComRef<ks::IKsTopologyInfo> topology_;
};

// The filter object a device moniker binds to, asked for the two
// interfaces with QueryInterface.
class DirectShowFilter final : public CaptureFilter {
public:
    explicit DirectShowFilter(ComRef<IUnknown> filter);

    HResult QueryTopologyInfo(std::shared_ptr<KsTopologyInfo>* out) override;
    HResult QueryKsControl(std::shared_ptr<KsControl>* out) override;

private:
    ComRef<IUnknown> filter_;
};

}  // namespace norvik
