#pragma once
// The runtime for tests and benchmarks: a manual clock, captured diagnostics,
// files in memory and recorded shell calls. Nothing here touches the real
// system except the code page conversions, which are the platform's own.
//
// Diagnostics may be written from worker threads; everything else is meant
// for the thread that drives the test.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/CodePage.h"
#include "runtime/Runtime.h"
#include "runtime/SystemErrorTexts.h"

namespace norvik {

class FakeRuntime : public Runtime {
public:
    FakeRuntime();
    ~FakeRuntime() override;

    // --- Runtime ---------------------------------------------------------
    void WriteDiagnostic(std::string_view bytes) override;
    void WriteDiagnosticWide(std::wstring_view text) override;
    bool OpenConsole() override;

    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
    LocalTime Now() override;
    bool WaitForValue(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                      std::uint32_t milliseconds) override;

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

    // The files it hands out write into this runtime: they must not outlive it.
    std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& name) override;
    bool RemoveFile(const std::wstring& name) override;

    std::intptr_t ShellOpen(const std::wstring& target) override;
    void Beep(std::uint32_t type) override;
    void SetChineseLocale() override;

    // --- Diagnostics -----------------------------------------------------
    // What the operator would see: everything written while the console was
    // open (wide lines as UTF-8).
    std::string Transcript() const;
    // Everything written, console or not.
    std::string AllDiagnostics() const;
    void ClearDiagnostics();
    bool ConsoleOpened() const;
    // What OpenConsole answers (true by default); when false the console
    // stays closed.
    void SetOpenConsoleResult(bool result);

    // --- Clock -----------------------------------------------------------
    void SetTickCount(std::uint32_t ticks);
    // Moves the tick count on without recording a Sleep call.
    void AdvanceClock(std::uint32_t milliseconds);
    // Every Sleep(ms) in order; each one also advanced the tick count.
    const std::vector<std::uint32_t>& SleepCalls() const { return sleepCalls_; }
    std::uint64_t TotalSlept() const;

    // Timed waits (WaitForValue). By default a wait runs out after its limit
    // in real time, as on the platforms: the simulated devices' delays are
    // real time too. With real-time waits off, time never runs out by itself:
    // a wait lasts until the value changes, unless a test ends it with
    // TimeOutNextWait. Every wait records its limit; one that runs out moves
    // the tick count on by it.
    void SetRealTimeWaits(bool on) { realTimeWaits_ = on; }
    // Wait number `ordinal` (counted from 0 over every wait served, as in
    // WaitCalls) runs out unless the value has already changed: at once when
    // `scene` is empty; otherwise after running scene(), which returns once
    // the test's situation is set (say, a worker blocked inside a call).
    void TimeOutWait(std::size_t ordinal, std::function<void()> scene = {});
    void TimeOutNextWait(std::function<void()> scene = {})
    {
        TimeOutWait(waitCalls_.size(), std::move(scene));
    }
    const std::vector<std::uint32_t>& WaitCalls() const { return waitCalls_; }

    void SetNow(const LocalTime& time);
    // When nonzero, every Now() call moves the local time on by this many
    // milliseconds after answering (carrying into seconds, minutes, hours).
    void SetNowStep(std::uint32_t milliseconds) { nowStep_ = milliseconds; }

    // --- Files -----------------------------------------------------------
    // One store for settings files and output files, keyed by the name as
    // given.
    bool HasFile(const std::wstring& name) const;
    std::string FileContents(const std::wstring& name) const;  // empty when missing
    void SetFile(const std::wstring& name, std::string bytes);
    // CreateOutputFile answers nullptr.
    void SetFailCreateOutputFile(bool fail) { failCreate_ = fail; }
    // Write() of output files answers false and writes nothing.
    void SetFailWrites(bool fail) { failWrites_ = fail; }
    // Close() of output files answers false (the bytes written stay).
    void SetFailClose(bool fail) { failClose_ = fail; }
    // WriteProfileString answers false and changes nothing.
    void SetFailProfileWrites(bool fail) { failProfileWrites_ = fail; }

    // --- Process ---------------------------------------------------------
    void SetModulePath(std::wstring path) { modulePath_ = std::move(path); }
    void SetPathSeparator(wchar_t separator) { separator_ = separator; }

    // --- Text ------------------------------------------------------------
    void SetErrorTextLanguage(ErrorTextLanguage language) { errorLanguage_ = language; }
    // Every code page conversion answers nullopt, as a refused conversion.
    void SetRefuseConversions(bool refuse) { refuseConversions_ = refuse; }

    // --- Shell -----------------------------------------------------------
    const std::vector<std::wstring>& ShellOpenTargets() const { return shellTargets_; }
    void SetShellOpenResult(std::intptr_t result) { shellResult_ = result; }
    const std::vector<std::uint32_t>& BeepCalls() const { return beeps_; }

    // --- Locale ----------------------------------------------------------
    // One entry per SetChineseLocale call: the length AllDiagnostics() had
    // then, which tells where among the printed lines the call came.
    std::vector<std::size_t> ChineseLocaleCalls() const;

private:
    friend class FakeOutputFile;
    void AppendToFile(const std::wstring& name, const void* data, std::size_t size);

    mutable std::mutex mutex_;  // diagnostics and files
    std::string transcript_;
    std::string allDiagnostics_;
    bool consoleOpen_ = false;
    bool openConsoleResult_ = true;

    std::uint32_t ticks_ = 0;
    std::vector<std::uint32_t> sleepCalls_;
    bool realTimeWaits_ = true;
    std::map<std::size_t, std::function<void()>> timeOuts_;
    std::vector<std::uint32_t> waitCalls_;
    LocalTime now_{};
    std::uint32_t nowStep_ = 0;

    std::map<std::wstring, std::string> files_;
    bool failCreate_ = false;
    bool failWrites_ = false;
    bool failClose_ = false;
    bool failProfileWrites_ = false;

    std::wstring modulePath_ = L"/opt/norvik/norvik";
    wchar_t separator_ = L'/';

    std::unique_ptr<AnsiCodePage> codePage_;
    ErrorTextLanguage errorLanguage_ = ErrorTextLanguage::English;
    bool refuseConversions_ = false;

    std::vector<std::wstring> shellTargets_;
    std::intptr_t shellResult_ = 42;
    std::vector<std::uint32_t> beeps_;
    std::vector<std::size_t> chineseLocaleCalls_;
};

}  // namespace norvik
