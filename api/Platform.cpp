#include <new>

#include "api/PlatformImpl.h"
#include "discovery/DeviceRecords.h"

namespace norvik {

namespace {

PosixRuntime::Options CapturedDiagnostics(DiagnosticCapture& capture)
{
    PosixRuntime::Options options;
    options.diagnosticSink = [&capture](std::string_view bytes) { capture.Write(bytes); };
    return options;
}

}  // namespace

void DiagnosticCapture::Begin()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    text_.clear();
    collecting_ = true;
}

std::string DiagnosticCapture::End()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    collecting_ = false;
    return std::move(text_);
}

void DiagnosticCapture::Write(std::string_view bytes)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (collecting_)
        text_.append(bytes);
}

// The console is open for good: the capture decides what is kept.
Platform::Impl::Impl() : runtime(CapturedDiagnostics(diagnostics)) { runtime.OpenConsole(); }

Platform::Impl::~Impl() { ClearDeviceList(ProcessDeviceList()); }

DiscoveryPorts Platform::Impl::Ports()
{
    if (sim)
        return sim->Ports(runtime);
    return DiscoveryPorts{runtime, real->Capture(), real->Usb(), real->Setup()};
}

Platform::Platform(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Platform::~Platform() = default;

std::unique_ptr<Platform> Platform::Simulated(const std::string& scenario, Result* error)
{
    try {
        const ScenarioLoad load = scenario == "demo" ? LoadDemoScenario() : LoadScenarioFile(scenario);
        if (!load) {
            if (error)
                *error = Result{false, Failure::BadScenario, 0, load.error};
            return nullptr;
        }
        auto impl = std::make_unique<Impl>();
        impl->sim = std::make_unique<SimPlatform>(load.scenario);
        if (error)
            *error = Result{};
        return std::unique_ptr<Platform>(new Platform(std::move(impl)));
    } catch (const std::bad_alloc&) {
        if (error)
            *error = OutOfMemoryResult();
        return nullptr;
    }
}

std::unique_ptr<Platform> Platform::RealCameras()
{
    auto impl = std::make_unique<Impl>();
    impl->real = std::make_unique<LinuxPlatform>(impl->runtime);
    return std::unique_ptr<Platform>(new Platform(std::move(impl)));
}

bool Platform::IsSimulated() const { return impl_->sim != nullptr; }

}  // namespace norvik
