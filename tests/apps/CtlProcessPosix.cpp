#include <sys/wait.h>

#include <cstdlib>

#include "CtlProcess.h"
#include "CtlRunner.h"
#include "runtime/SystemErrorTexts.h"
#include "runtime/Utf8.h"

namespace norvik::testing {

int RunProcess(const ProcessRun& run)
{
    std::string removed, set = " LC_ALL=C";
    for (const EnvironmentChange& change : run.environment) {
        if (change.second)
            set += " " + change.first + "=" + ShellQuote(*change.second);
        else
            removed += " -u " + change.first;
    }
    std::string command = "cd " + ShellQuote(run.directory.string()) + " && env" + removed + set;
    command += " timeout -k 5 60 " + ShellQuote(run.program);
    for (const std::string& arg : run.args)
        command += " " + ShellQuote(arg);
    command += " <" + ShellQuote(run.in.empty() ? std::string("/dev/null") : run.in.string());
    command += " >" + ShellQuote(run.out.string()) + " 2>" + ShellQuote(run.err.string());
    const int wait = std::system(command.c_str());
    return WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
}

std::string SystemText(std::uint32_t code)
{
    const auto text = SystemErrorMessage(code, ErrorTextLanguage::English);
    return text ? WideToUtf8(*text) : std::string();
}

}  // namespace norvik::testing
