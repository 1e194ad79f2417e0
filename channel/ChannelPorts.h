#pragma once
// The ports the control channel reaches the system through: the capture
// stack for devices and their control interfaces, the runtime for
// diagnostics, pauses and code-page conversion.

#include "discovery/CaptureStack.h"
#include "runtime/Runtime.h"

namespace norvik {

struct ChannelPorts {
    CaptureStack& captureStack;
    Runtime& runtime;
};

}  // namespace norvik
