#include "tournament_stop.h"

namespace {

struct StopName {
  TournamentStop stop;
  const char* text;
};
constexpr StopName kStopNames[] = {{TournamentStop::kComplete, "complete"},
                                   {TournamentStop::kInterrupted, "interrupted"},
                                   {TournamentStop::kRetired, "retired"},
                                   {TournamentStop::kSprtH1, "sprt-h1"},
                                   {TournamentStop::kSprtH0, "sprt-h0"}};

}  // namespace

std::string StopText(TournamentStop stop) {
  for (const StopName& n : kStopNames)
    if (n.stop == stop) return n.text;
  return "";
}

TournamentStop StopFromText(const std::string& text) {
  for (const StopName& n : kStopNames)
    if (text == n.text) return n.stop;
  return TournamentStop::kNone;
}

bool Decided(TournamentStop stop) {
  return stop == TournamentStop::kComplete || stop == TournamentStop::kSprtH1 ||
         stop == TournamentStop::kSprtH0;
}
