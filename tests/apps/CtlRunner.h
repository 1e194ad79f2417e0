#pragma once
// Runs the built norvikctl as a user would, in a scratch directory of its
// own, and captures its exit status, standard output and standard error.
// The same tests run on Linux and, under Wine, on Windows.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CtlProcess.h"
#include "runtime/SystemErrorTexts.h"
#include "runtime/Utf8.h"

namespace norvik::testing {

struct CtlResult {
    int status = -1;
    std::string out;
    std::string err;           // without the announcement line
    std::string announcement;  // "norvikctl: simulated cameras from ...\n" when it came first on err
};

inline const std::string kSimAnnouncement = "norvikctl: simulated cameras from ";

inline std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Every run on simulated cameras starts its standard error with the
// announcement; the tests of what a command says compare the rest.
inline void SplitAnnouncement(CtlResult& result)
{
    if (result.err.rfind(kSimAnnouncement, 0) == 0) {
        const std::size_t end = result.err.find('\n');
        const std::size_t cut = end == std::string::npos ? result.err.size() : end + 1;
        result.announcement = result.err.substr(0, cut);
        result.err.erase(0, cut);
    }
}

// "0x8007001f: TEXT" as a failed request's code is worded, the system's
// text without its line end; empty when the system has no text.
inline std::string CodeText(std::uint32_t code)
{
    std::string text = SystemText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        return text;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x: ", unsigned(code));
    return hex + text;
}

// The dialog's failure cell: its text, then " 错误码" and the code's text
// when the system has one.
inline std::string FailureCell(const std::string& failure, std::uint32_t code)
{
    const std::string text = CodeText(code);
    return text.empty() ? failure : failure + " 错误码" + text;
}

// Whether this system's texts for these codes are the built-in English
// ones, which the dialog gets in a test on the fake runtime: a comparison of
// the dialog's bytes with norvikctl's needs them to be. Wine's message table
// differs from Windows'.
inline bool SystemTextsAreTheBuiltInOnes(std::initializer_list<std::uint32_t> codes)
{
    for (std::uint32_t code : codes) {
        const auto table = SystemErrorMessage(code, ErrorTextLanguage::English);
        if (!table || SystemText(code) != WideToUtf8(*table))
            return false;
    }
    return true;
}

inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CtlTest : public ::testing::Test {
public:
    // A file of the scratch directory the runs work in; the name is UTF-8.
    std::filesystem::path ScratchPath(const std::string& name) const
    {
        return dir_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
    }

    // A path as UTF-8, the form norvikctl's arguments take.
    static std::string Utf8Path(const std::filesystem::path& path)
    {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

protected:
    void SetUp() override
    {
        std::random_device random;
        dir_ = std::filesystem::temp_directory_path() /
               ("norvikctl-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(dir_);
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::filesystem::path Path(const std::string& name) const { return ScratchPath(name); }

    std::string WriteFile(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Utf8Path(Path(name));
    }

    // simulation: the NORVIK_SIMULATION value, or empty to leave it unset.
    // environment: more variables to set (or, without a value, to remove).
    CtlResult Run(const std::vector<std::string>& args, const std::string& simulation = "demo",
                  const std::vector<EnvironmentChange>& environment = {}) const
    {
        return RunInto(args, simulation, environment, "ctl.out", "ctl.err");
    }

    // The same, with standard output and error in these files of the
    // scratch directory (runs of other threads may use other files at
    // once), and standard input from the file inName when it is given.
    CtlResult RunInto(const std::vector<std::string>& args, const std::string& simulation,
                      const std::vector<EnvironmentChange>& environment, const std::string& outName,
                      const std::string& errName, const std::string& inName = "") const
    {
        ProcessRun run;
        run.program = NORVIKCTL_PATH;
        run.args = args;
        run.environment.emplace_back("NORVIK_SIMULATION", std::nullopt);
        if (!simulation.empty())
            run.environment.emplace_back("NORVIK_SIMULATION", simulation);
        run.environment.insert(run.environment.end(), environment.begin(), environment.end());
        run.directory = dir_;
        run.out = Path(outName);
        run.err = Path(errName);
        if (!inName.empty())
            run.in = Path(inName);
        std::error_code ignored;
        std::filesystem::remove(run.out, ignored);
        std::filesystem::remove(run.err, ignored);
        CtlResult result;
        result.status = RunProcess(run);
        result.out = ReadFileBytes(run.out);
        result.err = ReadFileBytes(run.err);
        SplitAnnouncement(result);
        return result;
    }

private:
    std::filesystem::path dir_;
};

// A camera with two extension units tied to its USB descriptor. Unit
// {11111111-...}: 1 a 6-byte text, 2 refuses SET, 3 refuses GET, 4 answers
// too late. Unit {AAAAAAAA-...}: 1 "xyz", 2 a value with a line break.
inline const char* kBenchScenario = R"({
  "cameras": [{
    "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_5678&mi_00#1&2&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    "friendlyName": "Bench Camera",
    "nodes": [{"type": "other"},
              {"type": "xu", "guid": "{11111111-2222-3333-4444-555555555555}"},
              {"type": "xu", "guid": "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"}],
    "controls": {
      "{11111111-2222-3333-4444-555555555555}": {
        "1": {"length": 6, "text": "v1.0"},
        "2": {"length": 2, "value": "00 00", "setFail": "0x8007001F"},
        "3": {"length": 2, "value": "01 02", "getFail": "0x8007001F"},
        "4": {"length": 2, "value": "00 00", "delayMs": 600}
      },
      "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}": {
        "1": {"length": 3, "text": "xyz"},
        "2": {"length": 4, "value": "41 0D 0A 42"}
      }
    }
  }],
  "usb": {"controllers": [{
    "index": 0,
    "driverKey": "{36fc9e60-c465-11cf-8056-444553540000}\\0000",
    "rootHub": "USB#ROOT_HUB30#4&1&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}",
    "hub": {"ports": 2, "children": {"1": {
      "idVendor": "0x1234", "idProduct": "0x5678",
      "driverKey": "{36fc9e60-c465-11cf-8056-444553540000}\\0001",
      "config": {"extensionUnits": [
        {"unitId": 7, "guid": "{11111111-2222-3333-4444-555555555555}"},
        {"unitId": 8, "guid": "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"}]}}}}}]}
})";

}  // namespace norvik::testing
