#pragma once
// The subcommands of norvikctl, given the parsed command line. Each returns
// the exit status or throws CtlError.

#include <cstdint>
#include <string>
#include <vector>

namespace norvik::ctl {

struct GlobalOptions {
    std::string sim;
    bool simGiven = false;
    bool debug = false;
};

// Which unit and which control selector.
struct UnitOptions {
    std::string guid;
    bool hasGuid = false;
    std::uint32_t device = 0;
    bool hasDevice = false;
    std::uint32_t unit = 0;
    bool hasUnit = false;
    std::string cs;
};

struct TransferOptions {
    unsigned repeat = 1;
    unsigned intervalMs = 0;
    std::string logPath;
    bool json = false;
    bool showText = false;            // get: print the value's text too
    std::vector<std::string> hex;     // set: hex pairs, the words joined by blanks
    bool hasHex = false;
    std::string text;                 // set: text in the ANSI code page
    bool hasText = false;
    bool verify = false;              // set: read back and compare
};

int RunList(const GlobalOptions& global, bool json);
int RunDiscover(const GlobalOptions& global);
int RunLen(const GlobalOptions& global, const UnitOptions& unit, bool json);
int RunGet(const GlobalOptions& global, const UnitOptions& unit, const TransferOptions& options);
int RunSet(const GlobalOptions& global, const UnitOptions& unit, const TransferOptions& options);

}  // namespace norvik::ctl
