#include "ingest.h"

#include <sys/stat.h>

#include <fstream>

#include "exit_status.h"
#include "record_check.h"

namespace {

void IngestRound(RefereeRun& run, Bookkeeper& book, const Json& j) {
  // A round the machine starved is played again: it does not count.
  const std::optional<int> pair = run.ReceiveRound();
  if (!pair) return;
  const Job& job = run.Assignment();
  const Slot slot{job.pairing, *pair, job.seat};
  if (book.Recorded().rounds.count(slot)) return;
  book.Write(RoundToJson(book.Settings(), slot, j, run.Folder()));
  ChargeWaitingFault(run, book);
  book.AfterRound(slot);
}

// One line of the record, checked before use; an error names the line.
std::optional<Error> IngestLine(RefereeRun& run, Bookkeeper& book, const std::string& line,
                                const std::string& where) {
  const Json j = Json::parse(line, nullptr, false);
  if (j.is_discarded()) return Error{where + "not JSON", kExitIoError};
  if (const auto why = CheckMatchLine(j)) return Error{where + why->text, kExitIoError};
  const std::string type = j["type"].get<std::string>();
  if (type == "round") {
    IngestRound(run, book, j);
  } else if (type == "player" && !j["ready"].get<bool>()) {
    // A player that cannot play is at fault as if it had failed.
    const std::string n = std::to_string(j["player"].get<int>());
    run.HoldFault({{"type", "fault"},
                   {"round", nullptr},
                   {"player", j["player"]},
                   {"kind", "refused"},
                   {"report", "pitsow: player " + n + " cannot play (its PsInit returned false)"}});
  } else if (type == "fault" && j.value("charged", true)) {
    // Recorded with its round, so that a run cut between the two lines
    // replays the round without counting its fault twice.
    run.HoldFault(j);
  } else if (type == "fault" && j.value("kind", "") == "starved") {
    run.MarkStarved();
  }
  return std::nullopt;
}

}  // namespace

void ChargeWaitingFault(RefereeRun& run, Bookkeeper& book) {
  const Json fault = run.TakeFault();
  if (!fault.is_null()) book.ChargeFault(run, fault);
}

void Ingest(RefereeRun& run, Bookkeeper& book, const std::string& out_dir) {
  const std::string path = out_dir + "/" + run.Folder() + "/match.jsonl";
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;  // never a FIFO's wait
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  in.seekg(run.ReadOffset());
  std::string line;
  while (std::getline(in, line)) {
    if (in.eof()) break;  // no newline yet: a line still being written
    const int number = run.LineRead(line.size() + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string where = path + ", line " + std::to_string(number) + ": ";
    if (auto e = IngestLine(run, book, line, where)) return book.Fail(*e);
  }
}
