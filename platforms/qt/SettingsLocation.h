#pragma once
// Where the desktop program keeps NorvikCfg.ini. The file belongs beside the
// executable; an installed program lives in a directory its user cannot
// write (/usr/local/bin, /usr/bin), and then the file lives in
// $XDG_CONFIG_HOME/norvik/NorvikCfg.ini instead ($HOME/.config when
// XDG_CONFIG_HOME is unset or not an absolute path). Both reads and writes
// go there, so the settings written at one close are read at the next start.

#include <memory>
#include <string>

#include "runtime/Runtime.h"

namespace norvik {

// The per-user settings file, from the two environment values (either may
// be null); empty when neither gives an absolute directory.
std::wstring UserSettingsPath(const char* xdgConfigHome, const char* home);

// True when files can be created in the directory of path.
bool DirectoryOfPathWritable(const std::wstring& path);

// A runtime that is `base` in everything, except that the profile (INI)
// functions, given `from`, work on `to`; a write first creates the
// directories of `to`.
class RelocatedSettingsRuntime final : public Runtime {
public:
    RelocatedSettingsRuntime(Runtime& base, std::wstring from, std::wstring to);

    const std::wstring& From() const { return from_; }
    const std::wstring& To() const { return to_; }

    void WriteDiagnostic(std::string_view bytes) override;
    void WriteDiagnosticWide(std::wstring_view text) override;
    bool OpenConsole() override;
    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
    LocalTime Now() override;
    bool WaitForValue(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                      std::uint32_t milliseconds) override;
    void WakeValue(std::atomic<std::uint32_t>& word) override;
    int ReadProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                       const std::wstring& path) override;
    std::wstring ReadProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& defaultValue, std::size_t bufferChars,
                                   const std::wstring& path) override;
    bool WriteProfileString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                            const std::wstring& path) override;
    std::wstring ModulePath() override;
    wchar_t PathSeparator() const override;
    std::optional<std::string> WideToAnsi(std::wstring_view text) override;
    std::optional<std::wstring> AnsiToWide(std::string_view bytes) override;
    std::optional<std::string> SystemErrorText(std::uint32_t code) override;
    std::optional<std::wstring> SystemErrorTextWide(std::uint32_t code) override;
    std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& name) override;
    bool RemoveFile(const std::wstring& name) override;
    std::intptr_t ShellOpen(const std::wstring& target) override;
    void Beep(std::uint32_t type) override;
    void SetChineseLocale() override;

private:
    const std::wstring& Map(const std::wstring& path) const { return path == from_ ? to_ : path; }

    Runtime& base_;
    std::wstring from_;
    std::wstring to_;
};

// The runtime the program runs on: `base` itself when the settings can stay
// beside the executable (or there is nowhere else to put them), else a
// relocating runtime around it, held in `holder`.
Runtime& DesktopRuntime(Runtime& base, std::unique_ptr<RelocatedSettingsRuntime>& holder);

}  // namespace norvik
