#include "fixed.h"

#include <cmath>
#include <cstdio>

namespace {

// "-0.00" (a tiny negative rounded) without its sign.
std::string Unsigned0(std::string text, const char* sign) {
  if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
    text.replace(0, 1, sign);
  return text;
}

}  // namespace

std::string Fixed(double x, int decimals) {
  if (std::isinf(x)) return x > 0 ? "inf" : "-inf";
  if (std::isnan(x)) return "nan";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
  return Unsigned0(buf, "");
}

std::string Signed(double x, int decimals) {
  if (std::isinf(x)) return x > 0 ? "+inf" : "-inf";
  if (std::isnan(x)) return "nan";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%+.*f", decimals, x);
  return Unsigned0(buf, "+");
}
