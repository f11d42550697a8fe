// Writes a small match record played by the rules between two random
// players, as the referee's --results file would hold it, and beside it
// the board after every step of every round, for the browser test to hold
// the report page against. It plays with the rules directly, not through
// the report's replay, so the two are checked against each other.
//
//   make_match RECORD.jsonl EXPECTED.json
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <vector>

#include "board.h"

using nlohmann::json;

namespace {

constexpr int kHoles = 6;
constexpr int kBones = 4;
constexpr int kRounds = 8;
constexpr int kMaxTurns = 300;
constexpr int kRejectedRound = 5;  // player 2 answers 0 after a few moves
constexpr int kFaultRound = 6;     // player 2 crashes at its fourth turn

json Position(const PsBoard& b) {
  json p = json::array();
  for (int side = 1; side <= 2; ++side) {
    for (int i = 0; i < kHoles; ++i) p.push_back(Holes(b, side)[i]);
  }
  p.push_back(Store(b, 1));
  p.push_back(Store(b, 2));
  return p;
}

void Play(PsBoard& b, int32_t& turns, int hole) {
  const int me = CurPlayer(b), opp = 3 - me;
  const PsSowing r = PsSow(Holes(b, me), Holes(b, opp), &Store(b, me), kHoles, hole);
  b.RoundOver = CheckGame(b);
  ++turns;
  if (!r.ExtraMove) b.Mover = opp;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_match RECORD.jsonl EXPECTED.json\n");
    return 64;
  }
  std::mt19937 rng(20261208);
  std::ofstream record(argv[1], std::ios::binary);
  json expected = {{"holes", kHoles}, {"rounds", json::array()}};
  record << json{{"type", "match"},
                 {"program", "pitsow"},
                 {"version", "1.1.0"},
                 {"settings",
                  {{"holes", kHoles},
                   {"bones", kBones},
                   {"rounds", kRounds},
                   {"max_turns", kMaxTurns},
                   {"openings", "openings.txt"},
                   {"forfeit", false}}},
                 {"players",
                  {{{"player", 1}, {"file", "Alpha.so"}, {"name", "Alpha <1>"}},
                   {{"player", 2}, {"file", "Beta.so"}, {"name", "Beta & co"}}}}}
                .dump()
         << "\n";
  const std::vector<std::vector<int>> openings = {{}, {1, 3}, {4}};
  int tally[3] = {0, 0, 0};
  for (int round = 0; round < kRounds; ++round) {
    PsBoard b;
    ResetBoard(b, kHoles, kBones);
    int32_t turns = 0;
    json positions = json::array({Position(b)});
    const std::vector<int>& opening = openings[round % openings.size()];
    for (int hole : opening) {
      Play(b, turns, hole);
      positions.push_back(Position(b));
    }
    json moves = json::array();
    std::string end;
    json rejected;
    int turns2 = 0;
    while (!GameOver(b) && turns < kMaxTurns) {
      const int me = CurPlayer(b);
      if (me == 2 && ++turns2 == 4 && (round == kRejectedRound || round == kFaultRound)) {
        end = round == kRejectedRound ? "rejected" : "fault";
        if (round == kRejectedRound) rejected = {{"player", 2}, {"answer", 0}};
        break;
      }
      // Mostly a hole with bones; now and then any hole, so passes occur.
      int hole = std::uniform_int_distribution<int>(1, kHoles)(rng);
      if (rng() % 10 != 0) {
        while (Holes(b, me)[hole - 1] == 0) hole = hole % kHoles + 1;
      }
      moves.push_back({me, hole});
      Play(b, turns, hole);
      positions.push_back(Position(b));
    }
    if (end.empty()) {
      end = GameOver(b)
                ? (Store(b, 1) > kHoles * kBones || Store(b, 2) > kHoles * kBones ? "majority"
                                                                                  : "row-empty")
                : "turn-limit";
    }
    const int32_t s1 = Store(b, 1), s2 = Store(b, 2);
    EndRound(b);
    if (Store(b, 1) != s1 || Store(b, 2) != s2) {
      // The page shows the sweep as a step with the swept rows emptied.
      json p = Position(b);
      for (int i = 0; i < 2 * kHoles; ++i) p[i] = 0;
      positions.push_back(p);
    }
    int winner = Store(b, 1) > Store(b, 2) ? 1 : Store(b, 2) > Store(b, 1) ? 2 : 0;
    if (end == "fault") {
      winner = 1;
      record << json{{"type", "fault"},
                     {"round", round},
                     {"turn", turns + 1},
                     {"player", 2},
                     {"call", "PsGetTurn"},
                     {"kind", "crash"},
                     {"detail", "Segmentation fault"},
                     {"report", "pitsow: player 2 (Beta.so) crashed in PsGetTurn, round " +
                                    std::to_string(round) + ", turn " + std::to_string(turns + 1) +
                                    ": Segmentation fault"}}
                    .dump()
             << "\n";
    }
    ++tally[winner == 0 ? 2 : winner - 1];
    json line = {{"type", "round"},  {"round", round}, {"opening", opening},
                 {"moves", moves},   {"end", end},     {"stores", {Store(b, 1), Store(b, 2)}},
                 {"winner", winner}, {"turns", turns}, {"time", {0.001, 0.002}}};
    if (!rejected.is_null()) line["rejected"] = rejected;
    record << line.dump() << "\n";
    expected["rounds"].push_back({{"round", round}, {"positions", positions}});
    if (end == "fault") break;
  }
  record << json{{"type", "end"},
                 {"tally", {tally[0], tally[1], tally[2]}},
                 {"rounds", kRounds},
                 {"elapsed", 0.5},
                 {"status", 4}}
                .dump()
         << "\n";
  std::ofstream(argv[2]) << expected.dump() << "\n";
  return record ? 0 : 3;
}
