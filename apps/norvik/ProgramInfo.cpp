#include "apps/norvik/ProgramInfo.h"

#include <cstring>

#ifndef NORVIK_VERSION
#error "NORVIK_VERSION is set by the build"
#endif

namespace norvik::app {

InfoRequest FindInfoRequest(int argc, const char* const* argv)
{
    if (argc < 2 || !argv[1])
        return InfoRequest::None;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return InfoRequest::Help;
    if (std::strcmp(argv[1], "--version") == 0)
        return InfoRequest::Version;
    return InfoRequest::None;
}

std::string HelpText()
{
    return "Usage: norvik [--help | --version]\n"
           "Show the Norvik dialog: pick an extension unit (XU) of a USB video class (UVC)\n"
           "camera and read or write its vendor controls by hand.\n"
           "\n"
           "The dialog takes no arguments; the environment chooses the devices it works on.\n"
           "\n"
           "Options:\n"
           "  -h, --help     print this help and exit\n"
           "      --version  print the version and exit\n"
           "\n"
           "Environment:\n"
           "  NORVIK_SIMULATION=demo    the built-in demo cameras\n"
           "  NORVIK_SIMULATION=FILE    the simulated machine a scenario file describes\n"
           "  (unset or empty)          the real cameras, through V4L2 and sysfs\n";
}

std::string VersionText()
{
    return "norvik " NORVIK_VERSION
           "\n"
           "Copyright (c) 2026 The Norvik developers\n"
           "License: MIT <https://opensource.org/licenses/MIT>\n";
}

}  // namespace norvik::app
