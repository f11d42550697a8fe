// A referee run's match record read as it grows: each whole line checked,
// its rounds turned into results lines of their slots, a fault kept until
// its round's line comes (so that a run cut between the two replays the
// round without counting its fault twice), a player that cannot play
// charged as if it had failed.
#pragma once

#include <string>

#include "bookkeeper.h"
#include "referee_run.h"

// Reads the whole lines the run's match.jsonl has gained.
void Ingest(RefereeRun& run, Bookkeeper& book, const std::string& out_dir);

// Charges a fault still waiting for its round (the run has ended).
void ChargeWaitingFault(RefereeRun& run, Bookkeeper& book);
