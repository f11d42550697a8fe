#include "integer_text.h"

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

}  // namespace

std::optional<int32_t> ParseInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  uint64_t magnitude = 0;  // exact for decimal up to the range limit, modulo 2^32 otherwise
  for (; i < text.size(); ++i) {
    const int d = DigitValue(text[i]);
    if (d >= base) return std::nullopt;
    if (base == 10) {
      magnitude = magnitude * 10 + static_cast<uint64_t>(d);
      if (magnitude > 2147483648u) return std::nullopt;
    } else {
      magnitude =
          (magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d)) & 0xFFFFFFFFu;
    }
  }
  if (base == 10 && !negative && magnitude > 2147483647u) return std::nullopt;
  const uint32_t bits = static_cast<uint32_t>(negative ? (0u - magnitude) : magnitude);
  return static_cast<int32_t>(bits);
}
