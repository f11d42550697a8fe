#include "call_context.h"

#include <cstring>

#include "names.h"

namespace {

char player_files[3][512];

}  // namespace

// The entries after None follow the order of the entry points' names.
const char* EntryName(Entry entry) {
  const int k = static_cast<int>(entry) - static_cast<int>(Entry::PsInit);
  return k >= 0 && k < 5 ? kEntryNames[k] : "no call";
}

void SetPlayerFile(int player, std::string_view file) {
  const size_t n =
      file.size() < sizeof player_files[0] - 1 ? file.size() : sizeof player_files[0] - 1;
  std::memcpy(player_files[player], file.data(), n);
  player_files[player][n] = '\0';
}

const char* PlayerFile(int player) { return player_files[player]; }

CallNote the_call;

int CurrentPlayer() { return the_call.player; }

Entry CurrentEntry() { return static_cast<Entry>(the_call.entry); }

void LineBuffer::Add(std::string_view s) {
  const size_t room = sizeof text - size;
  const size_t n = s.size() < room ? s.size() : room;
  std::memcpy(text + size, s.data(), n);
  size += n;
}

void LineBuffer::AddInt(int64_t v) {
  char digits[24];
  int n = 0;
  const bool negative = v < 0;
  uint64_t u = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  do {
    digits[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (negative) digits[n++] = '-';
  while (n > 0) Add(std::string_view(&digits[--n], 1));
}

void AppendCallReport(LineBuffer& line, const char* what) {
  const int player = the_call.player;
  line.Add("pitsow: player ");
  line.AddInt(player);
  line.Add(" (");
  line.Add(player_files[player]);
  line.Add(") ");
  line.Add(what);
  line.Add(" in ");
  line.Add(EntryName(CurrentEntry()));
  if (the_call.round >= 0) {
    line.Add(", round ");
    line.AddInt(the_call.round);
  }
  if (the_call.turn >= 0) {
    line.Add(", turn ");
    line.AddInt(the_call.turn);
  }
}
