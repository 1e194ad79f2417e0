#include "platforms/sim/SimDeviceSetup.h"

#include <algorithm>
#include <optional>

#include "runtime/ResultCodes.h"

namespace norvik {

namespace {

// Configuration-manager result codes.
constexpr std::uint32_t kCrInvalidDevNode = 0x05;
constexpr std::uint32_t kCrNoSuchDevNode = 0x0D;
constexpr std::uint32_t kCrBufferSmall = 0x1A;
constexpr std::uint32_t kCrNoSuchValue = 0x25;

constexpr DevInst kLevelsPerCamera = 0x10000;

// A text fits a buffer of that many bytes with its terminator.
bool Fits(const std::wstring& text, std::size_t bufferBytes) { return (text.size() + 1) * 2 <= bufferBytes; }

const ScenarioSetup* SetupOf(const Scenario& scenario, DevInst node, std::size_t* level)
{
    const std::size_t camera = node / kLevelsPerCamera;
    if (camera < 1 || camera > scenario.cameras.size())
        return nullptr;
    const auto& setup = scenario.cameras[camera - 1].setup;
    if (!setup)
        return nullptr;
    *level = node % kLevelsPerCamera;
    return &*setup;
}

class SimDeviceInfoSet : public DeviceInfoSet {
public:
    explicit SimDeviceInfoSet(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {}

    bool OpenDeviceInterface(const std::wstring& devicePath) override
    {
        const auto& cameras = scenario_->cameras;
        for (std::size_t i = 0; i < cameras.size(); ++i) {
            if (cameras[i].devicePath && *cameras[i].devicePath == devicePath && cameras[i].setup &&
                cameras[i].setup->opens) {
                opened_ = i;
                return true;
            }
        }
        return false;
    }

    bool GetInterfaceDetail(DeviceInfoData* info) override
    {
        if (!opened_)
            return false;
        const ScenarioSetup& setup = *scenario_->cameras[*opened_].setup;
        if (setup.detailFails)
            return false;
        info->classGuid = setup.classGuid;
        info->devInst = SimDeviceSetup::NodeOf(*opened_, 0);
        return true;
    }

    bool ClassNameFromGuid(const Guid& classGuid, std::wstring* name, std::size_t bufferChars) override
    {
        return Answer(classGuid, &ScenarioSetup::className, name, bufferChars * 2);
    }

    bool ClassDescription(const Guid& classGuid, std::wstring* text, std::size_t bufferChars) override
    {
        return Answer(classGuid, &ScenarioSetup::classDescription, text, bufferChars * 2);
    }

    bool RegistryProperty(const DeviceInfoData& info, std::uint32_t property, std::wstring* value,
                          std::size_t bufferBytes) override
    {
        std::size_t level = 0;
        const ScenarioSetup* setup = SetupOf(*scenario_, info.devInst, &level);
        if (!setup || level != 0)
            return false;
        const std::optional<std::wstring>* text = nullptr;
        switch (property) {
        case spdrp::kDeviceDesc:
            text = &setup->deviceDesc;
            break;
        case spdrp::kService:
            text = &setup->service;
            break;
        case spdrp::kFriendlyName:
            text = &setup->friendlyName;
            break;
        case spdrp::kLocationPaths: {
            // A multi-string: every string with its terminator, then one more.
            if (!setup->locationPaths || setup->locationPaths->empty())
                return false;
            std::size_t units = 1;
            for (const std::wstring& path : *setup->locationPaths)
                units += path.size() + 1;
            if (units * 2 > bufferBytes)
                return false;
            *value = setup->locationPaths->front();
            return true;
        }
        default:
            return false;
        }
        if (!text->has_value() || !Fits(**text, bufferBytes))
            return false;
        *value = **text;
        return true;
    }

private:
    bool Answer(const Guid& classGuid, std::optional<std::wstring> ScenarioSetup::*member, std::wstring* out,
                std::size_t bufferBytes)
    {
        // Class texts belong to the class; the set knows them for the class of
        // the device it opened.
        if (!opened_)
            return false;
        const ScenarioSetup& setup = *scenario_->cameras[*opened_].setup;
        const std::optional<std::wstring>& text = setup.*member;
        if (classGuid != setup.classGuid || !text || !Fits(*text, bufferBytes))
            return false;
        *out = *text;
        return true;
    }

    std::shared_ptr<const Scenario> scenario_;
    std::optional<std::size_t> opened_;
};

}  // namespace

SimDeviceSetup::SimDeviceSetup(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {}

DevInst SimDeviceSetup::NodeOf(std::size_t camera, std::size_t level)
{
    return DevInst((camera + 1) * kLevelsPerCamera + level);
}

std::unique_ptr<DeviceInfoSet> SimDeviceSetup::CreateDeviceInfoList()
{
    if (scenario_->setupListFails)
        return nullptr;
    return std::make_unique<SimDeviceInfoSet>(scenario_);
}

std::uint32_t SimDeviceSetup::LocationInformation(DevInst node, std::wstring* text, std::size_t bufferBytes)
{
    std::size_t level = 0;
    const ScenarioSetup* setup = SetupOf(*scenario_, node, &level);
    if (!setup || level >= std::max<std::size_t>(setup->locations.size(), 1))
        return kCrInvalidDevNode;
    if (level >= setup->locations.size() || !setup->locations[level])
        return kCrNoSuchValue;
    const std::wstring& location = *setup->locations[level];
    if (!Fits(location, bufferBytes))
        return kCrBufferSmall;
    *text = location;
    return kCrSuccess;
}

std::uint32_t SimDeviceSetup::Parent(DevInst node, DevInst* parent)
{
    std::size_t level = 0;
    const ScenarioSetup* setup = SetupOf(*scenario_, node, &level);
    if (!setup || level + 1 >= setup->locations.size())
        return kCrNoSuchDevNode;
    *parent = node + 1;
    return kCrSuccess;
}

bool SimDeviceSetup::SerialNumber(DevInst node, std::wstring* serial)
{
    std::size_t level = 0;
    const ScenarioSetup* setup = SetupOf(*scenario_, node, &level);
    if (!setup || !setup->serial || level >= std::max<std::size_t>(setup->locations.size(), 1))
        return false;
    *serial = *setup->serial;
    return true;
}

}  // namespace norvik
