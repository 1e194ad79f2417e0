// Builds a complete, valid USB Video Class 1.0 configuration descriptor
// around a list of extension units, the way a simple camera declares itself.

#include <algorithm>
#include <array>

#include "platforms/sim/Scenario.h"

namespace norvik {

namespace {

constexpr std::uint8_t kCsInterface = 0x24;

class Bytes {
public:
    void U8(std::uint8_t v) { data.push_back(v); }
    void U16(std::uint16_t v)
    {
        U8(std::uint8_t(v & 0xFF));
        U8(std::uint8_t(v >> 8));
    }
    void U32(std::uint32_t v)
    {
        U16(std::uint16_t(v & 0xFFFF));
        U16(std::uint16_t(v >> 16));
    }
    void Append(const std::vector<std::uint8_t>& more) { data.insert(data.end(), more.begin(), more.end()); }
    void PatchU16(std::size_t at, std::uint16_t v)
    {
        data[at] = std::uint8_t(v & 0xFF);
        data[at + 1] = std::uint8_t(v >> 8);
    }
    std::size_t Size() const { return data.size(); }
    std::vector<std::uint8_t> data;
};

// Picks terminal and unit IDs the extension units do not use.
std::uint8_t FreeId(std::array<bool, 256>& used)
{
    for (int id = 1; id < 256; ++id) {
        if (!used[std::size_t(id)]) {
            used[std::size_t(id)] = true;
            return std::uint8_t(id);
        }
    }
    return 0;
}

}  // namespace

std::vector<std::uint8_t> BuildUvcConfiguration(const std::vector<ScenarioExtensionUnit>& units,
                                                const std::vector<std::uint8_t>& extra)
{
    std::array<bool, 256> used{};
    for (const ScenarioExtensionUnit& unit : units)
        used[unit.unitId] = true;
    const std::uint8_t cameraId = FreeId(used);
    const std::uint8_t processingId = FreeId(used);
    const std::uint8_t outputId = FreeId(used);
    if (cameraId == 0 || processingId == 0 || outputId == 0)
        return {};

    Bytes b;
    // One descriptor a line, field by field, as the class lays them out.
    // clang-format off
    // Configuration: two interfaces, bus powered, 500 mA.
    b.U8(9); b.U8(0x02); b.U16(0); b.U8(2); b.U8(1); b.U8(0); b.U8(0x80); b.U8(0xFA);
    // Interface association: video interface collection of interfaces 0 and 1.
    b.U8(8); b.U8(0x0B); b.U8(0); b.U8(2); b.U8(0x0E); b.U8(0x03); b.U8(0x00); b.U8(0);
    // Standard VideoControl interface.
    b.U8(9); b.U8(0x04); b.U8(0); b.U8(0); b.U8(0); b.U8(0x0E); b.U8(0x01); b.U8(0x00); b.U8(0);

    // Class-specific VideoControl descriptors; the header counts them all.
    const std::size_t vcStart = b.Size();
    b.U8(13); b.U8(kCsInterface); b.U8(0x01); b.U16(0x0100); b.U16(0); b.U32(48000000);
    b.U8(1); b.U8(1);
    // Camera terminal with three bytes of controls.
    b.U8(18); b.U8(kCsInterface); b.U8(0x02); b.U8(cameraId); b.U16(0x0201); b.U8(0); b.U8(0);
    b.U16(0); b.U16(0); b.U16(0); b.U8(3); b.U8(0x0A); b.U8(0x00); b.U8(0x00);
    // Processing unit with two bytes of controls.
    b.U8(11); b.U8(kCsInterface); b.U8(0x05); b.U8(processingId); b.U8(cameraId); b.U16(0);
    b.U8(2); b.U8(0x5B); b.U8(0x17); b.U8(0);
    // The extension units, chained one after another behind the processing unit.
    std::uint8_t previous = processingId;
    for (const ScenarioExtensionUnit& unit : units) {
        const std::size_t length = 24u + unit.inPins + unit.controlSize;
        if (length > 255)
            return {};
        b.U8(std::uint8_t(length)); b.U8(kCsInterface); b.U8(0x06); b.U8(unit.unitId);
        for (std::uint8_t byte : unit.guid.bytes)
            b.U8(byte);
        b.U8(unit.numControls);
        b.U8(unit.inPins);
        for (int pin = 0; pin < unit.inPins; ++pin)
            b.U8(pin == 0 ? previous : cameraId);
        b.U8(unit.controlSize);
        for (int i = 0; i < unit.controlSize; ++i)
            b.U8(std::size_t(i) < unit.bmControls.size() ? unit.bmControls[std::size_t(i)] : 0);
        b.U8(0);
        previous = unit.unitId;
    }
    // Output terminal: USB streaming.
    b.U8(9); b.U8(kCsInterface); b.U8(0x03); b.U8(outputId); b.U16(0x0101); b.U8(0); b.U8(previous);
    b.U8(0);
    b.PatchU16(vcStart + 5, std::uint16_t(b.Size() - vcStart));

    // Standard VideoStreaming interface, alternate setting 0 (no bandwidth).
    b.U8(9); b.U8(0x04); b.U8(1); b.U8(0); b.U8(0); b.U8(0x0E); b.U8(0x02); b.U8(0x00); b.U8(0);
    const std::size_t vsStart = b.Size();
    // Input header: one format, endpoint 0x81, linked to the output terminal.
    b.U8(14); b.U8(kCsInterface); b.U8(0x01); b.U8(1); b.U16(0); b.U8(0x81); b.U8(0);
    b.U8(outputId); b.U8(0); b.U8(0); b.U8(0); b.U8(1); b.U8(0);
    // MJPEG format (subtype 0x06, like an extension unit, but 11 bytes long).
    b.U8(11); b.U8(kCsInterface); b.U8(0x06); b.U8(1); b.U8(1); b.U8(0x01); b.U8(1); b.U8(0);
    b.U8(0); b.U8(0); b.U8(0);
    // MJPEG frame: 1280 x 720 at 30 frames per second.
    b.U8(30); b.U8(kCsInterface); b.U8(0x07); b.U8(1); b.U8(0); b.U16(1280); b.U16(720);
    b.U32(1280u * 720u * 16u * 5u); b.U32(1280u * 720u * 16u * 30u); b.U32(1280u * 720u * 2u);
    b.U32(333333); b.U8(1); b.U32(333333);
    b.PatchU16(vsStart + 4, std::uint16_t(b.Size() - vsStart));
    // Alternate setting 1 with its isochronous endpoint.
    b.U8(9); b.U8(0x04); b.U8(1); b.U8(1); b.U8(1); b.U8(0x0E); b.U8(0x02); b.U8(0x00); b.U8(0);
    b.U8(7); b.U8(0x05); b.U8(0x81); b.U8(0x05); b.U16(0x1400); b.U8(1);
    // clang-format on

    b.Append(extra);
    if (b.Size() > 0xFFFF)
        return {};
    b.PatchU16(2, std::uint16_t(b.Size()));
    return std::move(b.data);
}

}  // namespace norvik
