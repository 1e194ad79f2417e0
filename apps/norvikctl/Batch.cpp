#include "apps/norvikctl/Batch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <nlohmann/json.hpp>

#include "apps/norvikctl/BatchScript.h"
#include "apps/norvikctl/CommandSteps.h"
#include "apps/norvikctl/ControlReport.h"
#include "runtime/Utf8.h"
#include "session/Codecs.h"
#include "session/ControlInfo.h"

namespace norvik::ctl {

namespace {

using Json = nlohmann::ordered_json;

// Far more than any bench sequence: surely the wrong file.
constexpr std::size_t kMostScriptBytes = 16 << 20;
// Malformed lines reported one by one before the rest are only counted.
constexpr std::size_t kMostProblemsShown = 10;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The whole script, from a file or ("-") standard input.
std::string ReadScript(const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> opened;
    std::FILE* file = stdin;
    if (path != "-") {
        opened.reset(std::fopen(path.c_str(), "rb"));
        if (!opened)
            FailUsage("norvikctl: batch: cannot open " + path + ": " + std::strerror(errno));
        file = opened.get();
    }
    std::string text;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() <= kMostScriptBytes)
        text.append(chunk, got);
    if (std::ferror(file))
        FailUsage("norvikctl: batch: cannot read " + path);
    if (text.size() > kMostScriptBytes)
        FailUsage("norvikctl: batch: " + path + " holds more than 16 MiB, far more than a script");
    return text;
}

// The malformed lines, at most kMostProblemsShown of them, as one message.
std::string ProblemsMessage(const std::vector<std::string>& problems, const std::string& source)
{
    std::string message;
    for (std::size_t i = 0; i < problems.size() && i < kMostProblemsShown; ++i)
        message += (i == 0 ? "" : "\n") + problems[i];
    if (problems.size() > kMostProblemsShown)
        message += "\nnorvikctl: " + source + ": " + std::to_string(problems.size() - kMostProblemsShown) +
                   " more malformed lines";
    message += "\nnorvikctl: nothing was sent";
    return message;
}

std::string HexText(const std::vector<std::uint8_t>& bytes)
{
    return WideToUtf8(FormatHexBytes(bytes.data(), bytes.size()));
}

// A session's failure as one line: its text without a line end of its own.
std::string FailureText(const SessionResult& result)
{
    std::string text = WideToUtf8(result.text);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (result.failure == SessionFailure::Conversion)
        text = "a text conversion failed: " + text;
    return text;
}

// Makes the requests of a script on the open unit, one at a time.
class BatchRun {
public:
    BatchRun(Runtime& runtime, UnitSession& session, TransferRun& transfers, std::string source)
        : runtime_(runtime), session_(session), transfers_(transfers), source_(std::move(source))
    {
    }

    // Makes one request and prints its object; false when it failed, which
    // is then also said on standard error.
    bool Make(const BatchRequest& request)
    {
        Json object{{"scriptLine", request.line}, {"request", request.name}};
        std::string failure;
        const Json answer = Answer(request, failure);
        for (auto member = answer.begin(); member != answer.end(); ++member)
            object[member.key()] = member.value();
        object["ok"] = failure.empty();
        if (!failure.empty())
            object["failure"] = failure;
        PrintJson(object);
        std::fflush(stdout);  // a reader of the stream sees each request as it ends
        if (failure.empty())
            return true;
        std::string line = "norvikctl: " + source_ + ":" + std::to_string(request.line) + ": " + request.name;
        if (request.kind != BatchKind::Sleep)
            line += " " + std::to_string(request.selector);
        std::fprintf(stderr, "%s: %s\n", line.c_str(), failure.c_str());
        return false;
    }

private:
    // The request's members of the object; failure says why it did not pass.
    Json Answer(const BatchRequest& request, std::string& failure)
    {
        switch (request.kind) {
        case BatchKind::Get:
        case BatchKind::Set:
        case BatchKind::Expect:
            return Transfer(request, failure);
        case BatchKind::Len:
            return Length(request, failure);
        case BatchKind::Query:
            return Query(request, failure);
        case BatchKind::Describe:
            return Describe(request, failure);
        case BatchKind::Sleep:
            runtime_.Sleep(request.milliseconds);
            return Json{{"milliseconds", request.milliseconds}};
        }
        return Json::object();
    }

    static std::wstring SelectorText(const BatchRequest& request)
    {
        return std::to_wstring(unsigned(request.selector));
    }

    // The selector's length as `get` knows it: probed when the selector
    // changes, with the dialog's message when the probe fails.
    bool Prepared(const BatchRequest& request, std::string& failure)
    {
        const SessionResult prepared = session_.Prepare(SelectorText(request));
        if (!prepared)
            failure = FailureText(prepared);
        return bool(prepared);
    }

