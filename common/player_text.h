// Texts a player wrote, as the referee and the tools show them. A player's
// bytes never move the cursor, end a line, drive a terminal or pass for
// the referee's own words: control bytes (0-31, 127) and the C1 controls
// (0x80-0x9f, which some terminals obey as ESC sequences) are shown as
// '?', every other byte as it is (the texts are 8-bit), and a text that
// is not the referee's own is shown in double quotes, as the player's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The bytes with every control byte shown as '?'.
std::string ShownText(std::string_view bytes);

// The bytes up to the first 0 byte, at most capacity of them.
std::string_view FieldBytes(const char* field, size_t capacity);

// ShownText in double quotes, cut to at most `most` bytes (then "..."
// follows the closing quote); a double quote inside is shown as '?', so
// that the quoted text ends where the referee's quote does.
std::string QuotedText(std::string_view bytes, size_t most = 300);

// A message of the tools' own that names a file or a player (which may hold
// any byte), as one line: bytes below 32 and 127 shown as '?', every other
// byte as it is.
std::string Printable(const std::string& text);
