#pragma once
// What norvikctl takes from the system it was built for, one source file
// per system (CtlSystemPosix.cpp with the Linux platform,
// CtlSystemWin32.cpp with the Windows one), chosen by the build:
//
// - the runtime and the ports of the real cameras;
// - the console: the command line's words and the environment as UTF-8,
//   files opened by UTF-8 names, and standard output and error that carry
//   the bytes written, unchanged, whatever they are connected to.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "discovery/CaptureStack.h"
#include "discovery/DeviceSetup.h"
#include "discovery/UsbHost.h"
#include "runtime/Runtime.h"

namespace norvik::ctl {

// The real system's ports.
class RealSystem {
public:
    virtual ~RealSystem() = default;
    virtual CaptureStack& Capture() = 0;
    virtual UsbHost& Usb() = 0;
    virtual DeviceSetup& Setup() = 0;
};

// The runtime: its diagnostic lines are discarded until its console is
// opened, then written to `diagnostics`.
std::unique_ptr<Runtime> MakeCtlRuntime(std::FILE* diagnostics);
// The real cameras' platform; the runtime outlives it.
std::unique_ptr<RealSystem> MakeRealSystem(Runtime& runtime);

// Sets up standard output and error for the process's lifetime and gives
// the command line's words in UTF-8 (the program's name first).
class ConsoleProgram {
public:
    ConsoleProgram(int argc, char** argv);
    ~ConsoleProgram();
    ConsoleProgram(const ConsoleProgram&) = delete;
    ConsoleProgram& operator=(const ConsoleProgram&) = delete;

    int Argc() const { return int(pointers_.size()) - 1; }
    char** Argv() { return pointers_.data(); }

private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;  // into words_, null-terminated
    unsigned previousOutputCodePage_ = 0;
};

// An environment variable's value in UTF-8; none when it is not set.
std::optional<std::string> EnvironmentValue(const char* name);
// fopen and remove for a file named in UTF-8.
std::FILE* OpenNamedFile(const std::string& path, const char* mode);
bool RemoveNamedFile(const std::string& path);

}  // namespace norvik::ctl
