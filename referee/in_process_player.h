// A player library loaded into the referee's own process and called
// directly. What it is handed lies in the crash guard's pages (a write past
// the end faults at once), never in the referee's own memory; a fault
// inside a call is the crash guard's to report, so a call here always
// returns without a fault.
#pragma once

#include "player.h"
#include "player_procs.h"

class InProcessPlayer final : public Player {
 public:
  // procs of the library bound as player number player (1 or 2).
  InProcessPlayer(int player, const PlayerProcs& procs) : player_(player), procs_(procs) {}

  CallFault Init(PsInfo& info, PsBool& ready) override;
  CallFault GetTurn(const HoleRow my_holes, const HoleRow opp_holes, int32_t my_store,
                    int32_t opp_store, int32_t& answer) override;
  CallFault OppTurn(int32_t hole) override;
  CallFault EndRound(int32_t my, int32_t opp, int32_t turns) override;
  CallFault Done() override;
  const CallFault& Fault() const override { return none_; }

 private:
  int player_;
  PlayerProcs procs_;
  CallFault none_;
};
