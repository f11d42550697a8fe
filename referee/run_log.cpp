#include "run_log.h"

#include <time.h>

#include <cstring>

#include "number_format.h"

namespace {

const char* const MonthName[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void AppendSettingLine(std::string& out, const char* label, int32_t v) {
  out += label;
  AppendInt(out, v);
  out += "\r\n";
}

}  // namespace

std::string DateTimeLine(const std::tm& local, int milliseconds) {
  std::string line = "   ";
  AppendInt(line, local.tm_hour, 2);
  line += ":";
  AppendInt(line, local.tm_min, 2);
  line += ":";
  AppendInt(line, local.tm_sec, 2);
  line += ".";
  AppendInt(line, milliseconds / 10, 2);
  line += "   ";
  AppendInt(line, local.tm_mday, 2);
  line += "-";
  line += MonthName[local.tm_mon];
  line += "-";
  AppendInt(line, local.tm_year + 1900, 4);
  return line;
}

std::string DateTimeNow() {
  // One reading for both date and time, so that a run started at midnight
  // shows a date that belongs to its time.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  return DateTimeLine(local, static_cast<int>(now.tv_nsec / 1000000));
}

std::string HeaderLines(const Settings& s) {
  std::string out;
  AppendSettingLine(out, "NumHoles: ", s.NumHoles);
  AppendSettingLine(out, "NumBones: ", s.NumBones);
  AppendSettingLine(out, "NumRounds: ", s.NumRounds);
  AppendSettingLine(out, "MaxTurns: ", s.MaxTurns);
  out += "LogLevels: ";
  AppendInt(out, s.LogLevel[0]);
  out += ", ";
  AppendInt(out, s.LogLevel[1]);
  out += ", ";
  AppendInt(out, s.LogLevel[2]);
  out += "\r\nParams: ";
  AppendInt(out, s.Params[1]);
  out += ", ";
  AppendInt(out, s.Params[2]);
  out += "\r\nOutFile; <" + s.OutFile + ">\r\n";
  return out;
}

std::string RoundLine(const RoundReport& r) {
  std::string line = "ROUND ";
  AppendInt(line, r.Round, 4);
  line += "   Player 1 : ";
  AppendInt(line, r.store1, 2);
  line += "   Player 2 : ";
  AppendInt(line, r.store2, 2);
  line += "   (";
  AppendInt(line, r.Wins1, 4);
  line += ":";
  AppendInt(line, r.Wins2, 4);
  line += ") ";
  AppendInt(line, r.Draws, 4);
  line += "   Turns: ";
  AppendInt(line, r.Turns, 4);
  line += " Elapsed Time: ";
  AppendFixed(line, r.time1, 6, 4);
  line += " / ";
  AppendFixed(line, r.time2, 6, 4);
  return line;
}

std::string RoundLines(const RoundReport& r, bool detail) {
  std::string text = detail ? "\r\n         END " : "";
  text += RoundLine(r);
  text += detail ? "\r\n\r\n" : "\r\n";
  return text;
}

std::string TurnMarker(int32_t TurnCount) {
  std::string text = "\r\nTurn: ";
  AppendInt(text, TurnCount);
  text += "\r\n";
  return text;
}

std::string RejectedLine(int32_t answer, int32_t NumHoles, int32_t player) {
  std::string line = "      ERROR!!!  PsGetTurn Wrong Result: ";
  AppendInt(line, answer);
  line += ", NumHoles= ";
  AppendInt(line, NumHoles);
  line += " Player: ";
  AppendInt(line, player);
  line += "\r\n";
  return line;
}

std::string RejectedReport(int32_t round, int32_t turn, int32_t player, int32_t answer,
                           int32_t NumHoles) {
  std::string line = "pitsow: round ";
  AppendInt(line, round);
  line += ", turn ";
  AppendInt(line, turn);
  line += ": player ";
  AppendInt(line, player);
  line += " answered ";
  AppendInt(line, answer);
  line += ", not a hole from 1 to ";
  AppendInt(line, NumHoles);
  line += "; the round ends";
  return line;
}

void AppendMoveLines(std::string& out, int32_t mover, const PsSowing& sown) {
  if (sown.Captured != 0) {
    out += "  Empty ";
    AppendInt(out, mover);
    out += " i: ";
    AppendInt(out, sown.Captured);
    out += "\r\n";
  }
  if (sown.ExtraMove) {
    out += "  Pitsow ";
    AppendInt(out, mover);
    out += "\r\n";
  }
}

std::string ElapsedLine(long double seconds) {
  std::string line = "Elapsed Time: ";
  AppendFixed(line, seconds, 5, 3);
  line += " s";
  return line;
}

void AppendProgressBefore(std::string& out, int32_t TurnCount, int32_t player) {
  // 37 backspaces take the cursor back over the previous progress.
  static const std::string kLead = std::string(37, '\b') + "Turn: ";
  char buf[128];
  std::memcpy(buf, kLead.data(), kLead.size());
  char* p = PutInt(buf + kLead.size(), TurnCount, 4);
  std::memcpy(p, " Player ", 8);
  p = PutInt(p + 8, player);
  out.append(buf, p);
}

void AppendProgressAfter(std::string& out, long double seconds) {
  char buf[128];
  std::memcpy(buf, " Time: ", 7);
  char* p = PutFixed(buf + 7, seconds, 6, 4);
  if (p == nullptr) {
    out.append(buf, 7);
    AppendFixed(out, seconds, 6, 4);
    out += " s";
    return;
  }
  std::memcpy(p, " s", 2);
  out.append(buf, p + 2);
}
