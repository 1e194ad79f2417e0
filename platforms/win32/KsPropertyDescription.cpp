#include "platforms/win32/KsPropertyDescription.h"

#include <algorithm>
#include <cstring>

namespace norvik::ks {

namespace {

std::uint32_t ReadLe32(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

const HResult kNoSuchValue = HResultFromWin32(win32::kNotSupported);

struct MembersList {
    std::uint32_t membersFlags = 0;
    std::uint32_t membersSize = 0;
    std::uint32_t membersCount = 0;
    const std::uint8_t* members = nullptr;
    std::size_t available = 0;  // member bytes inside the answer
};

// The first members list, if the description announces one and the answer
// holds its header. Only the bytes inside both the answer and the
// description's own size count.
bool FirstMembersList(const std::uint8_t* answer, std::size_t size, MembersList& list)
{
    PropertyDescription description;
    if (!ReadDescription(answer, size, description) || description.membersListCount == 0)
        return false;
    const std::size_t end = std::min<std::size_t>(size, description.descriptionSize);
    if (end < kDescriptionSize + kMembersHeaderSize)
        return false;
    const std::uint8_t* header = answer + kDescriptionSize;
    list.membersFlags = ReadLe32(header);
    list.membersSize = ReadLe32(header + 4);
    list.membersCount = ReadLe32(header + 8);
    list.members = header + kMembersHeaderSize;
    const std::uint64_t announced = std::uint64_t(list.membersSize) * list.membersCount;
    list.available =
        std::size_t(std::min<std::uint64_t>(announced, end - kDescriptionSize - kMembersHeaderSize));
    return true;
}

}  // namespace

bool ReadDescription(const std::uint8_t* answer, std::size_t size, PropertyDescription& description)
{
    if (!answer || size < kDescriptionSize)
        return false;
    description.accessFlags = ReadLe32(answer);
    description.descriptionSize = ReadLe32(answer + 4);
    description.membersListCount = ReadLe32(answer + 32);
    return true;
}

std::uint8_t InfoFromAccessFlags(std::uint32_t accessFlags)
{
    constexpr std::uint32_t kGet = 0x00000001;
    constexpr std::uint32_t kSet = 0x00000002;
    return std::uint8_t(((accessFlags & kGet) ? 0x01 : 0) | ((accessFlags & kSet) ? 0x02 : 0));
}

HResult RangeFromBasicSupport(const std::uint8_t* answer, std::size_t size, std::uint32_t length,
                              bool maximum, std::uint8_t* out)
{
    MembersList list;
    if (length == 0 || !FirstMembersList(answer, size, list) || list.membersFlags != kMemberRanges ||
        list.available < 2 * std::size_t(length))
        return kNoSuchValue;
    std::memcpy(out, list.members + (maximum ? length : 0), length);
    return hr::kOk;
}

HResult DefaultFromDefaultValues(const std::uint8_t* answer, std::size_t size, std::uint32_t length,
                                 std::uint8_t* out)
{
    MembersList list;
    if (length == 0 || !FirstMembersList(answer, size, list) || list.membersFlags != kMemberValues ||
        list.membersCount == 0 || list.membersSize < length || list.available < length)
        return kNoSuchValue;
    std::memcpy(out, list.members, length);
    return hr::kOk;
}

}  // namespace norvik::ks