    Json Transfer(const BatchRequest& request, std::string& failure)
    {
        if (!Prepared(request, failure))
            return Json{{"selector", request.selector}};
        const std::uint16_t length = session_.Length();
        TransferRecord row;
        SessionResult done;
        if (request.kind == BatchKind::Set) {
            const std::string fit = FitText(request.bytes.size(), length);
            if (!fit.empty()) {
                std::fflush(stdout);
                std::fprintf(stderr, "norvikctl: %s:%u: %s\n", source_.c_str(), request.line, fit.c_str());
            }
            const std::wstring hex = FormatHexBytes(request.bytes.data(), request.bytes.size());
            done = session_.Set(SelectorText(request), hex, true, transfers_.TakeLine(), session_.OpenedAs(),
                                row);
        } else {
            done = session_.Get(SelectorText(request), transfers_.TakeLine(), session_.OpenedAs(), row);
        }
        if (done.failure == SessionFailure::Conversion) {
            failure = FailureText(done);
            return Json{{"selector", request.selector}};
        }
        transfers_.Record(row);
        Json object = RowJson(row, length);
        if (!row.ok)
            failure = WideToUtf8(row.dataHex);
        if (request.kind == BatchKind::Expect)
            Compare(request.bytes, row, length, object, failure);
        return object;
    }

    // The bytes expected, padded with zeros to the control's length as a SET
    // of them would be, against the bytes read.
    static void Compare(std::vector<std::uint8_t> expected, const TransferRecord& row, std::uint16_t length,
                        Json& object, std::string& failure)
    {
        const bool fits = expected.size() <= length;
        const std::size_t given = expected.size();
        if (fits)
            expected.resize(length, 0);
        const bool matched = row.ok && fits && row.bytes == expected;
        object["expected"] = HexText(expected);
        object["matched"] = matched;
        if (!row.ok || matched)
            return;
        if (!fits)
            failure =
                std::to_string(given) + " bytes expected, the control's length is " + std::to_string(length);
        else
            failure = "read " + HexText(row.bytes) + ", expected " + HexText(expected);
    }

    Json Length(const BatchRequest& request, std::string& failure)
    {
        if (!Prepared(request, failure))
            return Json{{"selector", request.selector}, {"length", nullptr}};
        std::wstring device, xuGuid;
        const SessionResult described = session_.DescribeSource(session_.OpenedAs(), device, xuGuid);
        if (!described)
            failure = FailureText(described);
        return Json{{"selector", session_.Selector()},
                    {"length", session_.Length()},
                    {"device", WideToUtf8(device)},
                    {"xuGuid", WideToUtf8(xuGuid)}};
    }

    // One class query, named as `info --json` names its item.
    Json Query(const BatchRequest& request, std::string& failure)
    {
        QueryItem item;
        const SessionResult asked = session_.Query(request.selector, request.query, item);
        if (!asked)
            failure = FailureText(asked);
        Json object{{"selector", request.selector}};
        if (request.query != ControlQuery::Info) {
            object[request.name] = item.available ? Json(ItemCell(item)) : Json(nullptr);
            return object;
        }
        const bool answered = item.available && !item.bytes.empty();
        object["info"] = answered ? Json(item.bytes[0]) : Json(nullptr);
        Json caps = Json::array();
        if (answered)
            for (const std::string& name : InfoCapabilities(item.bytes[0]))
                caps.push_back(name);
        object["caps"] = std::move(caps);
        return object;
    }

    Json Describe(const BatchRequest& request, std::string& failure)
    {
        ControlDescription description;
        const SessionResult described = session_.Describe(request.selector, description);
        if (!described) {
            failure = FailureText(described);
            return Json{{"selector", request.selector}};
        }
        const unsigned failed = description.Failures();
        if (failed > 0)
            failure = std::to_string(failed) + " of " + std::to_string(std::size(kControlItems)) +
                      " requests failed";
        return ControlJson(description);
    }

    Runtime& runtime_;
    UnitSession& session_;
    TransferRun& transfers_;
    std::string source_;
};

}  // namespace

int RunBatch(const GlobalOptions& global, const UnitOptions& unit, const BatchOptions& options)
{
    CheckUnitChoice(unit);
    const std::string source = options.script == "-" ? "<stdin>" : options.script;
    std::vector<std::string> problems;
    const std::vector<BatchRequest> requests = ParseBatchScript(ReadScript(options.script), source, problems);
    if (!problems.empty())
        FailUsage(ProblemsMessage(problems, source));
    if (requests.empty())
        FailUsage("norvikctl: " + source + ": no request in the script");

    // The output is JSON: diagnostic lines go to standard error.
    GlobalOptions jsonGlobal = global;
    jsonGlobal.json = true;
    auto machine = MakeMachine(jsonGlobal);
    TransferOptions logOptions;
    logOptions.logPath = options.logPath;
    TransferRun transfers(*machine, jsonGlobal, logOptions);
    UnitSession session(machine->Discovery());
    session.SetRequestTimeLimit(global.timeoutMs);
    session.KeepLog(false);  // the --log file is the log
    OpenUnit(session, unit);

    BatchRun run(machine->GetRuntime(), session, transfers, source);
    std::size_t made = 0;
    unsigned failed = 0;
    for (const BatchRequest& request : requests) {
        ++made;
        if (!run.Make(request)) {
            ++failed;
            if (!options.keepGoing)
                break;
        }
    }
    if (made < requests.size())
        std::fprintf(stderr, "norvikctl: the batch stopped; %zu of %zu requests not made\n",
                     requests.size() - made, requests.size());
    else if (failed > 0)
        std::fprintf(stderr, "norvikctl: %u of %zu requests failed\n", failed, requests.size());
    return failed > 0 ? kExitFailed : kExitSuccess;
}

}  // namespace norvik::ctl
