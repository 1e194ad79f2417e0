#pragma once
// norvikctl batch: the requests of a script (BatchScript.h) on one unit,
// opened once as `get` opens it. One JSON object a line per request; the
// first failure ends the batch unless it is to keep going.

#include <string>

#include "apps/norvikctl/Commands.h"

namespace norvik::ctl {

struct BatchOptions {
    std::string script = "-";  // a file's name, or "-" for standard input
    bool keepGoing = false;    // run every request even after one failed
    std::string logPath;       // the transfer log, as get and set keep it
};

// Exit 0 when every request passed, 1 when one failed, 2 when the script
// holds a malformed line (nothing is then sent).
int RunBatch(const GlobalOptions& global, const UnitOptions& unit, const BatchOptions& options);

}  // namespace norvik::ctl
