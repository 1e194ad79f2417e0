#pragma once
// Opening a link target on Windows: ShellExecuteW first; when the shell
// cannot open it, the command registered for ".htm" pages is run with the
// target through WinExec. The platform calls are passed in, so the order of
// the fallback and its failure rules can be exercised without a browser.

#include <cstdint>
#include <string>

#include "runtime/CodePage.h"

namespace norvik {

struct ShellCalls {
    // ShellExecuteW(NULL, "open", target, NULL, NULL, SW_SHOW).
    std::intptr_t (*shellExecute)(const std::wstring& target);
    // Opens subKey under HKEY_CLASSES_ROOT for KEY_QUERY_VALUE and reads its
    // default value into a buffer given as 260 bytes, closing the key again.
    // ERROR_SUCCESS (0) or the failing call's status.
    long (*readClassesRootDefault)(const std::wstring& subKey, std::wstring* value);
    // WinExec(commandLine, SW_SHOW).
    std::uint32_t (*winExec)(const std::string& commandLine);
};

// The calls of the running system.
ShellCalls SystemShellCalls();

// Greater than 32 when the target was opened. When the fallback fails before
// WinExec runs, the ShellExecuteW result is returned; otherwise WinExec's.
std::intptr_t OpenWithShell(const std::wstring& target, const ShellCalls& calls, AnsiCodePage& codePage);

}  // namespace norvik
