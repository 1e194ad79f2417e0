#pragma once
// The script of `norvikctl batch`: one request a line, read whole before
// any request is made, with the command line's exact rules for selectors
// and hex bytes. A line the reader would have to guess at is refused with
// its place, so that a half-run script never leaves a camera half-written
// because of a typing error further down.
//
//   get CS | set CS HEX | expect CS HEX | len CS | sleep MS
//   info CS | min CS | max CS | res CS | def CS | describe CS
//
// Words are separated by blanks or tabs; a line may end in CR LF. Blank
// lines are skipped, and so is everything from a '#' at a line's start or
// after a blank (a comment). HEX is the rest of the line, read as `set
// --hex` reads its text.

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/CaptureStack.h"

namespace norvik::ctl {

enum class BatchKind { Get, Set, Expect, Len, Query, Describe, Sleep };

struct BatchRequest {
    unsigned line = 0;  // in the script, from 1
    BatchKind kind = BatchKind::Get;
    std::string name;  // as the script names it: "get", "min", ...
    std::uint8_t selector = 0;
    ControlQuery query = ControlQuery::Info;  // of a Query
    std::vector<std::uint8_t> bytes;          // of a Set or an Expect
    unsigned milliseconds = 0;                // of a Sleep
};

// The longest wait a script may ask for: an hour.
constexpr unsigned kLongestBatchSleepMs = 3600000;

// Reads a whole script. source names it in the messages (the file's name).
// Each malformed line adds "norvikctl: SOURCE:LINE: what is wrong" to
// problems; the requests are to be made only when there is none.
std::vector<BatchRequest> ParseBatchScript(const std::string& text, const std::string& source,
                                           std::vector<std::string>& problems);

}  // namespace norvik::ctl
