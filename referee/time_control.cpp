#include "time_control.h"

#include <cmath>
#include <cstdlib>

namespace {

// A number of seconds, the whole text; nullopt when it is not one.
std::optional<double> SecondsOf(const std::string& text) {
  if (text.empty() || text[0] == '+' || text[0] == '-' || text[0] == ' ') return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v) || v < 0 || v > 1e6)
    return std::nullopt;
  return v;
}

}  // namespace

std::optional<Error> ParseTimeControl(const std::string& text, TimeControl& tc) {
  const size_t plus = text.find('+');
  const auto base = SecondsOf(text.substr(0, plus));
  const auto inc =
      plus == std::string::npos ? std::optional<double>(0.0) : SecondsOf(text.substr(plus + 1));
  if (!base || !inc || !(*base > 0))
    return Error{"pitsow: --time-control: expected BASE+INC in seconds, BASE above 0: " + text};
  tc = {true, *base, *inc, text};
  return std::nullopt;
}

void StartClocks(RoundClocks& clocks, const TimeControl& tc) {
  clocks = RoundClocks{};
  clocks.left[1] = clocks.left[2] = tc.base;
}

std::array<double, 2> MoveMade(RoundClocks& clocks, int n, const TimeControl& tc) {
  clocks.left[n] += tc.inc;
  const std::array<double, 2> note = {clocks.spent[n], clocks.left[n]};
  clocks.spent[n] = 0;
  return note;
}
