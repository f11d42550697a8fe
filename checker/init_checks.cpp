// The PsInit checks, each on a fresh host: the full record, short records
// (nothing may be written at or behind Size), the versions, the texts.
#include <cstddef>
#include <cstring>
#include <optional>

#include "check_parts.h"

namespace {

// One PsInit on a fresh host: the record as sent and as answered.
struct InitRun {
  std::optional<std::string> start_error;
  std::optional<FaultAt> fault;
  PsInfo sent{};
  PsInfo answered{};
  PsBool ready = 0;
};

InitRun RunInit(const CheckOptions& o, const PsInfo& info) {
  InitRun run;
  run.sent = info;
  run.answered = info;
  Result<HostedPlayer> host = HostedPlayer::Start(StartOf(o, info.Player));
  if (!host) {
    run.start_error = host.error().text;
    return run;
  }
  if (CallFault f = host->Init(run.answered, run.ready))
    run.fault = FaultAt{*f, "PsInit", -1, -1, ""};
  return run;
}

// What a failed run says: its fault or why it did not start.
std::string Failure(const InitRun& run) {
  return run.fault ? Describe(*run.fault) : *run.start_error;
}

// Bytes behind Size are filled with this pattern, never 0, so that a
// terminating 0 written there shows too.
unsigned char Sentinel(size_t offset) { return static_cast<unsigned char>(0x80 | (offset & 0x7f)); }

std::string FieldAt(size_t offset) {
  if (offset < offsetof(PsInfo, name)) return "the numbers";
  if (offset < offsetof(PsInfo, creator)) return "name";
  if (offset < offsetof(PsInfo, description)) return "creator";
  return "description";
}

// A record of the given Size whose bytes from Size on hold the pattern.
PsInfo ShortRecord(int32_t size, int32_t param) {
  PsInfo info = MakeInfo(1, kHoles, kBones, param);
  info.Size = size;
  auto* bytes = reinterpret_cast<unsigned char*>(&info);
  for (size_t k = static_cast<size_t>(size); k < sizeof info; ++k) bytes[k] = Sentinel(k);
  return info;
}

std::string Shown(const char* text, size_t room) {
  std::string s;
  for (size_t k = 0; k < room && text[k] != '\0' && s.size() < 40; ++k)
    s += text[k] >= 32 && text[k] < 127 ? text[k] : '?';
  return s;
}

void CheckFullRecord(const InitRun& full, const Add& add) {
  const std::string size352 = "PsInit, Size 352: ";
  if (full.fault)
    add(Mark::Fail, size352 + Describe(*full.fault));
  else if (full.ready == 0)
    add(Mark::Fail,
        size352 + "answered 0 (cannot play) to " + BoardName(kHoles, kBones) + ", the usual board");
  else
    add(Mark::Ok, size352 + "ready, as \"" + Shown(full.answered.name, sizeof full.answered.name) +
                      "\", nothing written past the record");
}

void CheckShortRecords(const CheckOptions& o, const Add& add) {
  for (int32_t size : {32, 16}) {
    const std::string head = "PsInit, Size " + std::to_string(size) + ": ";
    const InitRun run = RunInit(o, ShortRecord(size, o.param));
    if (run.start_error || run.fault) {
      add(Mark::Fail, head + Failure(run));
      continue;
    }
    const auto* sent = reinterpret_cast<const unsigned char*>(&run.sent);
    const auto* back = reinterpret_cast<const unsigned char*>(&run.answered);
    size_t changed = static_cast<size_t>(size);
    while (changed < sizeof(PsInfo) && sent[changed] == back[changed]) ++changed;
    if (changed < sizeof(PsInfo))
      add(Mark::Fail, head + "wrote byte " + std::to_string(changed) + " (" + FieldAt(changed) +
                          "), behind Size " + std::to_string(size));
    else
      add(Mark::Ok, head + "nothing written at or behind Size");
  }
}

void CheckVersions(const CheckOptions& o, const InitRun& full, const Add& add) {
  std::string answered, failure;
  for (int32_t max_ver : {1, 0, 5}) {
    if (max_ver == 1 && full.fault) continue;  // told on the Size 352 line
    InitRun run = full;
    if (max_ver != 1) {
      PsInfo info = MakeInfo(1, kHoles, kBones, o.param);
      info.MaxVer = max_ver;
      run = RunInit(o, info);
    }
    if (run.start_error || run.fault) {
      if (failure.empty()) failure = "MaxVer " + std::to_string(max_ver) + ": " + Failure(run);
      continue;
    }
    const int32_t curr = run.answered.CurrVer;
    answered += (answered.empty() ? "" : ", ") + std::to_string(curr);
    if (curr > max_ver && failure.empty())
      failure =
          "answered CurrVer " + std::to_string(curr) + " to MaxVer " + std::to_string(max_ver);
  }
  if (failure.empty())
    add(Mark::Ok, "CurrVer not above MaxVer: " + answered + " to MaxVer 1, 0, 5");
  else
    add(Mark::Fail, "CurrVer not above MaxVer: " + failure);
}

void CheckTexts(const InitRun& full, const Add& add) {
  std::string failure;
  const struct {
    const char* name;
    const char* text;
    size_t room;
  } texts[] = {{"name", full.answered.name, sizeof full.answered.name},
               {"creator", full.answered.creator, sizeof full.answered.creator},
               {"description", full.answered.description, sizeof full.answered.description}};
  for (const auto& t : texts)
    if (failure.empty() && std::memchr(t.text, 0, t.room) == nullptr)
      failure =
          std::string(t.name) + " has no 0 byte within its " + std::to_string(t.room) + " bytes";
  if (full.fault)
    add(Mark::Warn, "texts end within their room: not seen, PsInit faulted");
  else if (failure.empty())
    add(Mark::Ok, "texts end within their room");
  else
    add(Mark::Fail, "texts end within their room: " + failure);
}

}  // namespace

bool CheckInit(const CheckOptions& o, const Add& add, bool& loaded) {
  // The entry points, bound by the first host, and the full record.
  const InitRun full = RunInit(o, MakeInfo(1, kHoles, kBones, o.param));
  if (full.start_error) {
    add(Mark::Fail, "entry points: " + *full.start_error);
    loaded = false;
    return false;
  }
  add(Mark::Ok, "entry points: PsInit PsGetTurn PsOppTurn PsEndRound PsDone");
  CheckFullRecord(full, add);
  // A PsInit that hangs would hang every host after it too.
  if (full.fault && full.fault->fault.kind == PlayerFault::Kind::Timeout) {
    add(Mark::Warn, "other checks: not run, as PsInit does not return");
    return false;
  }
  CheckShortRecords(o, add);
  CheckVersions(o, full, add);
  CheckTexts(full, add);
  return true;
}
