#include "number_format.h"

#include <cmath>
#include <cstdio>

namespace {

void AppendPadded(std::string& out, const char* text, size_t length, int width) {
  if (width > 0 && length < static_cast<size_t>(width)) out.append(width - length, ' ');
  out.append(text, length);
}

}  // namespace

void AppendInt(std::string& out, int64_t v, int width) {
  char buf[24];
  const int length = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  AppendPadded(out, buf, static_cast<size_t>(length), width);
}

void AppendFixed(std::string& out, long double v, int width, int decimals) {
  if (!std::isfinite(v)) {
    const char* text = std::isnan(v) ? "nan" : (v < 0 ? "-inf" : "inf");
    AppendPadded(out, text, std::char_traits<char>::length(text), width);
    return;
  }
  // printf rounds ties to even; print the value's exact digits well past
  // the wanted ones instead and round the decimal text by hand. A long
  // double's binary fraction ends within 64 digits for the magnitudes
  // written here, so the digits are exact.
  const bool negative = std::signbit(v);
  const int precision = decimals + 70;
  std::string exact(
      static_cast<size_t>(std::snprintf(nullptr, 0, "%.*Lf", precision, std::fabs(v))), '\0');
  std::snprintf(exact.data(), exact.size() + 1, "%.*Lf", precision, std::fabs(v));
  std::string digits;  // integer and kept fraction digits, without the point
  size_t next = 0;     // index in exact of the first dropped digit
  for (size_t i = 0, kept = 0, seenPoint = 0; i < exact.size(); ++i) {
    if (exact[i] == '.') {
      seenPoint = 1;
      continue;
    }
    if (seenPoint && kept == static_cast<size_t>(decimals)) {
      next = i;
      break;
    }
    digits.push_back(exact[i]);
    if (seenPoint) ++kept;
  }
  if (next != 0 && exact[next] >= '5') {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[i - 1];
  }
  std::string text;
  if (negative && digits.find_first_not_of('0') != std::string::npos) text.push_back('-');
  text.append(digits, 0, digits.size() - decimals);
  if (decimals > 0) {
    text.push_back('.');
    text.append(digits, digits.size() - decimals, std::string::npos);
  }
  AppendPadded(out, text.data(), text.size(), width);
}
