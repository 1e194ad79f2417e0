// The errno values the video node calls fail with, and what the operator is
// shown for each.

#include <gtest/gtest.h>

#include <cerrno>

#include "platforms/linux/ErrnoMapping.h"

namespace norvik {
namespace {

TEST(ErrnoMapping, EachFailureGetsTheLikeWindowsError)
{
    const struct {
        int error;
        std::uint32_t hresult;
    } cases[] = {
        {EIO, 0x8007001F},       {EPIPE, 0x8007001F},     {ENOENT, 0x80070490},
        {EINVAL, 0x80070057},    {ENODEV, 0x8007048F},    {EBUSY, 0x800700AA},
        {EACCES, 0x80070005},    {EPERM, 0x80070005},     {ETIMEDOUT, 0x80070079},
        {ENOSPC, 0x8007007A},    {EOVERFLOW, 0x8007007A}, {ENOBUFS, 0x8007007A},
        {EBADRQC, 0x80070032},   {ESHUTDOWN, 0x8007048F},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::uint32_t(HResultFromErrno(c.error)), c.hresult) << "errno " << c.error;
}

TEST(ErrnoMapping, UnknownErrnoIsEFailAndZeroIsSuccess)
{
    EXPECT_EQ(HResultFromErrno(0), hr::kOk);
    EXPECT_EQ(HResultFromErrno(EXDEV), hr::kFail);
    EXPECT_EQ(HResultFromErrno(-1), hr::kFail);
}

}  // namespace
}  // namespace norvik
