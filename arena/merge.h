// The merge of a sharded tournament: the shards' folders read back, checked
// to hold one tournament's settings, each shard once and no round twice,
// and combined into one verdict, and into one results file when asked.
#pragma once

#include <string>
#include <vector>

#include "runner.h"

// Combines shard folders into one verdict, and into one results file in
// out_dir when given.
Result<TournamentEnd> MergeShards(const std::vector<std::string>& dirs, const std::string& out_dir);
