#pragma once
// The records of device discovery: the capture devices found by one run with
// their extension-unit nodes, the process-wide list they are kept in, the flat
// table the picker keeps between runs, and the context handed to the visitor
// of each connected USB port.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/CaptureStack.h"
#include "discovery/DeviceSetup.h"
#include "discovery/UsbHost.h"
#include "discovery/UsbStructures.h"
#include "runtime/Guid.h"

namespace norvik {

// Longest names kept, without the terminator (64- and 260-character fields).
constexpr std::size_t kFriendlyNameMaxChars = 63;
constexpr std::size_t kDisplayNameMaxChars = 259;

// One extension-unit node of a capture device's topology. The guid and unitId
// stay zero until a USB extension unit descriptor has been tied to the node.
struct ExtensionUnitInfo {
    Guid guid;
    std::uint32_t unitId = 0;
    std::uint32_t nodeId = 0;
    std::uint32_t matched = 0;
};

// One USB video capture device. Movable only: the control reference belongs
// to exactly one record, and moving the record hands it over.
struct CaptureDevice {
    std::wstring friendlyName;
    std::wstring displayName;
    std::uint32_t hasMatchedUnit = 0;
    std::uint32_t productId = 0;
    std::uint32_t vendorId = 0;
    std::shared_ptr<KsControl> control;
    std::uint32_t unitCount = 0;
    std::vector<ExtensionUnitInfo> units;
    DeviceAddress address;

    CaptureDevice() = default;
    CaptureDevice(CaptureDevice&&) = default;
    CaptureDevice& operator=(CaptureDevice&&) = default;
    CaptureDevice(const CaptureDevice&) = delete;
    CaptureDevice& operator=(const CaptureDevice&) = delete;
};

// The ordered list of capture devices of the latest run, in the order the
// system's enumerator returned them.
class DeviceList {
public:
    // Stores the record; its control reference passes to the stored copy.
    void Append(CaptureDevice&& device);
    std::size_t Size() const { return devices_.size(); }
    bool Empty() const { return devices_.empty(); }
    // nullptr when index is not below Size().
    CaptureDevice* At(std::size_t index);
    const CaptureDevice* At(std::size_t index) const;
    // Removes every device; control references still held are released.
    void Clear();

    std::vector<CaptureDevice>::iterator begin() { return devices_.begin(); }
    std::vector<CaptureDevice>::iterator end() { return devices_.end(); }
    std::vector<CaptureDevice>::const_iterator begin() const { return devices_.begin(); }
    std::vector<CaptureDevice>::const_iterator end() const { return devices_.end(); }

private:
    std::vector<CaptureDevice> devices_;
};

// The one list shared by the whole process; discovery runs started by the
// application fill it. Every operation also takes a list explicitly.
DeviceList& ProcessDeviceList();

// Empties every device's units, then removes every device.
void ClearDeviceList(DeviceList& devices);

// A device entry of the table: the device's names (NUL-terminated, cut to
// their field sizes), flags and IDs, and where its units start in the block.
struct DeviceTableEntry {
    wchar_t friendlyName[kFriendlyNameMaxChars + 1];
    wchar_t displayName[kDisplayNameMaxChars + 1];
    std::uint32_t hasMatchedUnit;
    std::uint32_t productId;
    std::uint32_t vendorId;
    std::uint32_t unitCount;
    const ExtensionUnitInfo* units;  // unitCount consecutive entries

    std::wstring_view FriendlyName() const { return friendlyName; }
    std::wstring_view DisplayName() const { return displayName; }
};

// A flat snapshot of a DeviceList in one allocation: deviceCount device
// entries, then every device's unit entries, device after device. It carries
// every device and unit, matched or not. The devices' addresses are kept
// beside the block.
class DeviceTable {
public:
    DeviceTable() = default;
    DeviceTable(DeviceTable&& other) noexcept;
    DeviceTable& operator=(DeviceTable&& other) noexcept;
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;

    std::uint32_t deviceCount = 0;

    // nullptr when the index is out of range.
    const DeviceTableEntry* Device(std::size_t device) const;
    const ExtensionUnitInfo* Unit(std::size_t device, std::size_t unit) const;
    const DeviceAddress* Address(std::size_t device) const;

    // Releases the block and sets deviceCount to 0.
    void Release();
    // Replaces the contents with a copy of the list. False, with the table
    // left empty, when the list is empty or the block cannot be allocated.
    bool Fill(const DeviceList& devices);

    // The block's size in bytes (0 when empty).
    std::size_t BlockSize() const { return blockSize_; }

private:
    std::unique_ptr<std::byte[]> block_;
    std::size_t blockSize_ = 0;
    std::vector<DeviceAddress> addresses_;
};

// One connected port of a hub, handed to the port visitor of the USB walk;
// valid only during that call.
struct UsbPortContext {
    usb::DeviceDescriptor deviceDescriptor;
    UsbDeviceHandle& hub;
    std::uint32_t port;
    DeviceList& devices;
};

}  // namespace norvik
