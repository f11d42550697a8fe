#include "fixed.h"

#include "number_format.h"

std::string Fixed(double x, int decimals) {
  std::string text;
  AppendFixed(text, x, 0, decimals);  // "inf", "-inf", "nan" in words; no "-0.00"
  return text;
}

std::string Signed(double x, int decimals) {
  std::string text = Fixed(x, decimals);
  return text[0] == '-' || text == "nan" ? text : "+" + text;
}

std::string Seconds(double seconds) { return Fixed(seconds, 3); }
