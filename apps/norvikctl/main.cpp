// norvikctl: the work of the Norvik dialog from the command line, for
// scripts and test benches. Usage in docs/norvikctl.md.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "apps/norvikctl/Commands.h"
#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/EmptyValues.h"

using namespace norvik::ctl;

namespace {

void AddUnitOptions(CLI::App& command, UnitOptions& unit)
{
    CLI::Option* guid = command.add_option(
        "--guid", unit.guid,
        "The unit's XU GUID as typed into the dialog's picker, e.g. {6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}: "
        "the first device with a node that answers it");
    CLI::Option* device =
        command.add_option("--device", unit.device, "Device position, as `list` shows it");
    CLI::Option* position =
        command.add_option("--unit", unit.unit, "Unit position within that device, as `list` shows it");
    guid->excludes(device)->excludes(position);
    device->needs(position);
    position->needs(device);
    command.add_option("--cs", unit.cs, "Control selector, decimal (1 to 255)")->required();
    command.callback([&unit, guid, device, position] {
        unit.hasGuid = guid->count() > 0;
        unit.hasDevice = device->count() > 0;
        unit.hasUnit = position->count() > 0;
    });
}

// Returns the --log option, whose empty value is refused after parsing.
CLI::Option* AddTransferOptions(CLI::App& command, TransferOptions& options)
{
    command.add_option("--repeat", options.repeat, "Make the transfer N times")
        ->check(CLI::Range(1u, 1000000000u));
    command.add_option("--interval", options.intervalMs, "Milliseconds to wait between repeats")
        ->check(CLI::Range(0u, 86400000u));
    CLI::Option* log = command.add_option(
        "--log", options.logPath, "Append every transfer to this CSV file as the dialog's transfer log saves it");
    command.add_flag("--json", options.json, "One JSON object per transfer, one per line");
    return log;
}

// Output that did not reach standard output (a full disk, a closed pipe)
// fails a command that would otherwise succeed.
int CheckStandardOutput(int status)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    std::cout.flush();  // shares the stdout stream: only its own state is new
    if (flushed && !std::ferror(stdout) && std::cout.good())
        return status;
    std::string message = "norvikctl: cannot write standard output";
    if (!flushed && error != 0)
        message += std::string(": ") + std::strerror(error);
    std::fprintf(stderr, "%s\n", message.c_str());
    return status == kExitSuccess ? kExitFailed : status;
}

int Run(int argc, char** argv)
{
    CLI::App app{"norvikctl: read and write the extension-unit controls of UVC cameras", "norvikctl"};
    app.fallthrough();
    app.require_subcommand(1);

    GlobalOptions global;
    CLI::Option* sim = app.add_option(
        "--sim", global.sim,
        "Use the simulated platform: \"demo\" or a scenario file (default: $NORVIK_SIMULATION, "
        "else the real cameras; an empty value forces the real cameras)");
    app.add_flag("--debug", global.debug, "Show the diagnostic lines on standard output");

    CLI::App* list = app.add_subcommand("list", "List every device and extension unit of one discovery run");
    bool listJson = false;
    list->add_flag("--json", listJson, "One JSON document");

    CLI::App* discover = app.add_subcommand(
        "discover", "Run one discovery and count what it found (with --debug: its diagnostic lines)");

    UnitOptions lenUnit;
    bool lenJson = false;
    CLI::App* len = app.add_subcommand("len", "Read a control's data length");
    AddUnitOptions(*len, lenUnit);
    len->add_flag("--json", lenJson, "One JSON object");

    UnitOptions getUnit;
    TransferOptions getOptions;
    CLI::App* get = app.add_subcommand("get", "Read a control's value");
    AddUnitOptions(*get, getUnit);
    CLI::Option* getLog = AddTransferOptions(*get, getOptions);
    get->add_flag("--text", getOptions.showText, "Print the value's text on a second line");

    UnitOptions setUnit;
    TransferOptions setOptions;
    CLI::App* set = app.add_subcommand("set", "Write a control's value, padded or cut to its length");
    AddUnitOptions(*set, setUnit);
    CLI::Option* setLog = AddTransferOptions(*set, setOptions);
    CLI::Option* hex = set->add_option("--hex", setOptions.hex,
                                       "The bytes as hex pairs, e.g. \"01 02\" (several words are joined by blanks)");
    CLI::Option* text = set->add_option("--text", setOptions.text, "The bytes as text, in the ANSI code page");
    hex->excludes(text);
    set->add_flag("--verify", setOptions.verify, "Read the value back after each SET and compare");

    // CLI11 wants the words in reverse order.
    std::vector<std::string> words = SplitEmptyOptionValues(argc, argv);
    std::reverse(words.begin(), words.end());
    try {
        app.parse(words);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitSuccess : kExitUsage;
    }
    global.simGiven = sim->count() > 0;
    // An empty --log (a script's empty variable) is refused, not taken as
    // "no log": the transfers would go unrecorded without a word.
    if ((getLog->count() > 0 && getOptions.logPath.empty()) || (setLog->count() > 0 && setOptions.logPath.empty())) {
        std::fprintf(stderr, "norvikctl: --log needs a file name\n");
        return kExitUsage;
    }
    setOptions.hasHex = hex->count() > 0;
    setOptions.hasText = text->count() > 0;

    if (*list)
        return RunList(global, listJson);
    if (*discover)
        return RunDiscover(global);
    if (*len)
        return RunLen(global, lenUnit, lenJson);
    if (*get)
        return RunGet(global, getUnit, getOptions);
    return RunSet(global, setUnit, setOptions);
}

// Says why the command stopped, after whatever it printed so far.
int Stop(int status, const std::string& message)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", message.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    int status;
    try {
        status = Run(argc, argv);
    } catch (const CtlError& error) {
        status = Stop(error.exitCode, error.message);
    } catch (const std::bad_alloc&) {
        status = Stop(kExitFailed, "norvikctl: out of memory");
    } catch (const std::exception& error) {
        status = Stop(kExitFailed, std::string("norvikctl: ") + error.what());
    } catch (...) {
        status = Stop(kExitFailed, "norvikctl: stopped by an unexpected error");
    }
    return CheckStandardOutput(status);
}
