#pragma once
// What the video class's query requests answer, read for people: the names
// of the information byte's bits, the names of the request kinds, and the
// selectors an extension unit declares in the unit-information property.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "discovery/CaptureStack.h"

namespace norvik {

// The items Describe reports for one control, in the order it asks them.
enum class ControlItem : std::uint8_t { Len, Info, Cur, Min, Max, Res, Def };

constexpr ControlItem kControlItems[] = {ControlItem::Len, ControlItem::Info, ControlItem::Cur,
                                         ControlItem::Min, ControlItem::Max,  ControlItem::Res,
                                         ControlItem::Def};

// "len", "info", "cur", "min", "max", "res", "def".
const char* ControlItemName(ControlItem item);
// "info", "min", "max", "res", "def".
const char* ControlQueryName(ControlQuery kind);
// The kind named so; none for any other text.
std::optional<ControlQuery> ControlQueryByName(const std::string& name);

// The names of the information byte's bits that are set, lowest first:
// D0 "get", D1 "set", D2 "auto-disabled", D3 "autoupdate", D4 "async",
// D5 "commit-disabled". D6 and D7 are reserved and not named.
std::vector<std::string> InfoCapabilities(std::uint8_t info);

// The selectors the unit-information property declares: its bytes are the
// extension unit descriptor from bNumControls on (bNumControls, bNrInPins,
// baSourceID[p], bControlSize, bmControls[n], iExtension), and bit k of
// bmControls set declares selector k + 1. Selectors past 255 cannot be
// addressed and are left out. None when the bytes end before bmControls
// does.
std::optional<std::vector<std::uint8_t>> DeclaredSelectors(const std::uint8_t* unitInfo, std::size_t size);

}  // namespace norvik
