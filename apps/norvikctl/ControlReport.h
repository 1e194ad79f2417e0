#pragma once
// How norvikctl shows what the class queries answered: the table of a
// unit's controls, the lines of one control, and their JSON objects.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "session/UnitSession.h"

namespace norvik::ctl {

// An answered item as `get` prints bytes, "-" for one not available.
std::string ItemCell(const QueryItem& item);
// The information byte in hex and the names of its bits: "03 get,set";
// "-" when not available.
std::string InfoCell(const QueryItem& info);

// A header line and one line per control: selector, length, INFO, cur, min,
// max, res, def, each column as wide as its widest cell, two blanks apart,
// no blanks at a line's end.
std::vector<std::string> ControlTable(const std::vector<ControlDescription>& controls);

// "name: value" lines of one control; an item not available says so with
// its failure text.
std::vector<std::string> ControlLines(const ControlDescription& control);

// {"selector", "length", "info", "caps", "cur", "min", "max", "res", "def",
// "failures"}: hex strings, null for an item not available, and the failure
// text of each such item by its kind.
nlohmann::ordered_json ControlJson(const ControlDescription& control);

}  // namespace norvik::ctl
