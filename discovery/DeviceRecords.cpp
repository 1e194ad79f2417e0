#include "discovery/DeviceRecords.h"

#include <algorithm>
#include <new>
#include <type_traits>

namespace norvik {

static_assert(std::is_trivially_copyable_v<DeviceTableEntry>);
static_assert(std::is_trivially_copyable_v<ExtensionUnitInfo>);
static_assert(sizeof(DeviceTableEntry) % alignof(ExtensionUnitInfo) == 0,
              "unit entries follow the device entries without padding");

void DeviceList::Append(CaptureDevice&& device) { devices_.push_back(std::move(device)); }

CaptureDevice* DeviceList::At(std::size_t index)
{
    return index < devices_.size() ? &devices_[index] : nullptr;
}

const CaptureDevice* DeviceList::At(std::size_t index) const
{
    return index < devices_.size() ? &devices_[index] : nullptr;
}

void DeviceList::Clear() { devices_.clear(); }

DeviceList& ProcessDeviceList()
{
    static DeviceList list;
    return list;
}

void ClearDeviceList(DeviceList& devices)
{
    for (CaptureDevice& device : devices) {
        device.units.clear();
        device.unitCount = 0;
    }
    // A device that no USB device was matched to still holds its control
    // reference; it is released with the record here.
    devices.Clear();
}

DeviceTable::DeviceTable(DeviceTable&& other) noexcept
    : deviceCount(other.deviceCount),
      block_(std::move(other.block_)),
      blockSize_(other.blockSize_),
      addresses_(std::move(other.addresses_))
{
    other.deviceCount = 0;
    other.blockSize_ = 0;
}

DeviceTable& DeviceTable::operator=(DeviceTable&& other) noexcept
{
    if (this != &other) {
        block_ = std::move(other.block_);
        deviceCount = other.deviceCount;
        blockSize_ = other.blockSize_;
        addresses_ = std::move(other.addresses_);
        other.addresses_.clear();
        other.deviceCount = 0;
        other.blockSize_ = 0;
    }
    return *this;
}

const DeviceTableEntry* DeviceTable::Device(std::size_t device) const
{
    if (!block_ || device >= deviceCount)
        return nullptr;
    return std::launder(reinterpret_cast<const DeviceTableEntry*>(block_.get())) + device;
}

const ExtensionUnitInfo* DeviceTable::Unit(std::size_t device, std::size_t unit) const
{
    const DeviceTableEntry* entry = Device(device);
    if (!entry || unit >= entry->unitCount)
        return nullptr;
    return entry->units + unit;
}

const DeviceAddress* DeviceTable::Address(std::size_t device) const
{
    if (!Device(device) || device >= addresses_.size())
        return nullptr;
    return &addresses_[device];
}

void DeviceTable::Release()
{
    block_.reset();
    addresses_.clear();
    blockSize_ = 0;
    deviceCount = 0;
}

namespace {

void CopyName(const std::wstring& from, wchar_t* to, std::size_t maxChars)
{
    const std::size_t n = std::min(from.size(), maxChars);
    std::copy_n(from.data(), n, to);
    std::fill(to + n, to + maxChars + 1, L'\0');
}

}  // namespace

bool DeviceTable::Fill(const DeviceList& devices)
{
    Release();
    if (devices.Empty())
        return false;

    std::size_t totalUnits = 0;
    for (const CaptureDevice& device : devices)
        totalUnits += device.units.size();
    const std::size_t size =
        devices.Size() * sizeof(DeviceTableEntry) + totalUnits * sizeof(ExtensionUnitInfo);
    std::unique_ptr<std::byte[]> block(new (std::nothrow) std::byte[size]);
    if (!block)
        return false;
    std::vector<DeviceAddress> addresses;
    try {
        addresses.reserve(devices.Size());
        for (const CaptureDevice& device : devices)
            addresses.push_back(device.address);
    } catch (const std::bad_alloc&) {
        return false;  // as for the block: the table stays empty
    }

    std::byte* const deviceArea = block.get();
    std::byte* const unitArea = deviceArea + devices.Size() * sizeof(DeviceTableEntry);
    ExtensionUnitInfo* nextUnit = nullptr;
    std::size_t unitIndex = 0;
    std::size_t deviceIndex = 0;
    for (const CaptureDevice& device : devices) {
        // The device's units start here; one without units refers to the place
        // where they would have started.
        nextUnit = reinterpret_cast<ExtensionUnitInfo*>(unitArea) + unitIndex;
        for (const ExtensionUnitInfo& unit : device.units)
            new (unitArea + (unitIndex++) * sizeof(ExtensionUnitInfo)) ExtensionUnitInfo(unit);

        auto* entry = new (deviceArea + (deviceIndex++) * sizeof(DeviceTableEntry)) DeviceTableEntry;
        CopyName(device.friendlyName, entry->friendlyName, kFriendlyNameMaxChars);
        CopyName(device.displayName, entry->displayName, kDisplayNameMaxChars);
        entry->hasMatchedUnit = device.hasMatchedUnit;
        entry->productId = device.productId;
        entry->vendorId = device.vendorId;
        entry->unitCount = std::uint32_t(device.units.size());
        entry->units = std::launder(nextUnit);
    }

    block_ = std::move(block);
    blockSize_ = size;
    addresses_ = std::move(addresses);
    deviceCount = std::uint32_t(devices.Size());
    return true;
}

}  // namespace norvik
