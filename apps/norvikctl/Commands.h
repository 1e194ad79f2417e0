#pragma once
// The subcommands of norvikctl, given the parsed command line. Each returns
// the exit status or throws CtlError.

#include <cstdint>
#include <string>
#include <vector>

#include "channel/ChannelWorker.h"

namespace norvik::ctl {

struct GlobalOptions {
    std::string sim;
    bool simGiven = false;
    bool debug = false;
    bool json = false;                        // the output is JSON: diagnostics go to standard error
    std::string logFormat = "norvik";         // of the --log file: "norvik" or "csv"
    unsigned timeoutMs = kWorkerTimeLimitMs;  // how long one request may take
};

// Which unit and which control selector.
struct UnitOptions {
    std::string camera;  // --camera: an address (CameraAddress.h)
    bool hasCamera = false;
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
    bool showText = false;         // get: print the value's text too
    std::vector<std::string> hex;  // set: hex pairs, the words joined by blanks
    bool hasHex = false;
    std::string text;  // set: text in the ANSI code page
    bool hasText = false;
    std::string dataFile;  // set: a file's raw bytes
    bool hasDataFile = false;
    std::string outPath;  // get: the raw value goes to this file
    bool hasOut = false;
    bool verify = false;  // set: read back and compare
};

int RunList(const GlobalOptions& global, bool json);
int RunDiscover(const GlobalOptions& global);
// Every query of one control (--cs); controls: of every control the unit
// declares. Exit 1 when any request failed, the output printed all the same.
int RunInfo(const GlobalOptions& global, const UnitOptions& unit, bool json);
int RunControls(const GlobalOptions& global, const UnitOptions& unit, bool json);
int RunLen(const GlobalOptions& global, const UnitOptions& unit, bool json);
int RunGet(const GlobalOptions& global, const UnitOptions& unit, const TransferOptions& options);
int RunSet(const GlobalOptions& global, const UnitOptions& unit, const TransferOptions& options);

}  // namespace norvik::ctl
