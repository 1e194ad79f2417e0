#include "console/Settings.h"

#include "runtime/Diagnostics.h"
#include "runtime/Runtime.h"

namespace norvik {

namespace {
constexpr std::size_t kPathBufferChars = 260;  // MAX_PATH, terminator included
}

std::wstring BuildSettingsPath(Runtime& runtime)
{
    const std::wstring module = runtime.ModulePath();
    const wchar_t separator = runtime.PathSeparator();
    // A module path that did not fit the buffer came back cut, so its
    // directory cannot be trusted either.
    if (module.size() >= kPathBufferChars) {
        DiagPrint(runtime, "Settings path too long, NorvikCfg.ini is not used\n");
        return L"";
    }
    std::wstring directory = module;
    const auto cut = directory.find_last_of(separator);
    directory.resize(cut == std::wstring::npos ? 0 : cut);
    std::wstring path = directory + separator + kSettingsFileName;
    if (path.size() >= kPathBufferChars) {
        DiagPrint(runtime, "Settings path too long, NorvikCfg.ini is not used\n");
        return L"";
    }
    return path;
}

}  // namespace norvik
