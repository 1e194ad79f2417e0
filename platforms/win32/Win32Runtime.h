#pragma once
// The runtime port on Windows.
//
// - Diagnostics go to the C library's stdout, which is nowhere for this
//   windowed program until OpenConsole() has created a console and reopened
//   the standard streams on it. On a console, narrow lines (ANSI code page)
//   and wide lines are both written as text with WriteConsoleW; to a file or
//   a pipe, wide lines are converted to the ANSI code page and written with
//   the narrow ones on the same stream.
// - A console program (Options::consoleProgram, norvikctl) has its standard
//   handles from its parent: diagnostics are discarded until OpenConsole(),
//   which then only lets them through to the stream given, and wide lines
//   that go to a file or a pipe are UTF-8, as the POSIX runtime writes them.
// - The settings file goes through the private-profile functions themselves.
// - Conversions use the thread's ANSI code page (Win32CodePage).
// - System error texts come from FormatMessageA.
// - ShellOpen is ShellExecuteW with the ".htm" fallback (Win32Shell).

#include <cstdio>
#include <memory>
#include <mutex>

#include "platforms/win32/Win32CodePage.h"
#include "runtime/Runtime.h"

namespace norvik {

class Win32Runtime final : public Runtime {
public:
    struct Options {
        // Where a console program's diagnostics go once the console is open.
        std::FILE* diagnostics = stdout;
        bool consoleProgram = false;
    };

    Win32Runtime();
    explicit Win32Runtime(Options options);
    ~Win32Runtime() override;

    void WriteDiagnostic(std::string_view bytes) override;
    void WriteDiagnosticWide(std::wstring_view text) override;
    bool OpenConsole() override;

    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
    LocalTime Now() override;

    int ReadProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                       const std::wstring& path) override;
    std::wstring ReadProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& defaultValue, std::size_t bufferChars,
                                   const std::wstring& path) override;
    bool WriteProfileString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                            const std::wstring& path) override;

    std::wstring ModulePath() override;
    wchar_t PathSeparator() const override { return L'\\'; }

    std::optional<std::string> WideToAnsi(std::wstring_view text) override;
    std::optional<std::wstring> AnsiToWide(std::string_view bytes) override;

    std::optional<std::string> SystemErrorText(std::uint32_t code) override;

    std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& name) override;
    bool RemoveFile(const std::wstring& name) override;

    std::intptr_t ShellOpen(const std::wstring& target) override;
    void Beep(std::uint32_t type) override;
    // _wsetlocale(LC_ALL, L"chs"): the C library's wide and multibyte
    // functions then work in Simplified Chinese and code page 936.
    void SetChineseLocale() override;

private:
    std::FILE* DiagnosticStream() const;

    Options options_;
    bool consoleOpen_ = false;  // of a console program
    std::mutex diagnosticsMutex_;
    // Where diagnostics go when stdout itself could not be reopened on the
    // console (null: stdout).
    std::FILE* diagnostics_ = nullptr;
    std::FILE* ownConsoleStream_ = nullptr;
    Win32CodePage codePage_;
};

}  // namespace norvik
