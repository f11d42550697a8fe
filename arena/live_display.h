// The live display of a running tournament: on a terminal a progress bar
// and the standings redrawn in place four times a second; otherwise one
// progress line every five seconds. Nothing with --quiet.
#pragma once

#include "pair_tally.h"
#include "records.h"

struct LiveDisplay {
  bool quiet = false;
  bool tty = false;
  double started = 0;        // on the monotonic clock
  long rounds_at_start = 0;  // rounds of a resumed run already played
  double last_draw = 0;
  int drawn_lines = 0;

  // Draws when it is time to (always when final_draw).
  void Draw(const TournamentSettings& s, const Ledger& ledger, const PairTally& sprt_pairs,
            bool final_draw);
};
