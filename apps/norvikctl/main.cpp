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

#include "apps/norvikctl/Batch.h"
#include "apps/norvikctl/Commands.h"
#include "apps/norvikctl/CtlError.h"
#include "apps/norvikctl/CtlSystem.h"
#include "apps/norvikctl/EmptyValues.h"
#include "apps/norvikctl/StrictInput.h"
#include "runtime/Utf8.h"
#include "shell/BuildTimestamp.h"

using namespace norvik::ctl;

namespace {

// The requests of a batch script, after the options of `batch --help`.
const char* const kBatchRequests =
    "Requests, one a line (blank lines and # comments are skipped):\n"
    "  get CS         read the value\n"
    "  set CS HEX     write the bytes, padded or cut to the control's length\n"
    "  expect CS HEX  read the value; the request fails unless it is HEX (padded with zeros)\n"
    "  len CS         the control's length\n"
    "  info CS        GET_INFO: the information byte and the names of its bits\n"
    "  min CS, max CS, res CS, def CS\n"
    "                 GET_MIN, GET_MAX, GET_RES, GET_DEF\n"
    "  describe CS    every request of the class, as the info subcommand makes them\n"
    "  sleep MS       wait MS milliseconds\n"
    "CS and HEX are read as --cs and set --hex read them. The whole script is read first: a malformed\n"
    "line is refused with its place (exit 2) and nothing is sent. The first failure ends the batch\n"
    "(exit 1) unless --keep-going is given.\n";

void AddUnitOptions(CLI::App& command, UnitOptions& unit, bool withSelector = true)
{
    CLI::Option* camera = command.add_option(
        "--camera", unit.camera,
        "The camera, by what tells it apart from an identical one: a location as `list` shows it, a video "
        "node (/dev/videoN), VID:PID or VID:PID:SERIAL (IDs as four hex digits). With --guid, the unit "
        "with that GUID on this camera only; with --unit, the unit at that position on it");
    camera->type_name("ADDRESS");
    CLI::Option* guid = command.add_option(
        "--guid", unit.guid,
        "The unit's XU GUID as typed into the dialog's picker, e.g. {6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}: "
        "the first device with a node that answers it (with --camera: that camera)");
    CLI::Option* device = command.add_option("--device", unit.device, "Device position, as `list` shows it");
    CLI::Option* position = command.add_option(
        "--unit", unit.unit, "Unit position within that device (or the --camera), as `list` shows it");
    guid->excludes(device)->excludes(position);
    camera->excludes(device);
    device->needs(position);
    if (withSelector)
        command.add_option("--cs", unit.cs, "Control selector, 1 to 255: decimal, or hex with 0x")
            ->required();
    command.callback([&unit, camera, guid, device, position] {
        unit.hasCamera = camera->count() > 0;
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
    CLI::Option* log =
        command.add_option("--log", options.logPath,
                           "Append every transfer to this CSV file as the dialog's transfer log saves it");
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

// The About box's version line and, when the build knew it, its commit.
std::string VersionText()
{
    norvik::BuildTimestamp stamp;
    norvik::ParseBuildTimestamp(stamp);
    std::string text = "norvikctl " + norvik::WideToUtf8(norvik::FormatVersionLine(stamp));
    const std::string commit = norvik::BuildCommitText();
    if (!commit.empty())
        text += ", commit " + commit;
    return text;
}

// The first word from `from` on that is not an option or the value of a
// global option: the subcommand the user meant. Empty when there is none;
// at is where it was found.
std::string FirstCommandWord(const std::vector<std::string>& words, std::size_t from = 0,
                             std::size_t* at = nullptr)
{
    for (std::size_t i = from; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--")
            break;
        if (word == "--sim" || word == "--log-format" || word == "--timeout") {
            ++i;
            continue;
        }
        if (!word.empty() && word[0] == '-')
            continue;
        if (at)
            *at = i;
        return word;
    }
    return std::string();
}

std::string SubcommandNames(const CLI::App& app)
{
    std::string names;
    for (const CLI::App* command : app.get_subcommands({})) {
        if (!names.empty())
            names += ", ";
        names += command->get_name();
    }
    return names;
}

// norvikctl help [SUBCOMMAND]: the usage on standard output.
int RunHelp(const CLI::App& app, const std::string& topic)
{
    if (topic.empty()) {
        std::fputs(app.help().c_str(), stdout);
        return kExitSuccess;
    }
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->get_name() == topic) {
            std::fputs(command->help(app.get_name()).c_str(), stdout);
            return kExitSuccess;
        }
    }
    std::fprintf(stderr, "norvikctl: help: unknown subcommand \"%s\" (the subcommands: %s)\n", topic.c_str(),
                 SubcommandNames(app).c_str());
    return kExitUsage;
}

int Run(int argc, char** argv)
{
    CLI::App app{"norvikctl: read and write the extension-unit controls of UVC cameras", "norvikctl"};
    app.fallthrough();
    app.require_subcommand(1);
    app.set_version_flag("--version",
                         VersionText() +
                             "\nCopyright (c) 2026 The Norvik developers\n"
                             "License: MIT <https://opensource.org/licenses/MIT>",
                         "Print the version and the build's commit");
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return "norvikctl: " + std::string(error.what()) + "\nnorvikctl: see norvikctl help\n";
    });

