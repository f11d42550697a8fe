#include "number_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

__extension__ typedef unsigned __int128 Wide;

void AppendPadded(std::string& out, const char* text, size_t length, int width) {
  if (width > 0 && length < static_cast<size_t>(width)) out.append(width - length, ' ');
  out.append(text, length);
}

// |v| x 10^decimals rounded half away from zero, exactly, in integer
// arithmetic on the value's binary mantissa and exponent. False when the
// value is too large for it.
bool ScaleExactly(long double v, int decimals, Wide& scaled) {
  scaled = 0;
  if (v == 0) return true;
  uint64_t mantissa = 0;
  int exponent = 0;  // |v| = mantissa x 2^exponent
  if constexpr (std::numeric_limits<long double>::digits == 64) {
    // The x87 format: the 64-bit mantissa with its explicit leading bit,
    // then sign and 15 exponent bits. Read directly, it costs nothing.
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &v, sizeof v);
    uint16_t sign_and_exponent = 0;
    std::memcpy(&mantissa, bytes, 8);
    std::memcpy(&sign_and_exponent, bytes + 8, 2);
    const int biased = sign_and_exponent & 0x7FFF;
    exponent = (biased == 0 ? 1 : biased) - 16383 - 63;
  } else {
    const long double fraction = std::frexp(std::fabs(v), &exponent);  // in [0.5, 1)
    mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
    exponent -= 64;
  }
  if (mantissa == 0) return true;
  if (exponent >= 0) return false;
  uint64_t power = 1;
  for (int i = 0; i < decimals; ++i) power *= 10;
  const Wide product = static_cast<Wide>(mantissa) * power;
  const int shift = -exponent;
  if (shift >= 127) return true;  // far below half a unit of the last digit
  scaled = product >> shift;
  if ((product >> (shift - 1)) & 1) ++scaled;  // the dropped part is a half or more
  return true;
}

char* PutText(char* p, const char* text, size_t length, int width) {
  if (width > 0 && length < static_cast<size_t>(width)) {
    std::memset(p, ' ', width - length);
    p += width - length;
  }
  std::memcpy(p, text, length);
  return p + length;
}

}  // namespace

char* PutInt(char* p, int64_t v, int width) {
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  return PutText(p, digits, static_cast<size_t>(end - digits), width);
}

char* PutFixed(char* p, long double v, int width, int decimals) {
  Wide scaled = 0;
  if (!std::isfinite(v) || decimals > 18 || !ScaleExactly(v, decimals, scaled)) return nullptr;
  // The digits of scaled from the last one back, the point placed on the
  // way, at least one digit before it.
  char text[64];
  char* const end = text + sizeof text;
  char* q = end;
  int n = 0;
  const auto put = [&](int digit) {
    if (n == decimals && decimals > 0) *--q = '.';
    *--q = static_cast<char>('0' + digit);
    ++n;
  };
  Wide high = scaled;
  for (; high > UINT64_MAX; high /= 10) put(static_cast<int>(high % 10));
  for (uint64_t rest = static_cast<uint64_t>(high); rest != 0 || n <= decimals; rest /= 10)
    put(static_cast<int>(rest % 10));
  if (std::signbit(v) && scaled != 0) *--q = '-';
  return PutText(p, q, static_cast<size_t>(end - q), width);
}

void AppendInt(std::string& out, int64_t v, int width) {
  char digits[24];
  AppendPadded(out, digits, static_cast<size_t>(PutInt(digits, v) - digits), width);
}

void AppendFixed(std::string& out, long double v, int width, int decimals) {
  char text[64];
  if (const char* end = PutFixed(text, v, 0, decimals))
    AppendPadded(out, text, static_cast<size_t>(end - text), width);
  else
    AppendFixedFromDigits(out, v, width, decimals);
}

void AppendFixedFromDigits(std::string& out, long double v, int width, int decimals) {
  if (!std::isfinite(v)) {
    const char* text = std::isnan(v) ? "nan" : (v < 0 ? "-inf" : "inf");
    AppendPadded(out, text, std::char_traits<char>::length(text), width);
    return;
  }
  // printf rounds ties to even; print the value's exact digits well past
  // the wanted ones instead and round the decimal text by hand.
  const int precision = decimals + 70;
  std::string exact(
      static_cast<size_t>(std::snprintf(nullptr, 0, "%.*Lf", precision, std::fabs(v))), '\0');
  std::snprintf(exact.data(), exact.size() + 1, "%.*Lf", precision, std::fabs(v));
  const size_t point = exact.find('.');
  std::string digits = exact.substr(0, point) + exact.substr(point + 1, decimals);
  if (exact[point + 1 + decimals] >= '5') {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[i - 1];
  }
  std::string text;
  if (std::signbit(v) && digits.find_first_not_of('0') != std::string::npos) text.push_back('-');
  text.append(digits, 0, digits.size() - decimals);
  if (decimals > 0) text.append(".").append(digits, digits.size() - decimals);
  AppendPadded(out, text.data(), text.size(), width);
}
