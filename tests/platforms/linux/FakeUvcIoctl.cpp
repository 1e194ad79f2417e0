#include "FakeUvcIoctl.h"

#include <cerrno>
#include <cstring>

namespace norvik::test {

FakeVideoNode& FakeUvcIoctl::AddNode(const std::string& path, const std::string& card, bool capture)
{
    std::lock_guard<std::mutex> lock(mutex_);
    FakeVideoNode& node = nodes_[path];
    node.capability.driver = "uvcvideo";
    node.capability.card = card;
    node.capability.busInfo = "usb-0000:00:14.0-1";
    node.capability.capabilities = kV4l2CapVideoCapture | kV4l2CapMetaCapture | kV4l2CapDeviceCaps;
    node.capability.deviceCaps = capture ? kV4l2CapVideoCapture : kV4l2CapMetaCapture;
    return node;
}

FakeVideoNode& FakeUvcIoctl::Node(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return nodes_.at(path);
}

int FakeUvcIoctl::Open(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    opens_.push_back(path);
    auto it = nodes_.find(path);
    if (it == nodes_.end() || it->second.unplugged)
        return -ENOENT;
    if (it->second.openError != 0)
        return -it->second.openError;
    const int fd = nextFd_++;
    open_[fd] = path;
    return fd;
}

void FakeUvcIoctl::Close(int fd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(fd);
}

int FakeUvcIoctl::QueryCapability(int fd, VideoCapability* capability)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = open_.find(fd);
    if (it == open_.end())
        return -EBADF;
    const FakeVideoNode& node = nodes_.at(it->second);
    if (node.unplugged)
        return -ENODEV;
    *capability = node.capability;
    return 0;
}

int FakeUvcIoctl::CtrlQuery(int fd, std::uint8_t unit, std::uint8_t selector, std::uint8_t query,
                            std::uint8_t* data, std::uint16_t size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = open_.find(fd);
    if (it == open_.end())
        return -EBADF;
    queries_.push_back({it->second, unit, selector, query, size});
    FakeVideoNode& node = nodes_.at(it->second);
    if (node.unplugged)
        return -ENODEV;
    // The driver knows the controls it found on the camera; anything else
    // is ENOENT.
    auto unitIt = node.units.find(unit);
    if (unitIt == node.units.end())
        return -ENOENT;
    auto controlIt = unitIt->second.find(selector);
    if (controlIt == unitIt->second.end())
        return -ENOENT;
    FakeControl& control = controlIt->second;
    if (control.error != 0)
        return -control.error;
    // The buffer must have the size the query needs.
    std::size_t needed;
    switch (query) {
    case kUvcGetLen:
        needed = 2;
        break;
    case kUvcGetInfo:
        needed = 1;
        break;
    case kUvcGetCur:
    case kUvcSetCur:
    case kUvcGetMin:
    case kUvcGetMax:
    case kUvcGetRes:
    case kUvcGetDef:
        needed = control.value.size();
        break;
    default:
        return -EINVAL;
    }
    if (size != needed)
        return -ENOBUFS;
    if (const auto failing = control.queryErrors.find(query); failing != control.queryErrors.end())
        return -failing->second;
    if (query == kUvcGetInfo) {
        data[0] = control.info;
        return 0;
    }
    if (query != kUvcGetCur && query != kUvcSetCur && query != kUvcGetLen) {
        const auto answer = control.answers.find(query);
        if (answer == control.answers.end())
            return -EPIPE;
        std::memcpy(data, answer->second.data(), size);
        return 0;
    }
    if ((query == kUvcGetCur && !control.canGet) || (query == kUvcSetCur && !control.canSet))
        return -EBADRQC;
    switch (query) {
    case kUvcGetLen:
        data[0] = std::uint8_t(control.value.size() & 0xFF);
        data[1] = std::uint8_t(control.value.size() >> 8);
        break;
    case kUvcGetCur:
        std::memcpy(data, control.value.data(), size);
        break;
    default:
        std::memcpy(control.value.data(), data, size);
        break;
    }
    return 0;
}

std::vector<FakeQuery> FakeUvcIoctl::Queries() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return queries_;
}

std::vector<std::string> FakeUvcIoctl::Opens() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return opens_;
}

int FakeUvcIoctl::OpenDescriptors() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return int(open_.size());
}

}  // namespace norvik::test