    GlobalOptions global;
    CLI::Option* sim = app.add_option(
        "--sim", global.sim,
        "Use the simulated platform: \"demo\" or a scenario file (default: $NORVIK_SIMULATION, "
        "else the real cameras; an empty value forces the real cameras)");
    app.add_option("--log-format", global.logFormat,
                   "The --log file's form: norvik (the dialog's bytes, the default) or csv (RFC 4180, UTF-8)")
        ->check(CLI::IsMember({"norvik", "csv"}));
    std::string timeout;
    CLI::Option* timeoutOption = app.add_option(
        "--timeout", timeout,
        "Milliseconds one request may take before it is abandoned (1 to 3600000; default 500, the dialog's)");
    app.add_flag("--debug", global.debug,
                 "Show the diagnostic lines: on standard output, or on standard error with --json");

    app.add_subcommand("help", "Show the usage of norvikctl or of one subcommand: help [SUBCOMMAND]");

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

    UnitOptions infoUnit;
    bool infoJson = false;
    CLI::App* info = app.add_subcommand(
        "info",
        "Ask one control for everything: length, INFO bits, current, minimum, maximum, resolution, default");
    AddUnitOptions(*info, infoUnit);
    info->add_flag("--json", infoJson, "One JSON object");

    UnitOptions controlsUnit;
    bool controlsJson = false;
    CLI::App* controls = app.add_subcommand(
        "controls",
        "Every control the unit declares in its descriptor's bmControls, as info describes it, in a table");
    AddUnitOptions(*controls, controlsUnit, false);
    controls->add_flag("--json", controlsJson, "One JSON document");

    UnitOptions getUnit;
    TransferOptions getOptions;
    CLI::App* get = app.add_subcommand("get", "Read a control's value");
    AddUnitOptions(*get, getUnit);
    CLI::Option* getLog = AddTransferOptions(*get, getOptions);
    get->add_flag("--text", getOptions.showText, "Print the value's text on a second line");
    CLI::Option* out = get->add_option("--out", getOptions.outPath, "Write the raw value read to this file");

    UnitOptions setUnit;
    TransferOptions setOptions;
    CLI::App* set = app.add_subcommand("set", "Write a control's value, padded or cut to its length");
    AddUnitOptions(*set, setUnit);
    CLI::Option* setLog = AddTransferOptions(*set, setOptions);
    CLI::Option* hex = set->add_option(
        "--hex", setOptions.hex,
        "The bytes as hex pairs, e.g. \"01 02\" or 0x0102 (several words are joined by blanks)");
    CLI::Option* text =
        set->add_option("--text", setOptions.text, "The bytes as text, in the ANSI code page");
    CLI::Option* dataFile = set->add_option("--data-file", setOptions.dataFile, "Send this file's raw bytes");
    hex->excludes(text)->excludes(dataFile);
    text->excludes(dataFile);
    set->add_flag("--verify", setOptions.verify, "Read the value back after each SET and compare");

