#pragma once
// A stand-in for the video nodes of the uvcvideo driver: cameras by node
// path, their extension-unit controls, and the answers (errors included)
// that the driver gives to open, VIDIOC_QUERYCAP and UVCIOC_CTRL_QUERY.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platforms/linux/V4l2UvcIoctl.h"

namespace norvik::test {

struct FakeControl {
    std::vector<std::uint8_t> value;  // its size is the control's length
    bool canGet = true;
    bool canSet = true;
    int error = 0;             // when set, every request on the control fails with it
    std::uint8_t info = 0x03;  // what GET_INFO answers
    // What GET_MIN, GET_MAX, GET_RES and GET_DEF answer, by request code
    // (each the control's length); a code not here stalls (EPIPE).
    std::map<std::uint8_t, std::vector<std::uint8_t>> answers;
    // A request code that fails with this errno value.
    std::map<std::uint8_t, int> queryErrors;
};

struct FakeVideoNode {
    VideoCapability capability;
    // unit ID -> selector -> control
    std::map<std::uint8_t, std::map<std::uint8_t, FakeControl>> units;
    int openError = 0;       // e.g. EACCES for a node the user may not open
    bool unplugged = false;  // open: ENOENT; requests on open descriptors: ENODEV
};

struct FakeQuery {
    std::string path;
    std::uint8_t unit;
    std::uint8_t selector;
    std::uint8_t query;
    std::uint16_t size;
};

class FakeUvcIoctl : public UvcIoctl {
public:
    // A uvcvideo capture node (or a metadata node when capture is false).
    FakeVideoNode& AddNode(const std::string& path, const std::string& card, bool capture = true);
    FakeVideoNode& Node(const std::string& path);

    int Open(const std::string& path) override;
    void Close(int fd) override;
    int QueryCapability(int fd, VideoCapability* capability) override;
    int CtrlQuery(int fd, std::uint8_t unit, std::uint8_t selector, std::uint8_t query, std::uint8_t* data,
                  std::uint16_t size) override;

    std::vector<FakeQuery> Queries() const;
    std::vector<std::string> Opens() const;
    int OpenDescriptors() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, FakeVideoNode> nodes_;
    std::map<int, std::string> open_;
    int nextFd_ = 3;
    std::vector<FakeQuery> queries_;
    std::vector<std::string> opens_;
};

}  // namespace norvik::test
