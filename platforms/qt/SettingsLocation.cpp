#include "platforms/qt/SettingsLocation.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "console/Settings.h"
#include "runtime/Utf8.h"

namespace norvik {

namespace {

std::wstring JoinSettingsFile(std::string directory)
{
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    return Utf8ToWide(directory) + L"/norvik/" + kSettingsFileName;
}

}  // namespace

std::wstring UserSettingsPath(const char* xdgConfigHome, const char* home)
{
    if (xdgConfigHome && xdgConfigHome[0] == '/')
        return JoinSettingsFile(xdgConfigHome);
    if (home && home[0] == '/')
        return JoinSettingsFile(std::string(home) + "/.config");
    return std::wstring();
}

bool DirectoryOfPathWritable(const std::wstring& path)
{
    const std::string bytes = WideToUtf8(path);
    const std::size_t slash = bytes.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : bytes.substr(0, slash);
    return ::access(directory.c_str(), W_OK) == 0;
}

RelocatedSettingsRuntime::RelocatedSettingsRuntime(Runtime& base, std::wstring from, std::wstring to)
    : base_(base), from_(std::move(from)), to_(std::move(to))
{
}

void RelocatedSettingsRuntime::WriteDiagnostic(std::string_view bytes) { base_.WriteDiagnostic(bytes); }
void RelocatedSettingsRuntime::WriteDiagnosticWide(std::wstring_view text)
{
    base_.WriteDiagnosticWide(text);
}
bool RelocatedSettingsRuntime::OpenConsole() { return base_.OpenConsole(); }
std::uint32_t RelocatedSettingsRuntime::TickCount() { return base_.TickCount(); }
void RelocatedSettingsRuntime::Sleep(std::uint32_t milliseconds) { base_.Sleep(milliseconds); }
bool RelocatedSettingsRuntime::WaitForValue(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                                            std::uint32_t milliseconds)
{
    return base_.WaitForValue(word, expected, milliseconds);
}
void RelocatedSettingsRuntime::WakeValue(std::atomic<std::uint32_t>& word) { base_.WakeValue(word); }
LocalTime RelocatedSettingsRuntime::Now() { return base_.Now(); }

int RelocatedSettingsRuntime::ReadProfileInt(const std::wstring& section, const std::wstring& key,
                                             int defaultValue, const std::wstring& path)
{
    return base_.ReadProfileInt(section, key, defaultValue, Map(path));
}

std::wstring RelocatedSettingsRuntime::ReadProfileString(const std::wstring& section, const std::wstring& key,
                                                         const std::wstring& defaultValue,
                                                         std::size_t bufferChars, const std::wstring& path)
{
    return base_.ReadProfileString(section, key, defaultValue, bufferChars, Map(path));
}

bool RelocatedSettingsRuntime::WriteProfileString(const std::wstring& section, const std::wstring& key,
                                                  const std::wstring& value, const std::wstring& path)
{
    const std::wstring& target = Map(path);
    if (&target == &to_) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(WideToUtf8(to_)).parent_path(), error);
        // A directory that cannot be made shows in the write's own result.
    }
    return base_.WriteProfileString(section, key, value, target);
}

std::wstring RelocatedSettingsRuntime::ModulePath() { return base_.ModulePath(); }
wchar_t RelocatedSettingsRuntime::PathSeparator() const { return base_.PathSeparator(); }
std::optional<std::string> RelocatedSettingsRuntime::WideToAnsi(std::wstring_view text)
{
    return base_.WideToAnsi(text);
}
std::optional<std::wstring> RelocatedSettingsRuntime::AnsiToWide(std::string_view bytes)
{
    return base_.AnsiToWide(bytes);
}
std::optional<std::string> RelocatedSettingsRuntime::SystemErrorText(std::uint32_t code)
{
    return base_.SystemErrorText(code);
}
std::optional<std::wstring> RelocatedSettingsRuntime::SystemErrorTextWide(std::uint32_t code)
{
    return base_.SystemErrorTextWide(code);
}
std::unique_ptr<OutputFile> RelocatedSettingsRuntime::CreateOutputFile(const std::wstring& name)
{
    return base_.CreateOutputFile(name);
}
bool RelocatedSettingsRuntime::RemoveFile(const std::wstring& name) { return base_.RemoveFile(name); }
std::intptr_t RelocatedSettingsRuntime::ShellOpen(const std::wstring& target)
{
    return base_.ShellOpen(target);
}
void RelocatedSettingsRuntime::Beep(std::uint32_t type) { base_.Beep(type); }
void RelocatedSettingsRuntime::SetChineseLocale() { base_.SetChineseLocale(); }

Runtime& DesktopRuntime(Runtime& base, std::unique_ptr<RelocatedSettingsRuntime>& holder)
{
    const std::wstring besideExecutable = BuildSettingsPath(base);
    if (besideExecutable.empty() || DirectoryOfPathWritable(besideExecutable))
        return base;
    const std::wstring perUser = UserSettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (perUser.empty())
        return base;
    holder = std::make_unique<RelocatedSettingsRuntime>(base, besideExecutable, perUser);
    return *holder;
}

}  // namespace norvik