    UnitOptions batchUnit;
    BatchOptions batchOptions;
    CLI::App* batch = app.add_subcommand(
        "batch", "Make the requests of a script on one unit, one a line, with one JSON object for each");
    AddUnitOptions(*batch, batchUnit, false);
    batch->add_option("FILE", batchOptions.script, "The script; - (the default) reads standard input");
    CLI::Option* batchLog =
        batch->add_option("--log", batchOptions.logPath,
                          "Append every transfer to this CSV file as the dialog's transfer log saves it");
    batch->add_flag("--keep-going", batchOptions.keepGoing, "Make every request even after one failed");
    batch->footer(kBatchRequests);

    std::vector<std::string> words = SplitEmptyOptionValues(argc, argv);
    std::size_t commandAt = 0;
    const std::string commandWord = FirstCommandWord(words, 0, &commandAt);
    const auto commands = app.get_subcommands({});
    const bool known = std::any_of(commands.begin(), commands.end(), [&](const CLI::App* command) {
        return command->get_name() == commandWord;
    });
    if (!commandWord.empty() && !known) {
        std::fprintf(stderr, "norvikctl: unknown subcommand \"%s\" (the subcommands: %s)\n",
                     commandWord.c_str(), SubcommandNames(app).c_str());
        return kExitUsage;
    }
    // The topic of help would otherwise be taken for a subcommand to run.
    if (commandWord == "help")
        return RunHelp(app, FirstCommandWord(words, commandAt + 1));
    // CLI11 wants the words in reverse order.
    std::reverse(words.begin(), words.end());
    try {
        app.parse(words);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitSuccess : kExitUsage;
    }
    global.simGiven = sim->count() > 0;
    if (timeoutOption->count() > 0 && !ParseStrictMilliseconds(timeout, 1, 3600000, global.timeoutMs)) {
        std::fprintf(
            stderr,
            "norvikctl: --timeout \"%s\" is not a time limit: a whole number of milliseconds from 1 to "
            "3600000\n",
            timeout.c_str());
        return kExitUsage;
    }
    // An empty --log (a script's empty variable) is refused, not taken as
    // "no log": the transfers would go unrecorded without a word.
    if ((getLog->count() > 0 && getOptions.logPath.empty()) ||
        (setLog->count() > 0 && setOptions.logPath.empty()) ||
        (batchLog->count() > 0 && batchOptions.logPath.empty())) {
        std::fprintf(stderr, "norvikctl: --log needs a file name\n");
        return kExitUsage;
    }
    global.json = listJson || lenJson || infoJson || controlsJson || getOptions.json || setOptions.json;
    setOptions.hasHex = hex->count() > 0;
    setOptions.hasText = text->count() > 0;
    setOptions.hasDataFile = dataFile->count() > 0;
    getOptions.hasOut = out->count() > 0;
    if ((setOptions.hasDataFile && setOptions.dataFile.empty()) ||
        (getOptions.hasOut && getOptions.outPath.empty())) {
        std::fprintf(stderr, "norvikctl: %s needs a file name\n",
                     getOptions.hasOut ? "--out" : "--data-file");
        return kExitUsage;
    }

    if (*list)
        return RunList(global, listJson);
    if (*discover)
        return RunDiscover(global);
    if (*len)
        return RunLen(global, lenUnit, lenJson);
    if (*info)
        return RunInfo(global, infoUnit, infoJson);
    if (*controls)
        return RunControls(global, controlsUnit, controlsJson);
    if (*get)
        return RunGet(global, getUnit, getOptions);
    if (*batch)
        return RunBatch(global, batchUnit, batchOptions);
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
    ConsoleProgram console(argc, argv);
    int status;
    try {
        status = Run(console.Argc(), console.Argv());
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
