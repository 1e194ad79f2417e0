#include "platforms/win32/Win32Shell.h"

#include "platforms/win32/WindowsApi.h"
#include "shell/HyperLink.h"

namespace norvik {

namespace {

std::intptr_t SystemShellExecute(const std::wstring& target)
{
    const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result);
}

long SystemReadClassesRootDefault(const std::wstring& subKey, std::wstring* value)
{
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    // The size passed is 260 bytes; the buffer itself has room for 260
    // characters, so a value that fills the size still ends in a zero.
    wchar_t buffer[260] = {};
    LONG size = 260;
    status = ::RegQueryValueW(key, nullptr, buffer, &size);
    if (status == ERROR_SUCCESS)
        value->assign(buffer);
    ::RegCloseKey(key);
    return status;
}

std::uint32_t SystemWinExec(const std::string& commandLine)
{
    return ::WinExec(commandLine.c_str(), SW_SHOW);
}

}  // namespace

ShellCalls SystemShellCalls() { return {&SystemShellExecute, &SystemReadClassesRootDefault, &SystemWinExec}; }

std::intptr_t OpenWithShell(const std::wstring& target, const ShellCalls& calls, AnsiCodePage& codePage)
{
    const std::intptr_t shellResult = calls.shellExecute(target);
    if (shellResult > 32)
        return shellResult;

    std::wstring documentClass;
    if (calls.readClassesRootDefault(L".htm", &documentClass) != ERROR_SUCCESS)
        return shellResult;
    std::wstring command;
    if (calls.readClassesRootDefault(documentClass + L"\\shell\\open\\command", &command) != ERROR_SUCCESS)
        return shellResult;

    const std::optional<std::string> commandLine =
        codePage.WideToAnsi(BuildFallbackCommandLine(command, target));
    if (!commandLine)
        return shellResult;
    return std::intptr_t(calls.winExec(*commandLine));
}

}  // namespace norvik
