#include "in_process_player.h"

#include <cstring>

#include "crash_guard.h"

CallFault InProcessPlayer::Init(PsInfo& info, PsBool& ready) {
  PsInfo* lent = Guarded().info[player_];
  std::memcpy(lent, &info, sizeof(PsInfo));
  ready = procs_.Init(lent);
  std::memcpy(&info, lent, sizeof(PsInfo));
  return std::nullopt;
}

CallFault InProcessPlayer::GetTurn(const HoleRow my_holes, const HoleRow opp_holes,
                                   int32_t my_store, int32_t opp_store, int32_t& answer) {
  int32_t* rows = Guarded().rows;
  std::memcpy(rows, my_holes, sizeof(HoleRow));
  std::memcpy(rows + PS_MAX_HOLES, opp_holes, sizeof(HoleRow));
  answer = procs_.GetTurn(rows, rows + PS_MAX_HOLES, my_store, opp_store);
  return std::nullopt;
}

CallFault InProcessPlayer::OppTurn(int32_t hole) {
  procs_.OppTurn(hole);
  return std::nullopt;
}

CallFault InProcessPlayer::EndRound(int32_t my, int32_t opp, int32_t turns) {
  procs_.EndRound(my, opp, turns);
  return std::nullopt;
}

CallFault InProcessPlayer::Done() {
  procs_.Done();
  return std::nullopt;
}
