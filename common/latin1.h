// Player texts are 8-bit: in a JSON text (the match record, the tournament's
// results) each byte is kept as the character of the same number (Latin-1),
// so any byte round-trips. The referee writes them so, the tournament
// runner and the report read them back.
#pragma once

#include <optional>
#include <string>

// Each byte as the character of the same number, UTF-8 encoded.
std::string Latin1ToUtf8(const std::string& bytes);
// The bytes back from such a text; nothing when it holds a character
// above U+00FF or is not UTF-8.
std::optional<std::string> Utf8ToLatin1(const std::string& text);
