#pragma once
// Problems the desktop program finds before its dialog opens: a scenario it
// cannot load, a settings file it cannot write. They go to standard error;
// a program started from the desktop menu has no terminal, and nobody reads
// its standard error there, so then they are also shown in a message box
// with the same text.

#include <cstdio>
#include <string>

#include "runtime/Runtime.h"

namespace norvik {

class RelocatedSettingsRuntime;

// True when none of standard input, output and error is a terminal: the
// program was started from a desktop menu or a file manager.
bool StartedWithoutTerminal();

class StartupNotice {
public:
    // showBoxes: whether each problem is also shown in a message box (a
    // QApplication must exist then).
    StartupNotice(std::FILE* err, bool showBoxes) : err_(err), showBoxes_(showBoxes) {}

    // line: one UTF-8 line without its newline, e.g. "norvik: ...".
    void Report(const std::string& line);

private:
    std::FILE* err_;
    bool showBoxes_;
};

// The settings file the program will write at close when it cannot be
// written there (its directory cannot be made or written, or the file is
// read-only); empty when it can. `relocated` is the runtime DesktopRuntime
// chose, or null when the file stays beside the executable. Makes the
// per-user directory, as the first write would.
std::wstring UnwritableSettingsFile(Runtime& base, const RelocatedSettingsRuntime* relocated);

// The line reporting such a file.
std::string UnwritableSettingsLine(const std::wstring& path);

}  // namespace norvik
