#pragma once
// The runtime port on Linux and other POSIX systems.
//
// - Diagnostics go to standard output, which is the debug console here: they
//   are discarded until OpenConsole() is called, as they would be on Windows
//   without the console. Wide lines are written as UTF-8 bytes on the same
//   stream as narrow lines.
// - The ANSI code page is 936 (GBK) through iconv; system error texts come
//   from the built-in table in English, or in Simplified Chinese when the
//   locale (LC_ALL, LC_MESSAGES, LANG) is a Simplified Chinese one, and are
//   returned as code page 936 bytes.
// - The settings file is UTF-8 text, rewritten atomically (a temporary file
//   in the same directory renamed over it).
// - ShellOpen runs the desktop's opener (xdg-open) and maps its outcome to
//   the ShellExecute convention:
//       opener ran and exited with 0                -> 42 (success, > 32)
//       opener exited with 2 (a file did not exist) -> 2  (SE_ERR_FNF)
//       opener could not be found (spawn ENOENT)    -> 2  (SE_ERR_FNF)
//       any other exit status, signal or spawn error -> 31 (SE_ERR_NOASSOC)
// - Beep writes BEL to standard error when that is a terminal, and does
//   nothing otherwise (a log file or a pipe gains nothing from it).

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "runtime/CodePage.h"
#include "runtime/Runtime.h"
#include "runtime/SystemErrorTexts.h"

namespace norvik {

class PosixRuntime final : public Runtime {
public:
    struct Options {
        // Where diagnostics go once the console is open.
        std::FILE* diagnostics = stdout;
        // When set, diagnostics go to this function instead of the stream
        // (a library that hands them to its caller). It may be called from
        // any thread that writes a diagnostic.
        std::function<void(std::string_view)> diagnosticSink;
        // The program ShellOpen runs with the target as its only argument,
        // looked up on PATH when it has no slash.
        std::string opener = "xdg-open";
    };

    PosixRuntime();
    explicit PosixRuntime(Options options);
    ~PosixRuntime() override;

    void WriteDiagnostic(std::string_view bytes) override;
    void WriteDiagnosticWide(std::wstring_view text) override;
    bool OpenConsole() override;

    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
    LocalTime Now() override;
    // A short spin, then a futex wait on the word itself; a futex wake.
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
    wchar_t PathSeparator() const override { return L'/'; }

    std::optional<std::string> WideToAnsi(std::wstring_view text) override;
    std::optional<std::wstring> AnsiToWide(std::string_view bytes) override;

    std::optional<std::string> SystemErrorText(std::uint32_t code) override;
    std::optional<std::wstring> SystemErrorTextWide(std::uint32_t code) override;

    std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& name) override;
    bool RemoveFile(const std::wstring& name) override;

    std::intptr_t ShellOpen(const std::wstring& target) override;
    void Beep(std::uint32_t type) override;
    // Does nothing. There is no "chs" locale here, and none is needed: this
    // runtime converts wide diagnostic lines to UTF-8, and text to and from
    // code page 936 with iconv, itself, whatever the C library's locale.
    void SetChineseLocale() override {}

    // The language system error texts are given in (chosen from the locale
    // environment at construction).
    ErrorTextLanguage ErrorLanguage() const { return errorLanguage_; }

private:
    Options options_;
    std::atomic<bool> consoleOpen_{false};
    std::unique_ptr<AnsiCodePage> codePage_;
    ErrorTextLanguage errorLanguage_;
};

}  // namespace norvik
