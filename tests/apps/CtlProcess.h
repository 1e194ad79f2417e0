#pragma once
// Starts a program as a user's shell would and waits for it: one source
// file per system (CtlProcessPosix.cpp, CtlProcessWin32.cpp).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace norvik::testing {

// A variable of the program's environment: set to the value, or removed.
using EnvironmentChange = std::pair<std::string, std::optional<std::string>>;

struct ProcessRun {
    std::string program;  // a path
    std::vector<std::string> args;
    std::vector<EnvironmentChange> environment;
    std::filesystem::path directory;  // the working directory
    std::filesystem::path in;         // standard input comes from this file; empty: the null device
    std::filesystem::path out;        // standard output goes to this file
    std::filesystem::path err;        // standard error goes to this file
};

// Status 124 when the program was still running after 60 s (it is then
// ended, so that a hang fails the test instead of stopping the suite); -1
// when it could not be started or ended by a signal.
// System error texts: the POSIX runner asks for English ones (LC_ALL=C);
// on Windows they come in the system's language, as the program inherits it
// with the ANSI code page (SystemText gives them as the program gets them).
int RunProcess(const ProcessRun& run);

// The system's text for an error code (a Win32 code or an HRESULT) as the
// program RunProcess starts gets it, in UTF-8 with its line end; empty when
// the system has none. Linux: the built-in English table; Windows: the
// system's message table (Wine's differs from Windows' own).
std::string SystemText(std::uint32_t code);

}  // namespace norvik::testing
