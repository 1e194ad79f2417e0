#include "apps/norvikctl/EmptyValues.h"

namespace norvik::ctl {

std::vector<std::string> SplitEmptyOptionValues(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--")
            optionsEnded = true;
        const bool emptyValue = !optionsEnded && argument.size() > 3 && argument.rfind("--", 0) == 0 &&
                                argument.back() == '=' && argument.find('=') == argument.size() - 1;
        if (emptyValue) {
            argument.pop_back();
            arguments.push_back(std::move(argument));
            arguments.emplace_back();
        } else {
            arguments.push_back(std::move(argument));
        }
    }
    return arguments;
}

}  // namespace norvik::ctl
