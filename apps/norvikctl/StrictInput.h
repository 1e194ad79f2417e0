#pragma once
// The exact reading of what a script writes on the command line. The
// dialog reads its entries leniently (a lone hex digit dropped, a selector
// cut to 8 bits, trailing characters ignored); a script must instead be told
// when its text does not say one thing, before any device is touched.

#include <cstdint>
#include <string>
#include <vector>

namespace norvik::ctl {

// Hex bytes: tokens of digit pairs ("01", "0102", "0x0A"), separated by
// blanks, ',', ';' or ':'. False with the reason in error (a line starting
// "norvikctl: ") for a lone digit, any other character, or no byte at all.
// The empty text is left to the caller (the dialog's own refusal).
bool ParseStrictHex(const std::string& text, std::vector<std::uint8_t>& bytes, std::string& error);
// The same with the bare reason ("\"0x1\" leaves a lone hex digit; ..."),
// for a reader that names the place itself.
bool ReadStrictHex(const std::string& text, std::vector<std::uint8_t>& bytes, std::string& reason);

enum class SelectorText { Valid, Empty, Zero, Invalid };

// A control selector: a whole number from 1 to 255, decimal or hex with
// "0x". Empty and zero are told apart, as the dialog has texts for them;
// Invalid comes with the reason in error.
SelectorText ParseStrictSelector(const std::string& text, std::uint8_t& selector, std::string& error);
// Why a text is refused as a selector: "\"257\" is not a control selector: ...".
std::string SelectorProblem(const std::string& text);

// A whole number of milliseconds from min to max, decimal digits only.
bool ParseStrictMilliseconds(const std::string& text, unsigned min, unsigned max, unsigned& value);

}  // namespace norvik::ctl
