#include "check.h"

#include "check_parts.h"
#include "exit_status.h"
#include "fixed.h"

std::string BoardName(int32_t holes, int32_t bones) {
  return std::to_string(holes) + "x" + std::to_string(bones);
}

std::string Describe(const FaultAt& f) {
  std::string what = f.fault.detail;
  const std::string tail = " in " + f.call;  // the host's line names the call; said below
  if (what.size() >= tail.size() && what.compare(what.size() - tail.size(), tail.size(), tail) == 0)
    what.resize(what.size() - tail.size());
  if (f.fault.kind == PlayerFault::Kind::Timeout)
    what = "hung (over its " + Fixed(f.fault.limit_seconds, 3) + " s limit)";
  else if (f.fault.kind == PlayerFault::Kind::Exited)
    what = "ended the process with status " + std::to_string(f.fault.status);
  else if (what.empty())
    what = std::string("failed (") + PlayerFaultName(f.fault.kind) + ")";
  else if (what.rfind("refused system call ", 0) == 0)
    // The refusal is the sandbox's, not the player's: it asked, the filter said no.
    what = "was stopped by the sandbox, which " + what;
  std::string text = what + " in " + f.call;
  if (f.round >= 0) text += ", round " + std::to_string(f.round);
  if (f.turn >= 0) text += ", turn " + std::to_string(f.turn);
  if (!f.where.empty()) text += " (" + f.where + ")";
  return text;
}

HostStart StartOf(const CheckOptions& o, int32_t player) {
  HostStart start;
  start.host_exe = o.host_exe;
  start.library = o.library;
  start.player = player;
  start.limits.call_time = o.call_time;
  start.limits.move_time = o.move_time;
  start.limits.memory_mb = o.memory_mb;
  start.limits.sandbox = o.sandbox;
  return start;
}

PsInfo MakeInfo(int32_t player, int32_t holes, int32_t bones, int32_t param) {
  PsInfo info{};
  info.Size = PS_INFO_SIZE;
  info.MaxVer = PS_INTERFACE_VERSION;
  info.Player = player;
  info.NumHoles = holes;
  info.NumBones = bones;
  info.Param = param;
  return info;
}

CheckResult RunChecks(const CheckOptions& o, const std::function<void(const CheckLine&)>& on_line) {
  CheckResult result;
  const Add add = [&](Mark mark, const std::string& text) {
    result.lines.push_back({mark, text});
    if (on_line) on_line(result.lines.back());
  };
  if (CheckInit(o, add, result.loaded)) CheckMatches(o, add);
  return result;
}

std::string FormatLine(const CheckLine& line) {
  const char* mark = line.mark == Mark::Ok     ? "[ok]   "
                     : line.mark == Mark::Warn ? "[warn] "
                                               : "[FAIL] ";
  return mark + line.text;
}

int CheckExitStatus(const CheckResult& result) {
  if (!result.loaded) return kExitPlayerMissing;
  for (const CheckLine& line : result.lines)
    if (line.mark == Mark::Fail) return kExitPlayerCannotPlay;
  return kExitMatchComplete;
}
