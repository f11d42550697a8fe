// The number formats of every line the referee writes: integers with or
// without a width, fixed point with a width and decimals. A text longer
// than its width is written whole. The log's rounding (halves away from
// zero) is the game's published format; every other program rounds the
// same way through Fixed (fixed.h), so one value reads alike everywhere.
#pragma once

#include <cstdint>
#include <string>

// Writes v in decimal, right-aligned in width columns (0: no width), at p
// and returns the end: pieces of the turn loop are put together in plain
// char buffers. p needs room for width and at least 20 characters.
char* PutInt(char* p, int64_t v, int width = 0);

// Writes v in fixed point as AppendFixed does and returns the end, or
// nullptr when the value needs AppendFixedFromDigits. p needs room for
// width and at least 48 characters.
char* PutFixed(char* p, long double v, int width, int decimals);

// Appends v in decimal, right-aligned in width columns (0: no width).
void AppendInt(std::string& out, int64_t v, int width = 0);

// Appends v rounded to decimals digits after the point, halves away from
// zero, at least one digit before the point, right-aligned in width columns.
void AppendFixed(std::string& out, long double v, int width, int decimals);

// The same, by way of the value's decimal expansion: slower, for values
// beyond the integer arithmetic of AppendFixed.
void AppendFixedFromDigits(std::string& out, long double v, int width, int decimals);
