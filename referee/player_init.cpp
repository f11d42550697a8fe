#include "player_init.h"

#include <cstring>

#include "match_record.h"
#include "number_format.h"
#include "player_calls.h"
#include "player_text.h"

namespace {

void AppendPlayerLine(std::string& out, int32_t n, const char* label, const std::string& value,
                      bool bracketed) {
  out += "Player ";
  AppendInt(out, n);
  out += label;
  if (bracketed) out += "<";
  out += value;
  if (bracketed) out += ">";
  out += "\r\n";
}

}  // namespace

// A player's text must not move the cursor, end a line or drive the
// terminal: control characters, C1 ones too, are shown as '?'; every
// other byte stays, as the texts are 8-bit.
std::string FieldText(const char* field, size_t capacity) {
  return ShownText(FieldBytes(field, capacity));
}

std::string PlayerLines(int32_t n, const PsInfo& info) {
  std::string out;
  AppendPlayerLine(out, n, " Init         ", "TRUE", false);
  AppendPlayerLine(out, n, " version      ", std::to_string(info.CurrVer), false);
  AppendPlayerLine(out, n, " name        ", FieldText(info.name, sizeof info.name), true);
  AppendPlayerLine(out, n, " creator     ", FieldText(info.creator, sizeof info.creator), true);
  AppendPlayerLine(out, n, " description ", FieldText(info.description, sizeof info.description),
                   true);
  return out;
}

void FillInfo(const Settings& settings, int32_t n, PsInfo& info) {
  info.Size = PS_INFO_SIZE;
  info.MaxVer = PS_INTERFACE_VERSION;
  info.Player = n;
  info.NumHoles = settings.NumHoles;
  info.NumBones = settings.NumBones;
  info.LogLevel = settings.LogLevel[n];
  info.Param = settings.Params[n];
}

bool InitPlayer(const MatchSetup& setup, const RoundState& round, Seats& seats, const Outputs& out,
                int32_t n) {
  FillInfo(setup.settings, n, seats.Info[n]);
  const PsInfo& info = seats.Info[n];

  const bool ok = CallInit(setup, round, seats, n);
  if (seats.fault) return false;  // the driver reports it
  RecordPlayer(out.record, n, info, ok);

  std::string text;
  if (ok) {
    text = PlayerLines(n, info);
  } else {
    text = "Init Player ";
    AppendInt(text, n);
    text += " ERROR!\r\n";
  }
  Emit(out.console, text);
  // An empty OutFile makes the console the log: the lines are there already.
  if (LogsBasic(setup.settings) && !setup.settings.OutFile.empty()) Emit(out.log, text);
  return ok;
}
