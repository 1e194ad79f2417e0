#pragma once
// The one seam between the Linux capture stack and the video nodes: open,
// close, VIDIOC_QUERYCAP and UVCIOC_CTRL_QUERY. The system implementation
// makes the real calls; tests put in a fake that answers as the uvcvideo
// driver does, errors included. Every call reports a failure as minus the
// errno value, as the kernel itself does.

#include <cstdint>
#include <memory>
#include <string>

namespace norvik {

// UVC class-specific request codes used with CtrlQuery.
constexpr std::uint8_t kUvcSetCur = 0x01;
constexpr std::uint8_t kUvcGetCur = 0x81;
constexpr std::uint8_t kUvcGetMin = 0x82;
constexpr std::uint8_t kUvcGetMax = 0x83;
constexpr std::uint8_t kUvcGetRes = 0x84;
constexpr std::uint8_t kUvcGetLen = 0x85;
constexpr std::uint8_t kUvcGetInfo = 0x86;
constexpr std::uint8_t kUvcGetDef = 0x87;

// V4L2 capability bits used to tell a capture node from a metadata node.
constexpr std::uint32_t kV4l2CapVideoCapture = 0x00000001;
constexpr std::uint32_t kV4l2CapMetaCapture = 0x00800000;
constexpr std::uint32_t kV4l2CapDeviceCaps = 0x80000000;

// What VIDIOC_QUERYCAP tells about a video node.
struct VideoCapability {
    std::string driver;  // "uvcvideo"
    std::string card;    // the camera's product string, UTF-8
    std::string busInfo;
    std::uint32_t capabilities = 0;  // of the whole device
    std::uint32_t deviceCaps = 0;    // of this node, when kV4l2CapDeviceCaps is set

    std::uint32_t NodeCaps() const { return (capabilities & kV4l2CapDeviceCaps) ? deviceCaps : capabilities; }
};

class UvcIoctl {
public:
    virtual ~UvcIoctl() = default;
    // Opens a video node for reading and writing: a descriptor (>= 0), or
    // minus the errno value.
    virtual int Open(const std::string& path) = 0;
    virtual void Close(int fd) = 0;
    // VIDIOC_QUERYCAP: 0, or minus the errno value.
    virtual int QueryCapability(int fd, VideoCapability* capability) = 0;
    // UVCIOC_CTRL_QUERY with unit, selector, query (kUvcGetLen, kUvcGetCur,
    // kUvcSetCur, ...), the data buffer and its size: 0, or minus the errno
    // value.
    virtual int CtrlQuery(int fd, std::uint8_t unit, std::uint8_t selector, std::uint8_t query,
                          std::uint8_t* data, std::uint16_t size) = 0;
};

// open(2) and ioctl(2) on the real device nodes.
std::shared_ptr<UvcIoctl> MakeSystemUvcIoctl();

// One open video node; the destructor closes it.
class OpenVideoNode {
public:
    OpenVideoNode(std::shared_ptr<UvcIoctl> ioctl, int fd) : ioctl_(std::move(ioctl)), fd_(fd) {}
    ~OpenVideoNode()
    {
        if (fd_ >= 0)
            ioctl_->Close(fd_);
    }
    OpenVideoNode(const OpenVideoNode&) = delete;
    OpenVideoNode& operator=(const OpenVideoNode&) = delete;

    int Fd() const { return fd_; }
    UvcIoctl& Ioctl() const { return *ioctl_; }

private:
    std::shared_ptr<UvcIoctl> ioctl_;
    int fd_;
};

}  // namespace norvik
