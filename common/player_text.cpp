#include "player_text.h"

#include <cstring>

namespace {

bool IsControl(unsigned char b) { return b < 0x20 || b == 0x7f || (b >= 0x80 && b <= 0x9f); }

}  // namespace

std::string ShownText(std::string_view bytes) {
  std::string text(bytes);
  for (char& c : text)
    if (IsControl(static_cast<unsigned char>(c))) c = '?';
  return text;
}

std::string_view FieldBytes(const char* field, size_t capacity) {
  return {field, strnlen(field, capacity)};
}

std::string QuotedText(std::string_view bytes, size_t most) {
  const bool cut = bytes.size() > most;
  std::string text = ShownText(bytes.substr(0, most));
  for (char& c : text)
    if (c == '"') c = '?';
  return "\"" + text + "\"" + (cut ? "..." : "");
}

std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return out;
}
