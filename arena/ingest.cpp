#include "ingest.h"

#include <sys/stat.h>

#include <fstream>

#include "exit_status.h"
#include "record_check.h"

namespace {

void IngestRound(RefereeRun& run, Bookkeeper& book, const Json& j) {
  // A round the machine starved is played again: it does not count.
  if (run.received >= run.job.pairs.size() || run.starved) return;
  const Slot slot{run.job.pairing, run.job.pairs[run.received++], run.job.seat};
  if (book.ledger.rounds.count(slot)) return;
  book.Write(RoundToJson(book.s, slot, j, run.dir));
  ChargeWaitingFault(run, book);
  book.AfterRound(slot);
}

// One line of the record, checked before use; false to stop reading.
bool IngestLine(RefereeRun& run, Bookkeeper& book, const std::string& line,
                const std::string& where) {
  const Json j = Json::parse(line, nullptr, false);
  if (j.is_discarded()) {
    book.Fail({where + "not JSON", kExitIoError});
    return false;
  }
  if (const auto why = CheckMatchLine(j)) {
    book.Fail({where + why->text, kExitIoError});
    return false;
  }
  const std::string type = j["type"].get<std::string>();
  if (type == "round") {
    IngestRound(run, book, j);
  } else if (type == "player" && !j["ready"].get<bool>()) {
    // A player that cannot play is at fault as if it had failed.
    const std::string n = std::to_string(j["player"].get<int>());
    run.fault = {{"type", "fault"},
                 {"round", nullptr},
                 {"player", j["player"]},
                 {"kind", "refused"},
                 {"report", "pitsow: player " + n + " cannot play (its PsInit returned false)"}};
  } else if (type == "fault" && j.value("charged", true)) {
    // Recorded with its round, so that a run cut between the two lines
    // replays the round without counting its fault twice.
    run.fault = j;
  } else if (type == "fault" && j.value("kind", "") == "starved") {
    run.starved = true;
  }
  return true;
}

}  // namespace

void ChargeWaitingFault(RefereeRun& run, Bookkeeper& book) {
  if (!run.fault.is_null()) book.ChargeFault(run, run.fault);
  run.fault = nullptr;
}

void Ingest(RefereeRun& run, Bookkeeper& book, const std::string& out_dir) {
  const std::string path = out_dir + "/" + run.dir + "/match.jsonl";
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;  // never a FIFO's wait
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  in.seekg(run.offset);
  std::string line;
  while (std::getline(in, line)) {
    if (in.eof()) break;  // no newline yet: a line still being written
    run.offset += static_cast<long>(line.size()) + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string where = path + ", line " + std::to_string(++run.lines) + ": ";
    if (!IngestLine(run, book, line, where)) return;
  }
}
