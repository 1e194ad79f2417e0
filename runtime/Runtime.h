#pragma once
// The runtime port: every process-level facility the logic needs from the
// operating system. Implemented by the POSIX runtime (platforms/linux), the
// Windows runtime, and the test runtime (platforms/sim/FakeRuntime), which
// runs on a manual clock and keeps files and output in memory.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace norvik {

// SYSTEMTIME's fields, in its order.
struct LocalTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

// A file opened for writing bytes ("wb"): closed by Close() or, failing
// that, by the destructor.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // False when not every byte could be written.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // False when flushing or closing failed; the file is closed either way.
    virtual bool Close() = 0;
};

class Runtime {
public:
    virtual ~Runtime() = default;

    // Diagnostics: one byte stream (the process's standard output). Narrow
    // lines are written as given; wide lines are converted by the runtime
    // (UTF-8 on Linux, the console code page on Windows).
    virtual void WriteDiagnostic(std::string_view bytes) = 0;
    virtual void WriteDiagnosticWide(std::wstring_view text) = 0;

    // Opens the debug console: afterwards diagnostics are visible. False
    // when no console could be had (the caller ignores it).
    virtual bool OpenConsole() = 0;

    // Milliseconds since some fixed start, wrapping at 2^32 (GetTickCount).
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    virtual LocalTime Now() = 0;

    // Waits until `word` no longer holds `expected` or `milliseconds` have
    // passed (WaitOnAddress with a limit). True when the value differs on
    // return, false when the time ran out with it unchanged. A change is
    // seen at once only if the thread that made it calls WakeValue after it;
    // the caller decides when that is needed. The platforms wait in real
    // time on the address itself; the test runtime decides itself when the
    // time runs out. The platforms' waits and the default here look at the
    // word for a few microseconds first (SpinWait.h), as an answer often
    // comes that soon; the default then parks on one process-wide mutex and
    // condition variable.
    virtual bool WaitForValue(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                              std::uint32_t milliseconds);
    // Wakes the thread waiting on `word` in WaitForValue, if any.
    virtual void WakeValue(std::atomic<std::uint32_t>& word);

    // Private-profile (INI) access with the Windows semantics: a missing file,
    // section or key gives the default; a non-numeric integer reads as 0; a
    // string read returns at most bufferChars - 1 characters; writing creates
    // the file and the section and changes only the key written.
    virtual int ReadProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                               const std::wstring& path) = 0;
    virtual std::wstring ReadProfileString(const std::wstring& section, const std::wstring& key,
                                           const std::wstring& defaultValue, std::size_t bufferChars,
                                           const std::wstring& path) = 0;
    virtual bool WriteProfileString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& value, const std::wstring& path) = 0;

    // Full path of the running executable and the separator its directories
    // are joined with ('\\' on Windows, '/' elsewhere).
    virtual std::wstring ModulePath() = 0;
    virtual wchar_t PathSeparator() const = 0;

    // Conversions with the thread's ANSI code page (CP936 where the system has
    // none). Unrepresentable characters become the platform's default
    // character; malformed bytes become its replacement character. nullopt
    // only when the conversion itself is refused.
    virtual std::optional<std::string> WideToAnsi(std::wstring_view text) = 0;
    virtual std::optional<std::wstring> AnsiToWide(std::string_view bytes) = 0;

    // The system's message text for an error code, in the ANSI code page and
    // ending in CR LF as Windows gives it; nullopt when there is none.
    virtual std::optional<std::string> SystemErrorText(std::uint32_t code) = 0;
    // The same text as wide characters. Platforms whose texts are wide to
    // begin with override this, so that the text can still be shown when the
    // code page refuses to convert it.
    virtual std::optional<std::wstring> SystemErrorTextWide(std::uint32_t code)
    {
        const std::optional<std::string> text = SystemErrorText(code);
        return text ? AnsiToWide(*text) : std::nullopt;
    }

    // Creates (or replaces) a file in the current directory or at a path.
    virtual std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& name) = 0;
    virtual bool RemoveFile(const std::wstring& name) = 0;

    // Opens a link target with the desktop's handler. Greater than 32 means
    // opened (the ShellExecute convention).
    virtual std::intptr_t ShellOpen(const std::wstring& target) = 0;
    // MessageBeep with the given sound type.
    virtual void Beep(std::uint32_t type) = 0;

    // Sets the C runtime library's locale for all categories to Simplified
    // Chinese ("chs"), as discovery does before it prints device names. It
    // stays so for the rest of the process.
    virtual void SetChineseLocale() = 0;
};

}  // namespace norvik
