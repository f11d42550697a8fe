// Who pays for a referee run that ended before its rounds were played and
// named nobody: a tournament never stops because of a player. A run whose
// referee charged a player (a fault line in its record, the end line's
// "charged") is settled by the bookkeeper; for the rest the evidence left
// on disk decides: a player's own folder, in this run or another one under
// way on the same disk, that holds more than its share of the disk is that
// player's fault (its folder is emptied, so the disk is free again); a disk of the output folder
// that is full all the same is the machine's, and stops the tournament cleanly, to be resumed; any
// other failure is played again, and only a run of such failures in a row
// (the machine cannot start processes, say) stops it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bookkeeper.h"
#include "referee_run.h"

// A player folder holding more than this (or an eighth of a smaller disk)
// is a player that filled its disk.
inline constexpr int64_t kFolderShareBytes = 64LL << 20;
// Less free room than this on the output folder's disk: the machine's disk is full.
inline constexpr int64_t kLeastFreeBytes = 8LL << 20;
// Failures charged to nobody in a row that stop the tournament.
inline constexpr int kUnchargedInARow = 3;

// The bytes in the files under path (links not followed); 0 when absent.
int64_t FolderBytes(const std::string& path);

// The free bytes on the disk of path, for an unprivileged writer; -1 unknown.
int64_t FreeBytes(const std::string& path);

// A player whose folder in the run `filler` holds more than its share is
// charged (kind disk) and the folder emptied; `failed` is the run that
// ended with status (filler itself, or another run on the same disk; -1:
// stopped). False when no folder is over its share.
bool ChargeFullFolder(RefereeRun& filler, const RefereeRun& failed, Bookkeeper& book,
                      const std::string& out_dir, int status);

// Empties every player folder of the run's folder that is over its share
// (a run stopped by the arena, whose player is charged otherwise).
void EmptyFullFolders(const std::string& run_dir);

// What an uncharged failure of run (its referee ended with status) comes
// to: a player of it or of another run under way charged (true; run is
// played again), or nobody (false, the run to be played again); the
// tournament's stop is written to book when it is the machine's.
bool ChargeFailedRun(RefereeRun& run, std::vector<RefereeRun>& running, Bookkeeper& book,
                     const std::string& out_dir, int status);
