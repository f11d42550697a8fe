#include "player_calls.h"

#include <cstring>

#include "call_context.h"
#include "crash_guard.h"

bool CallInit(Referee& ref, int n) {
  PsInfo* info = Guarded().info[n];
  std::memcpy(info, &ref.Info[n], sizeof(PsInfo));
  EnterCall(n, Entry::PsInit, -1, -1);
  const PsBool ok = ref.players[n].Init(info);
  LeaveCall();
  std::memcpy(&ref.Info[n], info, sizeof(PsInfo));
  return ok != 0;
}

int32_t CallGetTurn(Referee& ref, int n, const HoleRow& myHoles, const HoleRow& oppHoles,
                    int32_t myStore, int32_t oppStore) {
  int32_t* rows = Guarded().rows;
  std::memcpy(rows, myHoles, sizeof(HoleRow));
  std::memcpy(rows + PS_MAX_HOLES, oppHoles, sizeof(HoleRow));
  EnterCall(n, Entry::PsGetTurn, ref.Round, ref.board.TurnCount);
  const int32_t answer = ref.players[n].GetTurn(rows, rows + PS_MAX_HOLES, myStore, oppStore);
  LeaveCall();
  return answer;
}

void CallOppTurn(Referee& ref, int n, int32_t hole) {
  EnterCall(n, Entry::PsOppTurn, ref.Round, ref.board.TurnCount);
  ref.players[n].OppTurn(hole);
  LeaveCall();
}

void CallEndRound(Referee& ref, int n, int32_t my, int32_t opp, int32_t turns) {
  EnterCall(n, Entry::PsEndRound, ref.Round, -1);
  ref.players[n].EndRound(my, opp, turns);
  LeaveCall();
}

void CallDone(Referee& ref, int n) {
  EnterCall(n, Entry::PsDone, -1, -1);
  ref.players[n].Done();
  LeaveCall();
}
