#pragma once
// The steps the subcommands that work on one unit share, so that `batch`
// takes them exactly as `get` and `set` do: the machine, the unit the
// options name, the selector check and length probe, the transfer log, and
// how a transfer is printed. Defined in Commands.cpp; each failure throws
// CtlError.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "apps/norvikctl/Commands.h"
#include "apps/norvikctl/CsvLog.h"
#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/CtlMachine.h"
#include "session/UnitSession.h"

namespace norvik::ctl {

// One line of UTF-8 text.
void PrintLine(std::FILE* stream, const std::string& utf8);
void PrintOut(const std::wstring& text);
void PrintErr(const std::wstring& text);
// The value as one line of standard output.
void PrintJson(const nlohmann::ordered_json& value);

// The machine the global options choose, announced on standard error when
// its cameras are simulated.
std::unique_ptr<CtlMachine> MakeMachine(const GlobalOptions& global);
// Refuses unit options that name no unit.
void CheckUnitChoice(const UnitOptions& unit);
// Opens the unit the options name, as the dialog's picker would.
void OpenUnit(UnitSession& session, const UnitOptions& unit);

// Gives up with a text of the session's (its own line end left to main).
[[noreturn]] void FailWith(int exitCode, const std::wstring& text, const std::string& prefix = "");
// Stops the command on a refused text conversion.
void CheckStep(const SessionResult& result);
// Refuses a --cs text before any device is touched; the selector as the
// session reads it.
std::wstring CheckSelector(const std::string& cs, std::uint8_t* selectorOut = nullptr);
// Probes the selector's length, failing with the dialog's message.
void Prepare(UnitSession& session, const std::wstring& cs);

// A transfer as `get --json` and `set --json` print it.
nlohmann::ordered_json RowJson(const TransferRecord& row, std::uint16_t length);
// What a SET does to bytes that are not the control's length, for standard
// error: "2 bytes given, the control's length is 6: padded with 4 zero
// bytes"; empty when they fit.
std::string FitText(std::size_t given, std::uint16_t length);

// Counts and logs the transfers of one command.
class TransferRun {
public:
    TransferRun(CtlMachine& machine, const GlobalOptions& global, const TransferOptions& options)
    {
        if (!options.logPath.empty())
            log_.emplace(machine.GetRuntime(), options.logPath,
                         global.logFormat == "csv" ? LogFormat::Csv : LogFormat::Norvik);
        nextLine_ = log_ ? log_->NextLine() : 1;
    }

    unsigned TakeLine() { return nextLine_++; }

    void Record(const TransferRecord& row)
    {
        if (log_)
            log_->Append(row.Cells());
        if (!row.ok)
            failed_ = true;
    }

    void MarkFailed() { failed_ = true; }
    int ExitCode() const { return failed_ ? kExitFailed : kExitSuccess; }

private:
    std::optional<CsvLog> log_;
    unsigned nextLine_ = 1;
    bool failed_ = false;
};

}  // namespace norvik::ctl
