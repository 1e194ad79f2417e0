#include "python/MachineCore.h"

namespace norvik::python {

namespace {

// Discovery keeps its results per process, so machines take turns at
// discovering, opening (which searches the devices) and letting go of them.
std::mutex& ProcessDevicesMutex()
{
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::shared_ptr<MachineCore> MachineCore::Create(const std::optional<std::string>& sim, Result* error)
{
    std::shared_ptr<MachineCore> core(new MachineCore);
    if (sim) {
        core->platform_ = Platform::Simulated(*sim, error);
        if (!core->platform_)
            return nullptr;
    } else {
        core->platform_ = Platform::RealCameras();
    }
    core->simulated_ = core->platform_->IsSimulated();
    core->session_ = std::make_unique<Session>(*core->platform_);
    return core;
}

MachineCore::~MachineCore() { Close(); }

bool MachineCore::IsClosed()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return !session_;
}

void MachineCore::Close()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::lock_guard<std::mutex> devices(ProcessDevicesMutex());
    session_.reset();
    platform_.reset();
}

void MachineCore::DiscoverLocked(std::vector<DeviceRecord>* devices, std::string* diagnostics)
{
    const std::lock_guard<std::mutex> lock(ProcessDevicesMutex());
    session_->Discover(diagnostics);
    discovered_ = true;
    if (devices)
        *devices = session_->Devices();
}

bool MachineCore::Discover(std::vector<DeviceRecord>& devices, std::string* diagnostics)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!session_)
        return false;
    DiscoverLocked(&devices, diagnostics);
    return true;
}

MachineCore::Opened MachineCore::Finish(Result result)
{
    Opened opened;
    if (result) {
        // A unit's log starts with its own first transfer.
        session_->ClearRows();
        opened.generation = ++generation_;
    }
    opened.result = std::move(result);
    return opened;
}

MachineCore::Opened MachineCore::OpenListed(unsigned device, unsigned unit)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!session_)
        return Opened{true, {}, 0};
    if (!discovered_)
        DiscoverLocked(nullptr, nullptr);
    const std::lock_guard<std::mutex> devices(ProcessDevicesMutex());
    return Finish(session_->OpenListed(device, unit));
}

MachineCore::Opened MachineCore::OpenByGuid(const std::string& typedText)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!session_)
        return Opened{true, {}, 0};
    const std::lock_guard<std::mutex> devices(ProcessDevicesMutex());
    return Finish(session_->OpenByGuid(typedText));
}

void MachineCore::CloseUnit(std::uint64_t generation)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (StateLocked(generation) == UnitState::Open)
        session_->Close();
}

UnitState MachineCore::StateOf(std::uint64_t generation)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return StateLocked(generation);
}

UnitState MachineCore::StateLocked(std::uint64_t generation) const
{
    if (!session_)
        return UnitState::MachineGone;
    if (generation != generation_)
        return UnitState::Superseded;
    return session_->IsOpen() ? UnitState::Open : UnitState::Closed;
}

}  // namespace norvik::python
