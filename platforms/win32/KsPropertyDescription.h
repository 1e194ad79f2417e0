#pragma once
// Reading what a kernel-streaming driver answers to a basic-support or
// default-values request on a property: the KSPROPERTY_DESCRIPTION (access
// flags, total size, value lists) and the KSPROPERTY_MEMBERSHEADER lists
// after it. Plain byte parsing, so that every layout a driver may give can
// be tested without one.

#include <cstddef>
#include <cstdint>

#include "runtime/ResultCodes.h"

namespace norvik::ks {

constexpr std::uint32_t kPropertyTypeBasicSupport = 0x00000200;
constexpr std::uint32_t kPropertyTypeDefaultValues = 0x00010000;

// KSPROPERTY_DESCRIPTION: AccessFlags, DescriptionSize, PropTypeSet (a
// 24-byte KSIDENTIFIER), MembersListCount, Reserved.
constexpr std::size_t kDescriptionSize = 40;
// KSPROPERTY_MEMBERSHEADER: MembersFlags, MembersSize, MembersCount, Flags.
constexpr std::size_t kMembersHeaderSize = 16;

constexpr std::uint32_t kMemberRanges = 1;
constexpr std::uint32_t kMemberSteppedRanges = 2;
constexpr std::uint32_t kMemberValues = 3;

struct PropertyDescription {
    std::uint32_t accessFlags = 0;
    std::uint32_t descriptionSize = 0;  // the description and every list after it
    std::uint32_t membersListCount = 0;
};

// The description at the start of an answer of size bytes; false when the
// answer is shorter than one.
bool ReadDescription(const std::uint8_t* answer, std::size_t size, PropertyDescription& description);

// The information byte the access flags stand for: GET supported (D0) and
// SET supported (D1). The driver's access flags say nothing of the other
// bits (automatic mode, autoupdate, asynchronous, commit state), so they
// stay 0.
std::uint8_t InfoFromAccessFlags(std::uint32_t accessFlags);

// The minimum (or the maximum) of a control of length bytes from a
// basic-support answer: the first members list must be a range list whose
// members hold the minimum's bytes, then the maximum's. Anything else (no
// list, stepped ranges, values, members too short for the length) has no
// range for this control: HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED).
HResult RangeFromBasicSupport(const std::uint8_t* answer, std::size_t size, std::uint32_t length,
                              bool maximum, std::uint8_t* out);

// The default of a control of length bytes from a default-values answer:
// the first members list must be a value list whose first member has at
// least length bytes, of which the first length are taken. A driver that
// gives no default this long answers without one:
// HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED).
HResult DefaultFromDefaultValues(const std::uint8_t* answer, std::size_t size, std::uint32_t length,
                                 std::uint8_t* out);

}  // namespace norvik::ks
