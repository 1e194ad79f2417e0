// What `norvik --help` and `norvik --version` print. The dialog takes no
// arguments of its own; these two answer at once, without a display, for a
// user at a terminal and for the manual page, which is made from them.
#pragma once

#include <string>

namespace norvik::app {

enum class InfoRequest { None, Help, Version };

// The request named by the first argument; any other argument is ignored
// as before, and the dialog starts.
InfoRequest FindInfoRequest(int argc, const char* const* argv);

std::string HelpText();
std::string VersionText();

}  // namespace norvik::app
