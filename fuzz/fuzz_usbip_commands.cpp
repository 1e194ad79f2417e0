// Feeds arbitrary bytes as the stream vhci-hcd sends to the kernel bench's
// emulated camera: 48-byte USB/IP commands, each followed by the bytes its
// header says follow it. Every command is decoded as the emulator decodes
// it, and every control transfer on endpoint 0 is answered by the emulated
// camera. A length no stream carries must be refused before anything is
// allocated for it; an answer never carries more than the request asked for.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "EmulatedCamera.h"
#include "UsbIpWire.h"

namespace {

using namespace norvik;
using namespace norvik::bench;

const char* kScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:fuzz",
    "friendlyName": "Fuzz Cam",
    "nodes": [{"type": "xu", "guid": "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}"}],
    "controls": {"{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}": {
      "1": {"length": 4, "value": "01 02 03 04"},
      "2": {"length": 2, "value": "AA BB", "getFail": "0x8007001F", "failTimes": 3},
      "3": {"length": 60, "text": "sixty bytes", "setFail": "0x80070015"},
      "4": {"length": 3, "fail": "0x80070057"}
    }}
  }],
  "usb": {"controllers": [{"index": 0, "hub": {"ports": 2, "children": {"1": {
    "idVendor": "0x2E7A", "idProduct": "0x0C41",
    "config": {"extensionUnits": [{"unitId": 4, "guid": "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}"}]}
  }}}}]}
})";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ScenarioLoad load = LoadScenarioText(kScenario, "fuzz.json");
    if (!load)
        std::abort();
    std::string error;
    auto camera = EmulatedCamera::FromScenario(*load.scenario, 0, error);
    if (!camera)
        std::abort();

    std::vector<std::uint8_t> following;
    while (size >= kUsbIpHeaderSize) {
        UsbIpHeaderBytes header;
        std::memcpy(header.data(), data, header.size());
        data += header.size();
        size -= header.size();
        const UsbIpCommand command = DecodeCommand(header);
        if (command.command != kUsbIpCmdSubmit)
            continue;
        const auto followingBytes = command.FollowingBytes(command.ep != 0);
        if (!followingBytes)
            return 0;  // refused: the emulator stops serving the stream
        // Nothing beyond what a stream to the camera can carry is ever
        // allocated for one command.
        if (*followingBytes > kUsbIpMaxOutData + std::size_t(kUsbIpMaxIsoPackets) * kUsbIpIsoDescriptorSize)
            std::abort();
        following.resize(*followingBytes);
        if (following.size() > size)
            return 0;  // the stream ends inside the command
        if (!following.empty())
            std::memcpy(following.data(), data, following.size());
        data += following.size();
        size -= following.size();
        if (command.ep != 0)
            continue;
        const SetupPacket setup = SetupPacket::FromBytes(command.setup.data());
        const std::vector<std::uint8_t> outData = command.OutData(following);
        if (outData.size() > following.size())
            std::abort();
        const ControlAnswer answer = camera->Control(setup, outData);
        if (answer.data.size() > setup.wLength)
            std::abort();
    }
    return 0;
}
