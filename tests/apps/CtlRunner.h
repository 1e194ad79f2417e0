#pragma once
// Runs the built norvikctl as a user would, in a scratch directory of its
// own, and captures its exit status, standard output and standard error.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace norvik::testing {

struct CtlResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CtlTest : public ::testing::Test {
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

    std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

    std::string WriteFile(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name).string();
    }

    // simulation: the NORVIK_SIMULATION value, or empty to leave it unset.
    // Error texts are asked for in English (LC_ALL=C).
    CtlResult Run(const std::vector<std::string>& args, const std::string& simulation = "demo") const
    {
        return RunShell(CtlCommand(args, simulation) + " >ctl.out 2>ctl.err");
    }

    // The command line that runs norvikctl with these arguments, for a test
    // that redirects or combines runs itself. A run that hangs is killed
    // after 60 s (exit status 124), so that a hang fails the test instead of
    // stopping the suite.
    static std::string CtlCommand(const std::vector<std::string>& args, const std::string& simulation = "demo")
    {
        std::string command = "env -u NORVIK_SIMULATION LC_ALL=C ";
        if (!simulation.empty())
            command += "NORVIK_SIMULATION=" + ShellQuote(simulation) + " ";
        command += "timeout -k 5 60 " + ShellQuote(NORVIKCTL_PATH);
        for (const std::string& arg : args)
            command += " " + ShellQuote(arg);
        return command;
    }

    // Runs a shell command in the scratch directory; ctl.out and ctl.err are
    // read back as the output when the command writes them.
    CtlResult RunShell(const std::string& shellCommand) const
    {
        std::error_code ignored;
        std::filesystem::remove(Path("ctl.out"), ignored);
        std::filesystem::remove(Path("ctl.err"), ignored);
        const std::string command = "cd " + ShellQuote(dir_.string()) + " && " + shellCommand;
        const int wait = std::system(command.c_str());
        CtlResult result;
        result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
        result.out = ReadFileBytes(Path("ctl.out"));
        result.err = ReadFileBytes(Path("ctl.err"));
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
