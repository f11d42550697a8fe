// A tournament's report data made up on the spot: rounds played by the
// rules between random players (the first one now and then greedy, so the
// ratings differ), with standings, cross-table, pairings, faults and, for
// two players, the course with a sequential test. The browser test and the
// benchmark use it in place of a real run.
#pragma once

#include <cmath>
#include <random>
#include <string>
#include <tuple>

#include "board.h"
#include "report_data.h"

inline ReportData SyntheticTournament(int numPlayers, int64_t numRounds, uint32_t seed = 7) {
  constexpr int kHoles = 6, kBones = 4, kMaxTurns = 300;
  std::mt19937 rng(seed);
  ReportData d;
  d.holes = kHoles;
  d.bones = kBones;
  d.title = "Tournament of " + std::to_string(numPlayers) + " players";
  d.settings = {{"format", "round-robin"},
                {"holes", "6"},
                {"bones", "4"},
                {"max_turns", "300"},
                {"openings", "{\"random\":2,\"seed\":1}"}};
  std::vector<std::string> names;
  for (int i = 0; i < numPlayers; ++i) names.push_back(std::string(1, static_cast<char>('A' + i)));
  std::vector<std::array<int, 2>> pairings;
  for (int i = 0; i < numPlayers; ++i) {
    for (int j = i + 1; j < numPlayers; ++j) pairings.push_back({i, j});
  }
  // wins[i][j]: rounds i won against j; draws symmetric.
  std::vector<std::vector<int64_t>> wins(numPlayers, std::vector<int64_t>(numPlayers, 0));
  std::vector<std::vector<int64_t>> draws = wins;
  std::vector<int64_t> faults(numPlayers, 0);
  Course course;
  if (numPlayers == 2) {
    course.player_a = names[0];
    course.player_b = names[1];
    course.llr_bounds = std::make_pair(-2.944, 2.944);
  }
  double pairScoreSum = 0, pairScoreSq = 0, pairPoints = 0;  // of player A
  for (int64_t r = 0; r < numRounds; ++r) {
    RoundView v;
    v.id = r;
    v.pairing = (r / 2) % static_cast<int64_t>(pairings.size());
    v.pair = (r / 2) / static_cast<int64_t>(pairings.size());
    v.seat = static_cast<int>(r % 2);
    const auto [a, b] = pairings[v.pairing];
    const int first = v.seat == 0 ? a : b, second = v.seat == 0 ? b : a;
    v.pairing_name = names[a] + " vs " + names[b];
    v.player1 = names[first];
    v.player2 = names[second];
    PsBoard board;
    ResetBoard(board, kHoles, kBones);
    int32_t turns = 0;
    // The pair's shared opening: two random holes from the filled board.
    std::mt19937 openRng(static_cast<uint32_t>(v.pairing * 100003 + v.pair));
    for (int k = 0; k < 2; ++k) {
      const int hole = std::uniform_int_distribution<int>(1, kHoles)(openRng);
      v.opening.push_back(hole);
      const int me = CurPlayer(board);
      const PsSowing s =
          PsSow(Holes(board, me), Holes(board, 3 - me), &Store(board, me), kHoles, hole);
      if (!s.ExtraMove) board.Mover = 3 - me;
    }
    const bool crash = names[second] == "C" && r % 997 == 5;
    int turnsOfSecond = 0;
    while (!CheckGame(board) && turns < kMaxTurns) {
      const int me = CurPlayer(board);
      if (crash && me == 2 && ++turnsOfSecond == 5) break;
      int hole = std::uniform_int_distribution<int>(1, kHoles)(rng);
      while (Holes(board, me)[hole - 1] == 0) hole = hole % kHoles + 1;
      if ((me == 1 ? first : second) == 0 && rng() % 16 == 0) {
        for (int h = 1; h <= kHoles; ++h) {
          if (Holes(board, me)[h - 1] == kHoles - h + 1) hole = h;  // lands in the store
        }
      }
      v.moves.push_back({me, hole});
      const PsSowing s =
          PsSow(Holes(board, me), Holes(board, 3 - me), &Store(board, me), kHoles, hole);
      ++turns;
      if (!s.ExtraMove) board.Mover = 3 - me;
    }
    EndRound(board);
    v.stores = {Store(board, 1), Store(board, 2)};
    v.winner = Store(board, 1) > Store(board, 2) ? 1 : Store(board, 2) > Store(board, 1) ? 2 : 0;
    v.end = turns >= kMaxTurns ? "turn-limit" : "row-empty";
    if (crash) {
      v.end = "fault";
      v.winner = 1;
      v.fault = "pitsow: player 2 (C.so) crashed in PsGetTurn, round " + std::to_string(r) +
                ", turn " + std::to_string(turns + 1) + ": Segmentation fault";
      FaultLine f;
      f.player = "C";
      f.kind = "crash";
      f.report = v.fault;
      f.round_id = r;
      d.faults.push_back(f);
      ++faults[second];
    }
    if (v.winner == 1)
      ++wins[first][second];
    else if (v.winner == 2)
      ++wins[second][first];
    else {
      ++draws[first][second];
      ++draws[second][first];
    }
    if (numPlayers == 2)
      pairPoints += v.winner == 0 ? 0.5 : (v.winner == 1) == (first == 0) ? 1 : 0;
    d.rounds.push_back(std::move(v));

    if (numPlayers == 2 && r % 2 == 1) {
      const int64_t w = wins[0][1], l = wins[1][0], dr = draws[0][1];
      const int64_t n = w + l + dr;
      CoursePoint p;
      p.played = (r + 1) / 2;
      p.score_percent =
          100.0 * (static_cast<double>(w) + 0.5 * static_cast<double>(dr)) / static_cast<double>(n);
      std::tie(p.elo, p.elo_error) = EloWithError(w, dr, l);
      // A normal approximation of the test of 0 against 20 Elo on pair scores.
      pairScoreSum += pairPoints;
      pairScoreSq += pairPoints * pairPoints;
      pairPoints = 0;
      const double m = pairScoreSum / static_cast<double>(p.played);
      const double var = std::max(pairScoreSq / static_cast<double>(p.played) - m * m, 0.1);
      const double s0 = 1.0, s1 = 2.0 / (1.0 + std::pow(10.0, -20.0 / 400.0));
      p.llr = static_cast<double>(p.played) * (s1 - s0) * (2 * m - s0 - s1) / (2 * var);
      course.points.push_back(p);
      // A sequential test ends the run at a bound.
      if (*p.llr <= course.llr_bounds->first || *p.llr >= course.llr_bounds->second) break;
    }
  }
  for (int i = 0; i < numPlayers; ++i) {
    StandingRow row;
    row.player = names[i];
    for (int j = 0; j < numPlayers; ++j) {
      row.wins += wins[i][j];
      row.losses += wins[j][i];
      row.draws += draws[i][j];
    }
    row.rounds = row.wins + row.losses + row.draws;
    row.score_percent =
        row.rounds
            ? 100.0 * (static_cast<double>(row.wins) + 0.5 * static_cast<double>(row.draws)) /
                  static_cast<double>(row.rounds)
            : 0;
    std::tie(row.elo, row.elo_error) = EloWithError(row.wins, row.draws, row.losses);
    row.faults = faults[i];
    d.standings.push_back(row);
  }
  d.cross.players = names;
  d.cross.cells.assign(numPlayers, std::vector<std::string>(numPlayers));
  for (int i = 0; i < numPlayers; ++i) {
    for (int j = 0; j < numPlayers; ++j) {
      if (i == j) continue;
      const int64_t n = wins[i][j] + wins[j][i] + draws[i][j];
      const int64_t halves = 2 * wins[i][j] + draws[i][j];
      d.cross.cells[i][j] =
          std::to_string(halves / 2) + (halves % 2 ? ".5" : "") + "/" + std::to_string(n);
    }
  }
  for (const auto& [a, b] : pairings) {
    PairingLine p;
    p.player_a = names[a];
    p.player_b = names[b];
    p.wins_a = wins[a][b];
    p.wins_b = wins[b][a];
    p.draws = draws[a][b];
    p.rounds = p.wins_a + p.wins_b + p.draws;
    p.score_percent =
        p.rounds ? 100.0 * (static_cast<double>(p.wins_a) + 0.5 * static_cast<double>(p.draws)) /
                       static_cast<double>(p.rounds)
                 : 0;
    std::tie(p.elo, p.elo_error) = EloWithError(p.wins_a, p.draws, p.wins_b);
    d.pairings.push_back(p);
  }
  if (numPlayers == 2) d.course = std::move(course);
  d.total_rounds = static_cast<int64_t>(d.rounds.size());
  return d;
}
