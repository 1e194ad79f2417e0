#pragma once
// The conversions of the module's arguments and results: selectors and
// positions from Python ints, text and bytes.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <vector>

#include <norvik/Records.h>

namespace norvik::python {

// A control selector as the CS entry takes it: decimal text, of which only
// the low 8 bits count. ValueError outside 0 to 2^32 - 1.
std::string SelectorText(long long cs);
// The selector a class query addresses: SelectorText's range, low 8 bits.
std::uint8_t Selector(long long cs);
// A query kind by its name ("info", "min", "max", "res", "def"); ValueError
// for any other.
QueryKind QueryKindOf(const std::string& name);
// A control's description as a dict: selector; length and info (int or
// None); caps; cur, min, max, res and def (bytes or None); failures, from
// the name of each item not available to its "0x%08x: <system text>".
pybind11::dict ControlDict(const ControlRecord& record);
// A list position; ValueError when negative or too large.
unsigned Position(long long value, const char* name);
// A str as UTF-8; one that has none (lone surrogates) raises
// UnicodeEncodeError.
std::string Utf8Of(const pybind11::handle& text);
// Bytes as the hex pairs a SET in hex form takes ("12 34").
std::string HexPairs(const std::string& bytes);
pybind11::bytes Bytes(const std::vector<std::uint8_t>& bytes);
// A USB ID as four hex digits.
std::string Hex4(std::uint32_t value);

}  // namespace norvik::python
