// libFuzzer target for the record readers: any text, read as a referee
// match record (the report's reader) and as an arena results file (the
// reader resume, merge and the report use, then the verdict drawn from
// it), must give a report or one error line, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include "record_reader.h"
#include "records.h"
#include "verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto match = ReadMatchRecord(text);
  if (!match.ok())
    if (match.error().text.empty() || match.error().text.find('\n') != std::string::npos)
      std::abort();

  const Result<Ledger> parsed = ParseResults(text, "results.jsonl");
  if (!parsed.ok()) {
    if (parsed.error().text.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  const Ledger& ledger = *parsed;
  const Result<TournamentSettings> read = SettingsFromJson(ledger.settings);
  if (!read) std::abort();  // checked on loading
  const TournamentSettings& s = *read;
  // A schedule of millions of rounds is sound but slow to count.
  if (static_cast<double>(s.pairs) * static_cast<double>(Pairings(s).size()) > 1e5) return 0;
  const Summary sum = Summarise(s, ledger, true);
  VerdictText(s, ledger, sum);
  return 0;
}
