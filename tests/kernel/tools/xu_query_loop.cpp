// norvik-xu-query-loop: the driver's own cost of an extension-unit control
// read, without Norvik in between. It opens a video node and sends the same
// UVCIOC_CTRL_QUERY GET_CUR a number of times, timing the loop.
//
//   norvik-xu-query-loop DEVICE UNIT SELECTOR COUNT
//       prints: COUNT requests in T us, P us per request
//   norvik-xu-query-loop --now
//       prints the monotonic clock in microseconds (to time other commands)

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

long long NowMicroseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int Query(int fd, unsigned unit, unsigned selector, unsigned query, std::uint8_t* data, std::uint16_t size)
{
    uvc_xu_control_query request;
    std::memset(&request, 0, sizeof request);
    request.unit = std::uint8_t(unit);
    request.selector = std::uint8_t(selector);
    request.query = std::uint8_t(query);
    request.size = size;
    request.data = data;
    return ::ioctl(fd, UVCIOC_CTRL_QUERY, &request) == 0 ? 0 : errno;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--now") {
        std::printf("%lld\n", NowMicroseconds());
        return 0;
    }
    if (argc != 5) {
        std::fprintf(stderr, "usage: norvik-xu-query-loop DEVICE UNIT SELECTOR COUNT | --now\n");
        return 2;
    }
    const unsigned unit = unsigned(std::strtoul(argv[2], nullptr, 10));
    const unsigned selector = unsigned(std::strtoul(argv[3], nullptr, 10));
    const long count = std::strtol(argv[4], nullptr, 10);
    const int fd = ::open(argv[1], O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "norvik-xu-query-loop: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    std::uint8_t lengthBytes[2] = {};
    if (const int error = Query(fd, unit, selector, UVC_GET_LEN, lengthBytes, 2)) {
        std::fprintf(stderr, "norvik-xu-query-loop: GET_LEN: %s\n", std::strerror(error));
        return 1;
    }
    const std::uint16_t length = std::uint16_t(lengthBytes[0] | lengthBytes[1] << 8);
    std::vector<std::uint8_t> value(length);
    const long long start = NowMicroseconds();
    for (long i = 0; i < count; ++i) {
        if (const int error = Query(fd, unit, selector, UVC_GET_CUR, value.data(), length)) {
            std::fprintf(stderr, "norvik-xu-query-loop: GET_CUR: %s\n", std::strerror(error));
            return 1;
        }
    }
    const long long elapsed = NowMicroseconds() - start;
    ::close(fd);
    std::printf("%ld requests in %lld us, %.1f us per request\n", count, elapsed,
                count > 0 ? double(elapsed) / double(count) : 0.0);
    return 0;
}
