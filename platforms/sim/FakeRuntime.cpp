#include "platforms/sim/FakeRuntime.h"

#include "runtime/ProfileFile.h"
#include "runtime/Utf8.h"

namespace norvik {

class FakeOutputFile final : public OutputFile {
public:
    FakeOutputFile(FakeRuntime& runtime, std::wstring name) : runtime_(runtime), name_(std::move(name)) {}

    bool Write(const void* data, std::size_t size) override
    {
        if (closed_ || runtime_.failWrites_)
            return false;
        runtime_.AppendToFile(name_, data, size);
        return true;
    }

    bool Close() override
    {
        if (closed_)
            return false;
        closed_ = true;
        return !runtime_.failClose_;
    }

private:
    FakeRuntime& runtime_;
    std::wstring name_;
    bool closed_ = false;
};

FakeRuntime::FakeRuntime() : codePage_(MakeAnsiCodePage())
{
    // Recording a wait allocates nothing for a good while, so that a test
    // may refuse memory around a request.
    waitCalls_.reserve(1024);
}

FakeRuntime::~FakeRuntime() = default;

void FakeRuntime::WriteDiagnostic(std::string_view bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    allDiagnostics_.append(bytes);
    if (consoleOpen_)
        transcript_.append(bytes);
}

void FakeRuntime::WriteDiagnosticWide(std::wstring_view text) { WriteDiagnostic(WideToUtf8(text)); }

bool FakeRuntime::OpenConsole()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (openConsoleResult_)
        consoleOpen_ = true;
    return openConsoleResult_;
}

std::string FakeRuntime::Transcript() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return transcript_;
}

std::string FakeRuntime::AllDiagnostics() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return allDiagnostics_;
}

void FakeRuntime::ClearDiagnostics()
{
    std::lock_guard<std::mutex> lock(mutex_);
    transcript_.clear();
    allDiagnostics_.clear();
}

bool FakeRuntime::ConsoleOpened() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return consoleOpen_;
}

void FakeRuntime::SetOpenConsoleResult(bool result)
{
    std::lock_guard<std::mutex> lock(mutex_);
    openConsoleResult_ = result;
}

std::uint32_t FakeRuntime::TickCount() { return ticks_; }

void FakeRuntime::Sleep(std::uint32_t milliseconds)
{
    sleepCalls_.push_back(milliseconds);
    ticks_ += milliseconds;  // wraps at 2^32 like the real tick count
}

bool FakeRuntime::WaitForValue(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                               std::uint32_t milliseconds)
{
    const std::size_t ordinal = waitCalls_.size();
    waitCalls_.push_back(milliseconds);
    if (const auto planned = timeOuts_.find(ordinal); planned != timeOuts_.end()) {
        const std::function<void()> scene = std::move(planned->second);
        timeOuts_.erase(planned);
        if (scene)
            scene();
        if (word.load(std::memory_order_acquire) != expected)
            return true;
        ticks_ += milliseconds;
        return false;
    }
    if (realTimeWaits_)
        return Runtime::WaitForValue(word, expected, milliseconds);
    // Only a safety net against a test that waits for what never comes.
    return Runtime::WaitForValue(word, expected, 60000);
}

void FakeRuntime::TimeOutWait(std::size_t ordinal, std::function<void()> scene)
{
    timeOuts_[ordinal] = std::move(scene);
}

void FakeRuntime::SetTickCount(std::uint32_t ticks) { ticks_ = ticks; }

void FakeRuntime::AdvanceClock(std::uint32_t milliseconds) { ticks_ += milliseconds; }

std::uint64_t FakeRuntime::TotalSlept() const
{
    std::uint64_t total = 0;
    for (std::uint32_t ms : sleepCalls_)
        total += ms;
    return total;
}

