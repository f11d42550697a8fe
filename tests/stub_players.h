// Two players inside the test process: each answers from a queue (then
// its first non-empty hole) and every call is recorded in one list, in
// order, so a test sees exactly what the referee asked of whom.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "in_process_player.h"
#include "referee.h"

struct StubWorld {
  std::deque<int32_t> answers[3];
  std::vector<std::string> calls;
  bool vandal = false;  // players write into the rows they are shown
  int32_t holes = 6;
};

inline StubWorld& Stubs() {
  static StubWorld world;
  return world;
}

template <int N>
int32_t StubGetTurn(const HoleRow my, const HoleRow opp, int32_t myStore, int32_t oppStore) {
  StubWorld& w = Stubs();
  std::string call = "P" + std::to_string(N) + " GetTurn";
  for (int i = 0; i < PS_MAX_HOLES; ++i) call += " " + std::to_string(my[i]);
  call += " |";
  for (int i = 0; i < PS_MAX_HOLES; ++i) call += " " + std::to_string(opp[i]);
  call += " | " + std::to_string(myStore) + " " + std::to_string(oppStore);
  w.calls.push_back(call);
  int32_t answer = 0;
  if (!w.answers[N].empty()) {
    answer = w.answers[N].front();
    w.answers[N].pop_front();
  } else {
    for (int i = 0; i < w.holes && answer == 0; ++i)
      if (my[i] > 0) answer = i + 1;
  }
  if (w.vandal) {
    for (int i = 0; i < PS_MAX_HOLES; ++i) {
      const_cast<int32_t*>(my)[i] = 999;
      const_cast<int32_t*>(opp)[i] = 999;
    }
  }
  return answer;
}

template <int N>
void StubOppTurn(int32_t hole) {
  Stubs().calls.push_back("P" + std::to_string(N) + " OppTurn " + std::to_string(hole));
}

template <int N>
PsBool StubInit(PsInfo*) {
  Stubs().calls.push_back("P" + std::to_string(N) + " Init");
  return 1;
}

template <int N>
void StubEndRound(int32_t my, int32_t opp, int32_t turns) {
  Stubs().calls.push_back("P" + std::to_string(N) + " EndRound " + std::to_string(my) + " " +
                          std::to_string(opp) + " " + std::to_string(turns));
}

template <int N>
void StubDone() {
  Stubs().calls.push_back("P" + std::to_string(N) + " Done");
}

// A fresh world and a referee bound to the two stubs.
inline void BindStubs(Referee& ref) {
  Stubs() = StubWorld{};
  ref.seats.players[1] = std::make_unique<InProcessPlayer>(
      1, PlayerProcs{StubInit<1>, StubGetTurn<1>, StubOppTurn<1>, StubEndRound<1>, StubDone<1>});
  ref.seats.players[2] = std::make_unique<InProcessPlayer>(
      2, PlayerProcs{StubInit<2>, StubGetTurn<2>, StubOppTurn<2>, StubEndRound<2>, StubDone<2>});
}
