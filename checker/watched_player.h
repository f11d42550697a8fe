// The two sides of a checker's match, both behind the referee's player
// interface: the player under test in its host, each PsGetTurn timed and
// its answer noted with the position it was asked; and the opponent, the
// checker's own random sowing moves.
#pragma once

#include <map>
#include <random>
#include <string>
#include <vector>

#include "host_client.h"
#include "pitsow/rules.h"

struct RoundState;

// Where a match is played, for the lines that tell of it.
struct MatchPlan {
  int32_t holes = 6;
  int32_t bones = 6;
  int32_t seat = 1;  // the number of the player under test, 1 or 2, as the referee counts
  long max_rounds = 1;
  long quota = 0;         // stop after the round in which this many positions were asked
  long sample_after = 0;  // read the RSS after this round
  bool long_match = false;
};

// What the answers of all matches showed.
struct Answers {
  long positions = 0;  // asked in the positions matches
  long in_long_match = 0;
  long out_of_range = 0;
  std::string first_out_of_range;
  long passes = 0;
  std::string first_pass;
  long differing = 0;
  std::string first_differing;
  struct Seen {
    int32_t answer;
    std::string where;
  };
  std::map<std::string, Seen> seen;
  std::vector<double> seconds;  // each PsGetTurn
};

class WatchedPlayer final : public Player {
 public:
  // round: the round in play, for its number and turn; answers: where
  // they are noted.
  WatchedPlayer(HostedPlayer host, const RoundState& round, const MatchPlan& plan, Answers& answers)
      : host_(std::move(host)), round_(round), plan_(plan), answers_(answers) {}

  CallFault Init(PsInfo& info, PsBool& ready) override { return host_.Init(info, ready); }
  CallFault GetTurn(const HoleRow my_holes, const HoleRow opp_holes, int32_t my_store,
                    int32_t opp_store, int32_t& answer) override;
  CallFault OppTurn(int32_t hole) override { return host_.OppTurn(hole); }
  CallFault EndRound(int32_t my, int32_t opp, int32_t turns) override {
    return host_.EndRound(my, opp, turns);
  }
  CallFault Done() override { return host_.Done(); }
  const CallFault& Fault() const override { return host_.Fault(); }
  CallTimes LastCall() const override { return host_.LastCall(); }
  long ResidentKb() const override { return host_.ResidentKb(); }

  long asked = 0;  // PsGetTurn calls answered

 private:
  HostedPlayer host_;
  const RoundState& round_;
  const MatchPlan& plan_;
  Answers& answers_;
};

// Random sowing moves: a non-empty hole of its row, at random.
class RandomMover final : public Player {
 public:
  explicit RandomMover(std::mt19937_64& rng) : rng_(rng) {}

  CallFault Init(PsInfo& info, PsBool& ready) override;
  CallFault GetTurn(const HoleRow my_holes, const HoleRow opp_holes, int32_t my_store,
                    int32_t opp_store, int32_t& answer) override;
  CallFault OppTurn(int32_t) override { return std::nullopt; }
  CallFault EndRound(int32_t, int32_t, int32_t) override { return std::nullopt; }
  CallFault Done() override { return std::nullopt; }
  const CallFault& Fault() const override { return none_; }

 private:
  std::mt19937_64& rng_;
  int32_t holes_ = 0, bones_ = 0;
  int32_t player_ = 0;  // its number, 1 or 2, as PsInfo's Player
  CallFault none_;
};