LocalTime FakeRuntime::Now()
{
    const LocalTime answer = now_;
    if (nowStep_ != 0) {
        std::uint64_t ms = std::uint64_t(now_.milliseconds) + nowStep_;
        std::uint64_t seconds = now_.second + ms / 1000;
        std::uint64_t minutes = now_.minute + seconds / 60;
        std::uint64_t hours = now_.hour + minutes / 60;
        now_.milliseconds = std::uint16_t(ms % 1000);
        now_.second = std::uint16_t(seconds % 60);
        now_.minute = std::uint16_t(minutes % 60);
        now_.hour = std::uint16_t(hours % 24);
    }
    return answer;
}

void FakeRuntime::SetNow(const LocalTime& time) { now_ = time; }

int FakeRuntime::ReadProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                                const std::wstring& path)
{
    return ProfileFile::FromUtf8(FileContents(path)).ReadInt(section, key, defaultValue);
}

std::wstring FakeRuntime::ReadProfileString(const std::wstring& section, const std::wstring& key,
                                            const std::wstring& defaultValue, std::size_t bufferChars,
                                            const std::wstring& path)
{
    return ProfileFile::FromUtf8(FileContents(path)).ReadString(section, key, defaultValue, bufferChars);
}

bool FakeRuntime::WriteProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& value, const std::wstring& path)
{
    if (failProfileWrites_)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(path);
    ProfileFile profile = found == files_.end() ? ProfileFile() : ProfileFile::FromUtf8(found->second);
    profile.WriteString(section, key, value);
    files_[path] = profile.ToUtf8();
    return true;
}

std::wstring FakeRuntime::ModulePath() { return modulePath_; }

wchar_t FakeRuntime::PathSeparator() const { return separator_; }

std::optional<std::string> FakeRuntime::WideToAnsi(std::wstring_view text)
{
    if (refuseConversions_)
        return std::nullopt;
    return codePage_->WideToAnsi(text);
}

std::optional<std::wstring> FakeRuntime::AnsiToWide(std::string_view bytes)
{
    if (refuseConversions_)
        return std::nullopt;
    return codePage_->AnsiToWide(bytes);
}

std::optional<std::wstring> FakeRuntime::SystemErrorTextWide(std::uint32_t code)
{
    const std::optional<std::wstring_view> text = SystemErrorMessage(code, errorLanguage_);
    return text ? std::optional<std::wstring>(*text) : std::nullopt;
}

std::optional<std::string> FakeRuntime::SystemErrorText(std::uint32_t code)
{
    const std::optional<std::wstring_view> text = SystemErrorMessage(code, errorLanguage_);
    if (!text)
        return std::nullopt;
    return codePage_->WideToAnsi(*text);
}

std::unique_ptr<OutputFile> FakeRuntime::CreateOutputFile(const std::wstring& name)
{
    if (failCreate_)
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        files_[name].clear();  // "wb" creates or truncates
    }
    return std::make_unique<FakeOutputFile>(*this, name);
}

bool FakeRuntime::RemoveFile(const std::wstring& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.erase(name) != 0;
}

void FakeRuntime::AppendToFile(const std::wstring& name, const void* data, std::size_t size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    files_[name].append(static_cast<const char*>(data), size);
}

bool FakeRuntime::HasFile(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.count(name) != 0;
}

std::string FakeRuntime::FileContents(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(name);
    return found == files_.end() ? std::string() : found->second;
}

void FakeRuntime::SetFile(const std::wstring& name, std::string bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    files_[name] = std::move(bytes);
}

std::intptr_t FakeRuntime::ShellOpen(const std::wstring& target)
{
    shellTargets_.push_back(target);
    return shellResult_;
}

void FakeRuntime::Beep(std::uint32_t type) { beeps_.push_back(type); }

void FakeRuntime::SetChineseLocale()
{
    std::lock_guard<std::mutex> lock(mutex_);
    chineseLocaleCalls_.push_back(allDiagnostics_.size());
}

std::vector<std::size_t> FakeRuntime::ChineseLocaleCalls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return chineseLocaleCalls_;
}

}  // namespace norvik
