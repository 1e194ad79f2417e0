#pragma once
// Reading an XU GUID the operator typed into the picker.

#include <optional>
#include <string_view>

#include "runtime/Guid.h"

namespace norvik {

// The first "{", the first "}" after it 37 characters on, and 16 hex digit
// pairs read from between them (the 8-4-4-4-12 pattern is not enforced);
// characters outside the braces are ignored. The result is in the in-memory
// layout: the first three fields are read big-endian from the text.
std::optional<Guid> ParseXuGuidText(std::wstring_view text);

}  // namespace norvik
