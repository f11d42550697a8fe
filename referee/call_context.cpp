#include "call_context.h"

#include <signal.h>

#include <cstring>

namespace {

// Plain words, read by the signal handlers of a single-threaded process.
volatile sig_atomic_t Player = 0;
volatile sig_atomic_t CurrentEntryValue = 0;
volatile sig_atomic_t Round = -1;
volatile sig_atomic_t TurnValue = -1;
char Files[3][512];

}  // namespace

const char* EntryName(Entry entry) {
  switch (entry) {
    case Entry::PsInit:
      return "PsInit";
    case Entry::PsGetTurn:
      return "PsGetTurn";
    case Entry::PsOppTurn:
      return "PsOppTurn";
    case Entry::PsEndRound:
      return "PsEndRound";
    case Entry::PsDone:
      return "PsDone";
    case Entry::None:
      break;
  }
  return "no call";
}

void SetPlayerFile(int player, std::string_view file) {
  const size_t n = file.size() < sizeof Files[0] - 1 ? file.size() : sizeof Files[0] - 1;
  std::memcpy(Files[player], file.data(), n);
  Files[player][n] = '\0';
}

const char* PlayerFile(int player) { return Files[player]; }

void EnterCall(int player, Entry entry, int32_t round, int32_t turn) {
  Round = round;
  TurnValue = turn;
  CurrentEntryValue = static_cast<int>(entry);
  Player = player;
}

void LeaveCall() { Player = 0; }

int CurrentPlayer() { return Player; }

Entry CurrentEntry() { return static_cast<Entry>(CurrentEntryValue); }

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
  const int player = Player;
  line.Add("pitsow: player ");
  line.AddInt(player);
  line.Add(" (");
  line.Add(Files[player]);
  line.Add(") ");
  line.Add(what);
  line.Add(" in ");
  line.Add(EntryName(CurrentEntry()));
  if (Round >= 0) {
    line.Add(", round ");
    line.AddInt(Round);
  }
  if (TurnValue >= 0) {
    line.Add(", turn ");
    line.AddInt(TurnValue);
  }
}
