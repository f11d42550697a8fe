#include "watched_player.h"

#include "check_parts.h"
#include "clock.h"
#include "referee.h"

namespace {

// The most positions remembered for the same-answer check, so that a very
// long match does not grow the checker without bound.
constexpr size_t kMaxRemembered = 200000;

std::string Row(const HoleRow row, int32_t holes) {
  std::string s;
  for (int k = 0; k < holes; ++k) s += (k > 0 ? " " : "") + std::to_string(row[k]);
  return s;
}

std::string PositionText(const HoleRow my, const HoleRow opp, int32_t holes, int32_t my_store,
                         int32_t opp_store) {
  return Row(my, holes) + " | " + Row(opp, holes) + ", stores " + std::to_string(my_store) + ":" +
         std::to_string(opp_store);
}

// The answer to a position asked before: noted when it differs.
void NoteRepeat(Answers& a, const MatchPlan& plan, const std::string& position, int32_t answer,
                const std::string& where) {
  std::string key = std::to_string(plan.seat) + "/" + std::to_string(plan.bones) + ":" + position;
  auto it = a.seen.find(key);
  if (it == a.seen.end()) {
    if (a.seen.size() < kMaxRemembered)
      a.seen.emplace(std::move(key), Answers::Seen{answer, where});
    return;
  }
  if (it->second.answer != answer && a.differing++ == 0)
    a.first_differing = "hole " + std::to_string(it->second.answer) + " on " + it->second.where +
                        ", hole " + std::to_string(answer) + " on " + where + " (" + position + ")";
}

}  // namespace

CallFault WatchedPlayer::GetTurn(const HoleRow my_holes, const HoleRow opp_holes, int32_t my_store,
                                 int32_t opp_store, int32_t& answer) {
  const double start = MonotonicSeconds();
  CallFault f = host_.GetTurn(my_holes, opp_holes, my_store, opp_store, answer);
  if (f) return f;
  answers_.seconds.push_back(MonotonicSeconds() - start);
  ++asked;
  const std::string where = (plan_.long_match ? "long match, " : "") +
                            BoardName(plan_.holes, plan_.bones) + " as player " +
                            std::to_string(plan_.seat) + ", round " + std::to_string(round_.Round) +
                            ", turn " + std::to_string(round_.TurnCount);
  const std::string position = PositionText(my_holes, opp_holes, plan_.holes, my_store, opp_store);
  Answers& a = answers_;
  if (answer < 1 || answer > plan_.holes) {
    if (a.out_of_range++ == 0)
      a.first_out_of_range =
          "answered " + std::to_string(answer) + " on " + where + " (" + position + ")";
    return f;
  }
  if (my_holes[answer - 1] == 0 && a.passes++ == 0)
    a.first_pass = "played empty hole " + std::to_string(answer) + " (a pass) on " + where + " (" +
                   position + ")";
  NoteRepeat(a, plan_, position, answer, where);
  return f;
}

CallFault RandomMover::Init(PsInfo& info, PsBool& ready) {
  holes_ = info.NumHoles;
  bones_ = info.NumBones;
  player_ = info.Player;
  ready = 1;
  return std::nullopt;
}

CallFault RandomMover::GetTurn(const HoleRow my_holes, const HoleRow opp_holes, int32_t my_store,
                               int32_t opp_store, int32_t& answer) {
  PsBoard board;
  PsBoardFromTurn(&board, holes_, bones_, player_, my_holes, opp_holes, my_store, opp_store);
  int32_t moves[PS_MAX_HOLES];
  const int count = PsSowingMoves(&board, moves);
  answer = count > 0 ? moves[rng_() % static_cast<uint64_t>(count)] : 1;
  return std::nullopt;
}
