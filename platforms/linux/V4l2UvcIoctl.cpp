#include "platforms/linux/V4l2UvcIoctl.h"

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace norvik {

static_assert(kUvcSetCur == UVC_SET_CUR && kUvcGetCur == UVC_GET_CUR && kUvcGetLen == UVC_GET_LEN);
static_assert(kV4l2CapVideoCapture == V4L2_CAP_VIDEO_CAPTURE &&
              kV4l2CapMetaCapture == V4L2_CAP_META_CAPTURE && kV4l2CapDeviceCaps == V4L2_CAP_DEVICE_CAPS);

namespace {

int RetryingIoctl(int fd, unsigned long request, void* argument)
{
    for (;;) {
        if (::ioctl(fd, request, argument) == 0)
            return 0;
        if (errno != EINTR)
            return -errno;
    }
}

std::string FixedText(const __u8* field, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size));
}

class SystemUvcIoctl final : public UvcIoctl {
public:
    int Open(const std::string& path) override
    {
        for (;;) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd >= 0)
                return fd;
            if (errno != EINTR)
                return -errno;
        }
    }

    void Close(int fd) override { ::close(fd); }

    int QueryCapability(int fd, VideoCapability* capability) override
    {
        v4l2_capability raw;
        std::memset(&raw, 0, sizeof raw);
        if (const int result = RetryingIoctl(fd, VIDIOC_QUERYCAP, &raw); result != 0)
            return result;
        capability->driver = FixedText(raw.driver, sizeof raw.driver);
        capability->card = FixedText(raw.card, sizeof raw.card);
        capability->busInfo = FixedText(raw.bus_info, sizeof raw.bus_info);
        capability->capabilities = raw.capabilities;
        capability->deviceCaps = raw.device_caps;
        return 0;
    }

    int CtrlQuery(int fd, std::uint8_t unit, std::uint8_t selector, std::uint8_t query, std::uint8_t* data,
                  std::uint16_t size) override
    {
        uvc_xu_control_query request;
        std::memset(&request, 0, sizeof request);
        request.unit = unit;
        request.selector = selector;
        request.query = query;
        request.size = size;
        request.data = data;
        return RetryingIoctl(fd, UVCIOC_CTRL_QUERY, &request);
    }
};

}  // namespace

std::shared_ptr<UvcIoctl> MakeSystemUvcIoctl() { return std::make_shared<SystemUvcIoctl>(); }

}  // namespace norvik
