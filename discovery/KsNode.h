#pragma once
// KSP_NODE: the 32-byte node-addressed property identifier of a
// kernel-streaming request, laid out byte for byte as the driver reads it.

#include <cstdint>

#include "runtime/Guid.h"

namespace norvik {

constexpr std::uint32_t kKsPropertyTypeGet = 0x00000001;
constexpr std::uint32_t kKsPropertyTypeSet = 0x00000002;
constexpr std::uint32_t kKsPropertyTypeTopology = 0x10000000;

#pragma pack(push, 1)
struct KsNodeProperty {
    std::uint8_t set[16];    // Property.Set, the XU GUID in its in-memory layout
    std::uint32_t id;        // Property.Id, the control selector (0: unit info)
    std::uint32_t flags;     // Property.Flags
    std::uint32_t nodeId;    // NodeId
    std::uint32_t reserved;  // always 0
};
#pragma pack(pop)
static_assert(sizeof(KsNodeProperty) == 32);

inline KsNodeProperty MakeKsNodeProperty(const Guid& set, std::uint32_t id, bool isSet, std::uint32_t nodeId)
{
    KsNodeProperty p{};
    for (int i = 0; i < 16; ++i)
        p.set[i] = set.bytes[i];
    p.id = id;
    p.flags = kKsPropertyTypeTopology | (isSet ? kKsPropertyTypeSet : kKsPropertyTypeGet);
    p.nodeId = nodeId;
    p.reserved = 0;
    return p;
}

}  // namespace norvik
