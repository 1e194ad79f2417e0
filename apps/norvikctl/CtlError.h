#pragma once
// How a command of norvikctl gives up: the exit status and the line for
// standard error. Thrown inside the tool only and caught in main.

#include <string>

namespace norvik::ctl {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;  // a device, a request or a file failed
constexpr int kExitUsage = 2;   // the command line itself is wrong

struct CtlError {
    int exitCode;
    std::string message;  // UTF-8, without the final line feed
};

[[noreturn]] inline void FailUsage(std::string message) { throw CtlError{kExitUsage, std::move(message)}; }

[[noreturn]] inline void FailRequest(std::string message) { throw CtlError{kExitFailed, std::move(message)}; }

}  // namespace norvik::ctl
