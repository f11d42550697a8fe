// The referee's way of writing an integer, shared by its command line and
// the openings files: decimal, $ and hexadecimal, or % and binary.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Reads an integer: blanks or tabs, an optional sign, then decimal digits,
// $ and hexadecimal or % and binary digits, using up the whole text.
// Decimal must fit an int32; hexadecimal and binary wrap modulo 2^32.
std::optional<int32_t> ParseInteger(std::string_view text);
