#pragma once
// Options written "--name=" with nothing after the "=".
//
// CLI11 reads "--text=" as "--text" without a value and then takes the next
// word as the value, so `set --text= --verify` would write the bytes of
// "--verify". A script that writes --text="$VAR" with an empty variable
// means an empty value, and must get the refusal an empty value gets.

#include <string>
#include <vector>

namespace norvik::ctl {

// The arguments (without the program name) with every "--name=" turned into
// "--name" followed by an empty argument, which CLI11 takes as the value.
// Nothing after a "--" separator is touched.
std::vector<std::string> SplitEmptyOptionValues(int argc, const char* const* argv);

}  // namespace norvik::ctl
