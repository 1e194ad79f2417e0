#include "apps/norvikctl/BatchScript.h"

#include <cstdio>
#include <optional>

#include "apps/norvikctl/StrictInput.h"
#include "session/ControlInfo.h"

namespace norvik::ctl {

namespace {

// The requests in the order the messages list them.
constexpr const char* kRequestNames = "get, set, expect, len, info, min, max, res, def, describe, sleep";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The line without its comment and its CR of a CR LF end.
std::string WithoutComment(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || IsBlank(line[i - 1]))) {
            line.erase(i);
            break;
        }
    return line;
}

struct Word {
    std::size_t start = 0;
    std::string text;
};

std::vector<Word> SplitWords(const std::string& line)
{
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        words.push_back(Word{start, line.substr(start, i - start)});
    }
    return words;
}

// Longer words are cut for a message: a binary file given by mistake would
// otherwise fill the screen.
constexpr std::size_t kLongestWordShown = 40;

// A word of the script as a message shows it: at most kLongestWordShown
// bytes, cut before a UTF-8 character's continuation, then "...".
std::string Shortened(const std::string& word)
{
    if (word.size() <= kLongestWordShown)
        return word;
    std::size_t cut = kLongestWordShown;
    while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80)
        --cut;
    return word.substr(0, cut) + "...";
}

std::string Quoted(const std::string& word) { return "\"" + Shortened(word) + "\""; }

// A message stays one line of text: control characters (a NUL would end
// it early) are written as \xNN.
std::string Printable(const std::string& text)
{
    std::string shown;
    for (char c : text) {
        const unsigned byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        shown += escape;
    }
    return shown;
}

// Reads one request line; the reason it is refused otherwise.
std::optional<BatchRequest> ReadRequest(const std::string& line, std::string& problem)
{
    const std::vector<Word> words = SplitWords(line);
    BatchRequest request;
    request.name = words[0].text;
    const std::string& name = request.name;
    std::optional<ControlQuery> query;
    if (name == "get")
        request.kind = BatchKind::Get;
    else if (name == "set")
        request.kind = BatchKind::Set;
    else if (name == "expect")
        request.kind = BatchKind::Expect;
    else if (name == "len")
        request.kind = BatchKind::Len;
    else if (name == "describe")
        request.kind = BatchKind::Describe;
    else if (name == "sleep")
        request.kind = BatchKind::Sleep;
    else if ((query = ControlQueryByName(name))) {
        request.kind = BatchKind::Query;
        request.query = *query;
    } else {
        problem = "unknown request " + Quoted(name) + " (the requests: " + kRequestNames + ")";
        return std::nullopt;
    }

    if (request.kind == BatchKind::Sleep) {
        if (words.size() != 2) {
            problem = "sleep takes one time: sleep MS";
            return std::nullopt;
        }
        if (!ParseStrictMilliseconds(words[1].text, 0, kLongestBatchSleepMs, request.milliseconds)) {
            problem = Quoted(words[1].text) + " is not a time: a whole number of milliseconds from 0 to " +
                      std::to_string(kLongestBatchSleepMs);
            return std::nullopt;
        }
        return request;
    }

    const bool takesBytes = request.kind == BatchKind::Set || request.kind == BatchKind::Expect;
    if (takesBytes && words.size() < 3) {
        problem = name + " takes a control selector and the bytes: " + name + " CS HEX";
        return std::nullopt;
    }
    if (!takesBytes && words.size() != 2) {
        problem = name + " takes one control selector: " + name + " CS";
        return std::nullopt;
    }
    std::string ignored;
    if (ParseStrictSelector(words[1].text, request.selector, ignored) != SelectorText::Valid) {
        problem = SelectorProblem(Shortened(words[1].text));
        return std::nullopt;
    }
    if (takesBytes) {
        std::string hex = line.substr(words[2].start);
        hex.erase(hex.find_last_not_of(" \t") + 1);
        if (!ReadStrictHex(hex, request.bytes, problem))
            return std::nullopt;
    }
    return request;
}

}  // namespace

std::vector<BatchRequest> ParseBatchScript(const std::string& text, const std::string& source,
                                           std::vector<std::string>& problems)
{
    std::vector<BatchRequest> requests;
    std::size_t start = 0;
    // A byte order mark an editor put before the first line is no part of it.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        start = 3;
    for (unsigned number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = WithoutComment(text.substr(start, end - start));
        start = end + 1;
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        std::string problem;
        if (std::optional<BatchRequest> request = ReadRequest(line, problem)) {
            request->line = number;
            requests.push_back(std::move(*request));
        } else {
            problems.push_back("norvikctl: " + source + ":" + std::to_string(number) + ": " +
                               Printable(problem));
        }
    }
    return requests;
}

}  // namespace norvik::ctl
