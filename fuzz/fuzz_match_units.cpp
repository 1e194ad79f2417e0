// Arbitrary configuration descriptor bytes (their wTotalLength included)
// through the descriptor walk and the whole matching visit of a port: no read
// may leave the buffer, whatever the lengths claim.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "discovery/UnitMatching.h"
#include "discovery/UsbStructures.h"
#include "platforms/sim/FakeRuntime.h"

namespace {

using namespace norvik;

// Accepts a probe when the GUID's first byte is even, so both outcomes occur.
class ParityControl : public KsControl {
public:
    HResult KsProperty(const void* property, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override
    {
        const auto* set = static_cast<const std::uint8_t*>(property);
        return (set[0] & 1) == 0 ? hr::kOk : hr::kFail;
    }
};

// A hub whose device on port 1 holds exactly the given bytes as its
// configuration descriptor and answers like a device: what was asked, at most
// what it has.
class OneDeviceHub : public UsbDeviceHandle {
public:
    OneDeviceHub(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override
    {
        if (code != usb::kIoctlGetDescriptorFromNodeConnection || inSize < 12 || outSize < 12)
            return false;
        usb::DescriptorRequest request;
        std::memcpy(&request, in, sizeof request);
        std::size_t count = request.SetupPacket_.wLength;
        if (count > outSize - 12u)
            count = outSize - 12u;
        if (count > size_)
            count = size_;
        std::memmove(out, in, 12);
        if (count)
            std::memcpy(static_cast<std::uint8_t*>(out) + 12, bytes_, count);
        *bytesReturned = std::uint32_t(12 + count);
        return true;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
};

class NoHost : public UsbHost {
public:
    std::unique_ptr<UsbDeviceHandle> Open(const std::string&) override { return nullptr; }
    std::uint32_t LastError() override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy, so that a read one byte past the end is caught.
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(bytes.get(), data, size);
    const std::span<const std::uint8_t> config(bytes.get(), size);

    const std::size_t claimed = size >= 4 ? std::size_t(bytes[2] | bytes[3] << 8) : 0;
    const std::size_t end = claimed < size ? claimed : size;
    WalkExtensionUnitDescriptors(config, [&](const ExtensionUnitDescriptor& d) {
        const std::uint8_t length = bytes[d.offset];
        if (d.offset + length > end || length <= 25 || d.unitId != bytes[d.offset + 3])
            std::abort();
    });

    FakeRuntime runtime;
    NoHost host;
    DeviceList devices;
    CaptureDevice device;
    device.vendorId = 0x2E7A;
    device.productId = 0x0C41;
    device.control = std::make_shared<ParityControl>();
    for (std::uint32_t node = 0; node < 4; ++node) {
        ExtensionUnitInfo unit;
        unit.nodeId = node;
        device.units.push_back(unit);
    }
    device.unitCount = 4;
    devices.Append(std::move(device));

    // Straight through the matching of a configuration at hand...
    OneDeviceHub hub(bytes.get(), size);
    usb::DeviceDescriptor descriptor{};
    descriptor.idVendor = 0x2E7A;
    descriptor.idProduct = 0x0C41;
    const UsbPortContext context{descriptor, hub, 1, devices};
    MatchUnitsInConfiguration(runtime, context, *devices.At(0), config);

    // ...and through the two descriptor requests of a port visit.
    devices.At(0)->control = std::make_shared<ParityControl>();
    struct NullStack : CaptureStack {
        HResult CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>*) override { return hr::kFail; }
        HResult CreateBindContext(std::shared_ptr<BindContext>*) override { return hr::kFail; }
        HResult ParseDisplayName(BindContext&, const std::wstring&, std::shared_ptr<DeviceMoniker>*) override
        {
            return hr::kFail;
        }
    } stack;
    struct NullSetup : DeviceSetup {
        std::unique_ptr<DeviceInfoSet> CreateDeviceInfoList() override { return nullptr; }
        std::uint32_t LocationInformation(DevInst, std::wstring*, std::size_t) override { return 1; }
        std::uint32_t Parent(DevInst, DevInst*) override { return 1; }
    } setup;
    DiscoveryPorts ports{runtime, stack, host, setup};
    MatchUnitsOnPort(ports, context);

    for (const ExtensionUnitInfo& unit : devices.At(0)->units)
        if (unit.matched > 1 || (!unit.matched && (unit.unitId != 0 || !unit.guid.IsZero())))
            std::abort();
    return 0;
}
