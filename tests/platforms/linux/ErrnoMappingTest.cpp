// The errno values the video node calls fail with, and what the operator is
// shown for each.

#include <gtest/gtest.h>

#include <cerrno>

#include "platforms/linux/ErrnoMapping.h"
#include "runtime/SystemErrorTexts.h"

namespace norvik {
namespace {

TEST(ErrnoMapping, EachFailureGetsTheLikeWindowsError)
{
    const struct {
        int error;
        std::uint32_t hresult;
    } cases[] = {
        {EIO, 0x8007001F},       {EPIPE, 0x8007001F},     {ENOENT, 0x80070490},    {EINVAL, 0x80070057},
        {ENODEV, 0x8007048F},    {EBUSY, 0x800700AA},     {EACCES, 0x80070005},    {EPERM, 0x80070005},
        {ETIMEDOUT, 0x80070079}, {ENOSPC, 0x8007007A},    {EOVERFLOW, 0x8007007A}, {ENOBUFS, 0x8007007A},
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

// The operator is shown the system's text of the code; a code without one
// would show a bare number.
TEST(ErrnoMapping, EveryCodeEitherMappingGivesHasASystemText)
{
    for (int error = 0; error < 200; ++error) {
        for (const HResult code : {HResultFromErrno(error), HResultFromCtrlQueryErrno(error)}) {
            if (code == hr::kOk)
                continue;
            EXPECT_TRUE(SystemErrorMessage(std::uint32_t(code), ErrorTextLanguage::English))
                << "errno " << error << " gives 0x" << std::hex << std::uint32_t(code);
        }
    }
}

// The camera's reasons become one code; the errors that are not the camera's
// keep theirs, whichever call they come from.
TEST(ErrnoMapping, CameraRefusalsAreOneCodeOnlyFromTheControlQuery)
{
    for (int error : {EBUSY, EACCES, EILSEQ, EREMOTE, ERANGE, EINVAL, EPIPE}) {
        EXPECT_EQ(std::uint32_t(HResultFromCtrlQueryErrno(error)), 0x8007001Fu) << "errno " << error;
        EXPECT_NE(CameraRefusalReason(error), nullptr) << "errno " << error;
    }
    // Opening a node: permission and a busy node keep their codes.
    EXPECT_EQ(std::uint32_t(HResultFromErrno(EACCES)), 0x80070005u);
    EXPECT_EQ(std::uint32_t(HResultFromErrno(EBUSY)), 0x800700AAu);
    for (int error : {EIO, ENOENT, ENODEV, ETIMEDOUT, ENOBUFS, EBADRQC, ENOMEM, 0}) {
        EXPECT_EQ(HResultFromCtrlQueryErrno(error), HResultFromErrno(error)) << "errno " << error;
        EXPECT_EQ(CameraRefusalReason(error), nullptr) << "errno " << error;
    }
    EXPECT_EQ(HResultFromErrno(ENOMEM), hr::kOutOfMemory);
}

}  // namespace
}  // namespace norvik
