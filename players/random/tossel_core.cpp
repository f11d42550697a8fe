#include "tossel_core.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "claim_file.h"
#include "exit_status.h"

namespace {

const char* TraceName(int32_t player) { return player == 1 ? "Player1.out" : "Player2.out"; }

// The trace is the player's record of the match: losing part of it is
// fatal, as the referee's own output failures are, and Tossel's published
// behaviour is to end the whole process with an input/output report; the
// one library function here that ends the process. It ends at once, with
// _exit: the referee's exit handlers would take a normal exit inside a
// player call for a player fault.
[[noreturn]] void TraceFatal(const std::string& reason) {
  const std::string line = "Tossel: " + reason + "\n";
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, line.data(), line.size());
  _exit(kExitIoError);
}

[[noreturn]] void TraceFailed(int32_t player, int err) {
  TraceFatal(std::string("cannot write trace file '") + TraceName(player) +
             "': " + std::strerror(err));
}

// Writes one or more whole lines in one write, so each is on disk when the
// call that wrote it returns.
void Trace(const Tossel& t, std::string text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = write(t.TraceFd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) TraceFailed(t.Player, n < 0 ? errno : EIO);
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void CopyText(char* field, size_t capacity, const char* text) {
  const size_t n = strnlen(text, capacity - 1);
  std::memcpy(field, text, n);
  field[n] = '\0';
}

std::string Num(int64_t v) { return std::to_string(v); }

}  // namespace

UtcTime UtcNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm utc{};
  gmtime_r(&now.tv_sec, &utc);
  return {utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(now.tv_nsec / 1000000)};
}

uint32_t SeedFromTime(const UtcTime& t) {
  return static_cast<uint32_t>(((t.Hour * 60 + t.Minute) * 60 + t.Second) * 100 +
                               t.Millisecond / 10);
}

uint32_t Draw(uint32_t& seed, uint32_t n) {
  seed = seed * 134775813u + 1u;
  return static_cast<uint32_t>((uint64_t{seed} * n) >> 32);
}

PsBool TosselInit(Tossel& t, PsInfo* Info, const UtcTime& now) {
  if (Info->Size >= 32) {
    Info->CurrVer = Info->MaxVer >= 1 ? 1 : Info->MaxVer;
    t.CurrVer = Info->CurrVer;
    t.Player = Info->Player;
    t.NumHoles = Info->NumHoles;
    t.NumBones = Info->NumBones;
    t.LogLevel = Info->LogLevel;
    t.Param = Info->Param;
    if (Info->Size >= PS_INFO_SIZE) {
      CopyText(Info->name, sizeof Info->name, kTosselName);
      CopyText(Info->creator, sizeof Info->creator, kTosselCreator);
      CopyText(Info->description, sizeof Info->description, kTosselDescription);
    }
  }
  if (t.LogLevel > 0) {
    if (t.TraceFd >= 0) close(t.TraceFd);
    // Another match's trace, or a program, is never overwritten.
    const Result<int> trace = ClaimFile(TraceName(t.Player), {});
    if (!trace) TraceFatal(trace.error().text);
    t.TraceFd = *trace;
    Trace(t, " CurrVer: " + Num(t.CurrVer) + "\r\n Player: " + Num(t.Player) +
                 "\r\n NumHoles: " + Num(t.NumHoles) + "\r\n NumBones: " + Num(t.NumBones) +
                 "\r\n LogLevel: " + Num(t.LogLevel) + "\r\n Param: " + Num(t.Param) +
                 "\r\n name: <" + kTosselName + ">\r\n creator: <" + kTosselCreator +
                 ">\r\n description: <" + kTosselDescription + ">\r\n");
  }
  t.Seed = SeedFromTime(now);
  t.TurnCounter = 0;
  return 1;
}

int32_t TosselGetTurn(Tossel& t, const int32_t* MyHoles) {
  const int32_t turn = t.TurnCounter++;
  const bool tracing = t.LogLevel >= 3;
  // Never look past the row, whatever the record said.
  const int32_t holes = t.NumHoles < PS_MAX_HOLES ? t.NumHoles : PS_MAX_HOLES;
  uint32_t count = 0;
  for (int32_t i = 0; i < holes; ++i) count += MyHoles[i] > 0;
  if (count == 0) {
    if (tracing) Trace(t, "PsGetTurn Turn: " + Num(turn) + "PsGetTurn *3*\r\n");
    return 0;
  }
  const uint32_t rank = Draw(t.Seed, count) + 1;
  // The rank-th non-empty hole, counted from hole 1.
  int32_t answer = 0;
  for (uint32_t r = rank; r > 0; ++answer)
    if (MyHoles[answer] > 0) --r;
  if (tracing)
    Trace(t, "PsGetTurn Turn: " + Num(turn) + " Num: " + Num(count) + " Rnd: " + Num(rank) +
                 " Out: " + Num(answer) + "\r\n");
  return answer;
}

void TosselOppTurn(Tossel& t, int32_t Hole) {
  if (t.LogLevel >= 3)
    Trace(t, "PsOppTurn Turn: " + Num(t.TurnCounter) + " Opp: " + Num(Hole) + "\r\n");
  ++t.TurnCounter;
}

void TosselEndRound(Tossel& t, int32_t My, int32_t Opp, int32_t Turns) {
  if (t.LogLevel >= 2)
    Trace(t, "   EndRound My: " + Num(My) + " Opp: " + Num(Opp) + " Turns: " + Num(Turns) + "/" +
                 Num(t.TurnCounter) + "\r\n");
  t.TurnCounter = 0;
}

void TosselDone(Tossel& t) {
  if (t.LogLevel > 0 && t.TraceFd >= 0) {
    Trace(t, "END\r\n");
    if (close(t.TraceFd) != 0) TraceFailed(t.Player, errno);
    t.TraceFd = -1;
  }
}
