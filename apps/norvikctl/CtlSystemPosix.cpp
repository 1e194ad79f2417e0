// norvikctl on Linux: the POSIX runtime and the Linux platform. Words,
// names and the environment are bytes, taken as they are (UTF-8 in the
// locales the tool is used in); standard output and error need no setting
// up.
#include <cstdlib>

#include "apps/norvikctl/CtlSystem.h"
#include "platforms/linux/LinuxPlatform.h"
#include "platforms/linux/PosixRuntime.h"

namespace norvik::ctl {

namespace {

class LinuxSystem final : public RealSystem {
public:
    explicit LinuxSystem(Runtime& runtime) : platform_(runtime) {}
    CaptureStack& Capture() override { return platform_.Capture(); }
    UsbHost& Usb() override { return platform_.Usb(); }
    DeviceSetup& Setup() override { return platform_.Setup(); }

private:
    LinuxPlatform platform_;
};

}  // namespace

std::unique_ptr<Runtime> MakeCtlRuntime(std::FILE* diagnostics)
{
    PosixRuntime::Options options;
    options.diagnostics = diagnostics;
    return std::make_unique<PosixRuntime>(options);
}

std::unique_ptr<RealSystem> MakeRealSystem(Runtime& runtime)
{
    return std::make_unique<LinuxSystem>(runtime);
}

ConsoleProgram::ConsoleProgram(int argc, char** argv) : words_(argv, argv + argc)
{
    for (std::string& word : words_)
        pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
}

ConsoleProgram::~ConsoleProgram() = default;

std::optional<std::string> EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

std::FILE* OpenNamedFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool RemoveNamedFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

}  // namespace norvik::ctl
