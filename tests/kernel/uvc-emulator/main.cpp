// norvik-uvc-emulator: presents a scenario's camera to the local kernel as a
// USB device on vhci-hcd. It makes a connected stream socket pair, hands one
// end to vhci-hcd through its sysfs attach file and answers the URBs that
// arrive on the other end. SIGUSR1 or SIGTERM unplugs the camera (the socket
// is shut down, and vhci-hcd disconnects the port).

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "EmulatedCamera.h"
#include "UsbIpWire.h"

namespace {

using namespace norvik;
using namespace norvik::bench;

constexpr int kUsbSpeedHigh = 3;
constexpr std::int32_t kStatusStall = -EPIPE;
constexpr std::int32_t kStatusUnlinked = -ECONNRESET;

volatile sig_atomic_t servedSocket = -1;

void Unplug(int)
{
    if (servedSocket >= 0)
        ::shutdown(servedSocket, SHUT_RDWR);
}

bool ReadFull(int fd, void* buffer, std::size_t size)
{
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool WriteFull(int fd, const void* buffer, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

struct Options {
    std::string scenario;
    std::size_t camera = 0;
    unsigned port = 0;
    std::string vhci = "/sys/devices/platform/vhci_hcd.0";
    bool trace = false;
    std::string stateDir;  // where the camera's descriptors and control values are written
};

void Usage()
{
    std::fprintf(stderr,
                 "usage: norvik-uvc-emulator --scenario FILE [--camera N] [--port P]\n"
                 "                           [--vhci DIR] [--state DIR] [--trace]\n");
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--scenario" && hasValue)
            options.scenario = argv[++i];
        else if (arg == "--camera" && hasValue)
            options.camera = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--port" && hasValue)
            options.port = unsigned(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--vhci" && hasValue)
            options.vhci = argv[++i];
        else if (arg == "--state" && hasValue)
            options.stateDir = argv[++i];
        else if (arg == "--trace")
            options.trace = true;
        else
            return false;
    }
    return !options.scenario.empty();
}

bool Attach(const Options& options, int kernelEnd, std::uint32_t devid)
{
    const std::string path = options.vhci + "/attach";
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        std::fprintf(stderr, "norvik-uvc-emulator: %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::fprintf(file, "%u %d %u %d", options.port, kernelEnd, devid, kUsbSpeedHigh);
    const bool written = std::fflush(file) == 0;
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "norvik-uvc-emulator: attach to vhci port %u refused: %s\n", options.port,
                     std::strerror(written ? errno : error));
        return false;
    }
    return true;
}

void WriteHexLine(FILE* file, const std::vector<std::uint8_t>& bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        std::fprintf(file, i == 0 ? "%02X" : " %02X", bytes[i]);
    std::fputc('\n', file);
}

// Replaces a file of the state directory as a whole, so that a reader never
// sees half of it.
void WriteStateFile(const Options& options, const char* name, const std::function<void(FILE*)>& write)
{
    if (options.stateDir.empty())
        return;
    const std::string path = options.stateDir + "/" + name;
    const std::string temporary = path + ".new";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (!file)
        return;
    write(file);
    if (std::fclose(file) == 0)
        std::rename(temporary.c_str(), path.c_str());
}

// "controls": one line per extension-unit control, "UNIT SELECTOR: HEX".
void WriteControls(const Options& options, const EmulatedCamera& camera)
{
    WriteStateFile(options, "controls", [&](FILE* file) {
        for (const auto& control : camera.Controls()) {
            std::fprintf(file, "%u %u: ", unsigned(control.unitId), unsigned(control.selector));
            WriteHexLine(file, control.value);
        }
    });
}

// "descriptors": the device descriptor and the configuration descriptor, as
// the kernel's sysfs descriptors file holds them.
void WriteDescriptors(const Options& options, const EmulatedCamera& camera)
{
    WriteStateFile(options, "descriptors", [&](FILE* file) {
        std::vector<std::uint8_t> bytes = camera.DeviceDescriptor();
        bytes.insert(bytes.end(), camera.ConfigurationDescriptor().begin(),
                     camera.ConfigurationDescriptor().end());
        WriteHexLine(file, bytes);
    });
}

void Trace(const Options& options, const UsbIpCommand& c, const ControlAnswer& answer)
{
    if (!options.trace)
        return;
    std::fprintf(stderr, "urb %u ep0 %02x %02x %04x %04x %04x -> %s %zu\n", c.seqnum, c.setup[0], c.setup[1],
                 unsigned(c.setup[2] | c.setup[3] << 8), unsigned(c.setup[4] | c.setup[5] << 8),
                 unsigned(c.setup[6] | c.setup[7] << 8), answer.stall ? "stall" : "ok", answer.data.size());
}

// Answers URBs until the socket closes. Endpoint 0 is answered at once (or
// after a control's delay); URBs to other endpoints (the video stream) stay
// pending until vhci-hcd unlinks them.
int Serve(const Options& options, EmulatedCamera& camera, int fd)
{
    std::set<std::uint32_t> pending;
    std::vector<std::uint8_t> following;
    for (;;) {
        UsbIpHeaderBytes header;
        if (!ReadFull(fd, header.data(), header.size()))
            return 0;
        const UsbIpCommand command = DecodeCommand(header);
        if (command.command == kUsbIpCmdUnlink) {
            const bool wasPending = pending.erase(command.unlinkSeqnum) > 0;
            const auto answer = EncodeRetUnlink(command.seqnum, wasPending ? kStatusUnlinked : 0);
            if (!WriteFull(fd, answer.data(), answer.size()))
                return 0;
            continue;
        }
        if (command.command != kUsbIpCmdSubmit) {
            std::fprintf(stderr, "norvik-uvc-emulator: unknown USB/IP command 0x%08x\n", command.command);
            return 1;
        }
        const auto followingBytes = command.FollowingBytes(command.ep != 0);
        if (!followingBytes) {
            std::fprintf(stderr,
                         "norvik-uvc-emulator: refused USB/IP command %u: %d bytes of data, %d packets\n",
                         command.seqnum, command.transferBufferLength, command.numberOfPackets);
            return 1;
        }
        following.resize(*followingBytes);
        if (!following.empty() && !ReadFull(fd, following.data(), following.size()))
            return 0;
        if (command.ep != 0) {
            pending.insert(command.seqnum);
            continue;
        }
        const SetupPacket setup = SetupPacket::FromBytes(command.setup.data());
        const std::vector<std::uint8_t> outData = command.OutData(following);
        ControlAnswer answer = camera.Control(setup, outData);
        Trace(options, command, answer);
        if (!answer.stall && setup.bmRequestType == 0x21 && setup.bRequest == uvcreq::kSetCur)
            WriteControls(options, camera);
        if (answer.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
        if (command.direction == kUsbIpDirIn &&
            answer.data.size() > std::size_t(std::max(0, command.transferBufferLength)))
            answer.data.resize(std::size_t(std::max(0, command.transferBufferLength)));
        std::int32_t status = 0;
        std::int32_t actual = 0;
        if (answer.stall) {
            status = kStatusStall;
            answer.data.clear();
        } else if (command.direction == kUsbIpDirIn) {
            actual = std::int32_t(answer.data.size());
        } else {
            actual = std::int32_t(outData.size());
            answer.data.clear();
        }
        const auto reply = EncodeRetSubmit(command.seqnum, status, actual);
        if (!WriteFull(fd, reply.data(), reply.size()))
            return 0;
        if (!answer.data.empty() && !WriteFull(fd, answer.data.data(), answer.data.size()))
            return 0;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    const ScenarioLoad load = LoadScenarioFile(options.scenario);
    if (!load) {
        std::fprintf(stderr, "%s\n", load.error.c_str());
        return 2;
    }
    std::string error;
    auto camera = EmulatedCamera::FromScenario(*load.scenario, options.camera, error);
    if (!camera) {
        std::fprintf(stderr, "norvik-uvc-emulator: %s\n", error.c_str());
        return 2;
    }

    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        std::fprintf(stderr, "norvik-uvc-emulator: socketpair: %s\n", std::strerror(errno));
        return 1;
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = Unplug;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    servedSocket = ends[1];

    WriteDescriptors(options, *camera);
    WriteControls(options, *camera);

    // Bus 1, device 2: any value will do, vhci-hcd only hands it back.
    const std::uint32_t devid = (1u << 16) | 2u;
    if (!Attach(options, ends[0], devid))
        return 1;
    // vhci-hcd holds its own reference to its end now.
    ::close(ends[0]);
    std::printf("norvik-uvc-emulator: %04X:%04X attached to vhci port %u\n", camera->VendorId(),
                camera->ProductId(), options.port);
    std::fflush(stdout);

    const int status = Serve(options, *camera, ends[1]);
    servedSocket = -1;
    ::close(ends[1]);
    std::printf("norvik-uvc-emulator: unplugged\n");
    return status;
}
