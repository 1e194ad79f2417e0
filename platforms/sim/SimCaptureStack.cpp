#include "platforms/sim/SimCaptureStack.h"

namespace norvik {

namespace {

constexpr HResult kClassNotRegistered = HResult(0x80040154u);  // REGDB_E_CLASSNOTREG
constexpr HResult kMonikerSyntax = HResult(0x800401E4u);       // MK_E_SYNTAX
const HResult kPropertyMissing = HResultFromWin32(win32::kFileNotFound);

class SimPropertyBag : public PropertyBag {
public:
    explicit SimPropertyBag(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}
    HResult Read(const std::wstring& name, std::wstring* value) override
    {
        const ScenarioCamera& spec = camera_->Spec();
        const std::optional<std::wstring>* property = nullptr;
        if (name == L"FriendlyName")
            property = &spec.friendlyName;
        else if (name == L"DevicePath")
            property = &spec.devicePath;
        if (!property || !property->has_value())
            return kPropertyMissing;
        *value = **property;
        return hr::kOk;
    }

private:
    std::shared_ptr<SimCamera> camera_;
};

class SimTopologyInfo : public KsTopologyInfo {
public:
    explicit SimTopologyInfo(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}
    HResult GetNumNodes(std::uint32_t* count) override
    {
        if (camera_->Spec().nodeCountFails)
            return hr::kFail;
        *count = std::uint32_t(camera_->Spec().nodes.size());
        return hr::kOk;
    }
    HResult GetNodeType(std::uint32_t index, Guid* type) override
    {
        const auto& nodes = camera_->Spec().nodes;
        if (index >= nodes.size())
            return hr::kInvalidArg;
        if (nodes[index].typeFails)
            return hr::kFail;
        *type = nodes[index].type;
        return hr::kOk;
    }

private:
    std::shared_ptr<SimCamera> camera_;
};

class SimFilter : public CaptureFilter {
public:
    explicit SimFilter(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}
    HResult QueryTopologyInfo(std::shared_ptr<KsTopologyInfo>* out) override
    {
        out->reset();
        if (!camera_->Spec().topologyInfo)
            return hr::kNoInterface;
        *out = std::make_shared<SimTopologyInfo>(camera_);
        return hr::kOk;
    }
    HResult QueryKsControl(std::shared_ptr<KsControl>* out) override
    {
        out->reset();
        if (!camera_->Spec().ksControl)
            return hr::kNoInterface;
        *out = std::make_shared<SimKsControl>(camera_);
        return hr::kOk;
    }

private:
    std::shared_ptr<SimCamera> camera_;
};

class SimMoniker : public DeviceMoniker {
public:
    explicit SimMoniker(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}
    HResult GetDisplayName(std::wstring* name) override
    {
        if (camera_->Spec().displayNameFails)
            return hr::kFail;
        *name = camera_->Spec().displayName;
        return hr::kOk;
    }
    HResult BindToStorage(std::shared_ptr<PropertyBag>* out) override
    {
        out->reset();
        if (!camera_->Spec().propertyBag)
            return hr::kFail;
        *out = std::make_shared<SimPropertyBag>(camera_);
        return hr::kOk;
    }
    HResult BindToObject(std::shared_ptr<CaptureFilter>* out) override
    {
        out->reset();
        if (!camera_->Spec().binds)
            return hr::kFail;
        *out = std::make_shared<SimFilter>(camera_);
        return hr::kOk;
    }

private:
    std::shared_ptr<SimCamera> camera_;
};

class SimMonikerEnumerator : public MonikerEnumerator {
public:
    explicit SimMonikerEnumerator(std::vector<std::shared_ptr<SimCamera>> cameras)
        : cameras_(std::move(cameras))
    {
    }
    HResult Reset() override
    {
        next_ = 0;
        return hr::kOk;
    }
    HResult Next(std::shared_ptr<DeviceMoniker>* out) override
    {
        if (next_ >= cameras_.size()) {
            out->reset();
            return hr::kFalse;
        }
        *out = MakeSimMoniker(cameras_[next_++]);
        return hr::kOk;
    }

private:
    std::vector<std::shared_ptr<SimCamera>> cameras_;
    std::size_t next_ = 0;
};

class SimDeviceEnumerator : public DeviceEnumerator {
public:
    SimDeviceEnumerator(std::shared_ptr<const Scenario> scenario,
                        std::vector<std::shared_ptr<SimCamera>> cameras)
        : scenario_(std::move(scenario)), cameras_(std::move(cameras))
    {
    }
    HResult CreateClassEnumerator(const Guid& category, std::uint32_t,
                                  std::shared_ptr<MonikerEnumerator>* out) override
    {
        out->reset();
        if (scenario_->classEnumeratorFails)
            return hr::kFail;
        // Only video input devices exist here; any other category is empty.
        if (category != guids::kVideoInputDeviceCategory || cameras_.empty())
            return hr::kFalse;
        *out = std::make_shared<SimMonikerEnumerator>(cameras_);
        return hr::kOk;
    }

private:
    std::shared_ptr<const Scenario> scenario_;
    std::vector<std::shared_ptr<SimCamera>> cameras_;
};

class SimBindContext : public BindContext {};

}  // namespace

std::shared_ptr<DeviceMoniker> MakeSimMoniker(std::shared_ptr<SimCamera> camera)
{
    return std::make_shared<SimMoniker>(std::move(camera));
}

SimCaptureStack::SimCaptureStack(std::shared_ptr<const Scenario> scenario,
                                 std::vector<std::shared_ptr<SimCamera>> cameras)
    : scenario_(std::move(scenario)), cameras_(std::move(cameras))
{
}

HResult SimCaptureStack::CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out)
{
    out->reset();
    if (scenario_->enumeratorFails)
        return kClassNotRegistered;
    *out = std::make_shared<SimDeviceEnumerator>(scenario_, cameras_);
    return hr::kOk;
}

HResult SimCaptureStack::CreateBindContext(std::shared_ptr<BindContext>* out)
{
    *out = std::make_shared<SimBindContext>();
    return hr::kOk;
}

HResult SimCaptureStack::ParseDisplayName(BindContext&, const std::wstring& displayName,
                                          std::shared_ptr<DeviceMoniker>* out)
{
    out->reset();
    for (const auto& camera : cameras_) {
        if (!camera->Spec().displayNameFails && camera->Spec().displayName == displayName) {
            *out = MakeSimMoniker(camera);
            return hr::kOk;
        }
    }
    return kMonikerSyntax;
}

}  // namespace norvik
