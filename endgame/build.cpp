// The build of one width's tables, level by level from 0 up. Within a level
// a sowing move that keeps every bone on the board lowers the sum over bones
// of their distance to their owner's store, so such moves lead to positions
// solved first (computed on demand, depth first); the only cycles are passes,
// and a board's two positions (either side to move) are solved together by
// the formula of pitsow/endgame.h. Positions are claimed in chunks by every
// thread; two threads that meet on one position write the same byte.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#include "endgame.h"
#include "progress_bar.h"

namespace {

constexpr int8_t kUnknown = PS_EG_UNKNOWN;
constexpr uint64_t kChunk = 1 << 14;

struct LevelBuild {
  const PsEgTables* tables;  // lower levels mapped
  int holes;
  int level;
  int8_t* values;  // this level, kUnknown until solved
};

int8_t Load(const int8_t* at) { return __atomic_load_n(at, __ATOMIC_RELAXED); }
void Store(int8_t* at, int8_t value) { __atomic_store_n(at, value, __ATOMIC_RELAXED); }

int RowSum(const int32_t* row, int holes) {
  int sum = 0;
  for (int i = 0; i < holes; ++i) sum += row[i];
  return sum;
}

bool HasEmpty(const int32_t* row, int holes) {
  for (int i = 0; i < holes; ++i)
    if (row[i] == 0) return true;
  return false;
}

// The rank of (first, second) as counts of one level.
uint64_t RankOf(const LevelBuild& b, const int32_t* first, const int32_t* second, int level) {
  int32_t counts[2 * PS_MAX_HOLES];
  std::memcpy(counts, first, sizeof(int32_t) * b.holes);
  std::memcpy(counts + b.holes, second, sizeof(int32_t) * b.holes);
  return PsEgRank(b.tables, counts, level);
}

int SolvePair(const LevelBuild& b, const int32_t* my, const int32_t* opp);

// The value of (my, opp) at this level, solving it first when needed.
int SameLevelValue(const LevelBuild& b, const int32_t* my, const int32_t* opp) {
  const int8_t known = Load(&b.values[RankOf(b, my, opp, b.level)]);
  if (known != kUnknown) return known;
  return SolvePair(b, my, opp);
}

// The mover's best value over its sowing moves.
int BestSowing(const LevelBuild& b, const int32_t* my_holes, const int32_t* opp_holes) {
  int best = -1000;
  for (int hole = 1; hole <= b.holes; ++hole) {
    if (my_holes[hole - 1] == 0) continue;
    int32_t my[PS_MAX_HOLES], opp[PS_MAX_HOLES], store = 0;
    std::memcpy(my, my_holes, sizeof my);
    std::memcpy(opp, opp_holes, sizeof opp);
    const PsSowing sowing = PsSow(my, opp, &store, b.holes, hole);
    const int mine = RowSum(my, b.holes), theirs = RowSum(opp, b.holes);
    int value;
    if (mine == 0 || theirs == 0) {
      value = store + mine - theirs;  // the sweep of the row left
    } else if (sowing.ExtraMove) {
      value = store + b.tables->Values[b.level - store][RankOf(b, my, opp, b.level - store)];
    } else if (store > 0) {
      value = store - b.tables->Values[b.level - store][RankOf(b, opp, my, b.level - store)];
    } else {
      value = -SameLevelValue(b, opp, my);
    }
    best = std::max(best, value);
  }
  return best;
}

// Solves the board (my, opp) for both sides to move; answers the value of
// (my, opp) with its mover to move.
int SolvePair(const LevelBuild& b, const int32_t* my, const int32_t* opp) {
  const int mine = RowSum(my, b.holes), theirs = RowSum(opp, b.holes);
  const uint64_t here = RankOf(b, my, opp, b.level);
  const uint64_t swapped = RankOf(b, opp, my, b.level);
  if (mine == 0 || theirs == 0) {  // the round is over: the sweep
    Store(&b.values[here], static_cast<int8_t>(mine - theirs));
    Store(&b.values[swapped], static_cast<int8_t>(theirs - mine));
    return mine - theirs;
  }
  const int a = BestSowing(b, my, opp);
  const int o = BestSowing(b, opp, my);
  const bool a_passes = HasEmpty(my, b.holes), o_passes = HasEmpty(opp, b.holes);
  int va = a, vo = o;
  if (a_passes && o_passes) {
    va = std::max(a, std::min(-o, 0));
    vo = std::max(o, std::min(-a, 0));
  } else if (a_passes) {
    va = std::max(a, -o);
  } else if (o_passes) {
    vo = std::max(o, -a);
  }
  Store(&b.values[here], static_cast<int8_t>(va));
  Store(&b.values[swapped], static_cast<int8_t>(vo));
  return va;
}

// The next counts of the level in rank order.
void NextCounts(int32_t* counts, int parts) {
  int32_t tail = counts[parts - 1];
  for (int i = parts - 2; i >= 0; --i) {
    if (tail > 0) {
      ++counts[i];
      for (int j = i + 1; j < parts - 1; ++j) counts[j] = 0;
      counts[parts - 1] = tail - 1;
      return;
    }
    tail += counts[i];
  }
}

void SolveRange(const LevelBuild& b, uint64_t from, uint64_t to) {
  int32_t counts[2 * PS_MAX_HOLES];
  PsEgUnrank(b.tables, from, b.level, counts);
  for (uint64_t rank = from; rank < to; ++rank) {
    if (Load(&b.values[rank]) == kUnknown) SolvePair(b, counts, counts + b.holes);
    NextCounts(counts, 2 * b.holes);
  }
}

std::optional<Error> WriteAll(int fd, const void* data, size_t size, const std::string& path) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = write(fd, at, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return Error{"cannot write " + path + ": " + std::strerror(errno)};
    at += done;
    size -= static_cast<size_t>(done);
  }
  return std::nullopt;
}

// Writes the level under a temporary name, flushes it and renames it.
std::optional<Error> WriteLevel(const PsEgTables& tables, const std::string& dir, int level,
                                const int8_t* values, uint64_t count) {
  char path[PS_EG_PATH_SIZE];
  if (!PsEgLevelPath(path, sizeof path, dir.c_str(), tables.Holes, level))
    return Error{"the folder's name is too long: " + dir};
  const std::string final_path = path;
  const std::string temp = final_path + ".part." + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Error{"cannot create " + temp + ": " + std::strerror(errno)};
  const PsEgHeader header = PsEgMakeHeader(&tables, level, PsEgChecksum(values, count));
  std::optional<Error> error = WriteAll(fd, &header, sizeof header, temp);
  if (!error) error = WriteAll(fd, values, count, temp);
  if (!error && fdatasync(fd) != 0)
    error = Error{"cannot flush " + temp + ": " + std::strerror(errno)};
  if (close(fd) != 0 && !error) error = Error{"cannot close " + temp + ": " + std::strerror(errno)};
  if (!error && rename(temp.c_str(), final_path.c_str()) != 0)
    error = Error{"cannot rename " + temp + ": " + std::strerror(errno)};
  if (error) unlink(temp.c_str());
  return error;
}

std::optional<Error> MakeDirs(const std::string& dir) {
  for (size_t at = 1; at <= dir.size(); ++at) {
    if (at < dir.size() && dir[at] != '/') continue;
    const std::string part = dir.substr(0, at);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      return Error{"cannot create the folder " + part + ": " + std::strerror(errno)};
  }
  return std::nullopt;
}

// Solves one level on threads; lower levels are mapped in tables.
std::vector<int8_t> BuildLevel(const PsEgTables& tables, int level, int threads, ProgressBar* bar) {
  const uint64_t count = PsEgCount(&tables, level);
  std::vector<int8_t> values(count, kUnknown);
  const LevelBuild b{&tables, tables.Holes, level, values.data()};
  std::atomic<uint64_t> next{0};
  auto work = [&] {
    for (;;) {
      const uint64_t from = next.fetch_add(kChunk);
      if (from >= count) return;
      const uint64_t to = std::min(count, from + kChunk);
      SolveRange(b, from, to);
      if (bar) bar->Add(to - from);
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
  return values;
}

}  // namespace

Result<std::vector<LevelNote>> BuildTables(const BuildOptions& options) {
  if (options.holes < 1 || options.holes > PS_MAX_HOLES)
    return Error{"holes must be 1 to 6, not " + std::to_string(options.holes)};
  if (options.max_level < 0 || options.max_level > PS_EG_MAX_LEVEL)
    return Error{"bones must be 0 to " + std::to_string(PS_EG_MAX_LEVEL)};
  if (auto error = MakeDirs(options.dir)) return *error;
  const int threads = options.threads > 0
                          ? options.threads
                          : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  auto tables = std::make_unique<PsEgTables>();
  PsEgInit(tables.get(), options.holes);
  std::vector<LevelNote> notes;
  std::vector<int> to_build;
  uint64_t work = 0;
  for (int level = 0; level <= options.max_level; ++level) {
    LevelNote note{level, false, ""};
    const PsEgStatus status = PsEgMapLevel(tables.get(), options.dir.c_str(), level);
    if (status != PS_EG_OK) {
      note.built = true;
      if (status != PS_EG_MISSING) note.refused = PsEgStatusText(status);
      to_build.push_back(level);
      work += PsEgCount(tables.get(), level);
    }
    notes.push_back(note);
  }
  std::unique_ptr<ProgressBar> bar;
  if (options.progress && work > 0)
    bar = std::make_unique<ProgressBar>("holes " + std::to_string(options.holes) + ", up to " +
                                            std::to_string(options.max_level) + " bones",
                                        work);
  std::optional<Error> error;
  for (const int level : to_build) {
    const std::vector<int8_t> values = BuildLevel(*tables, level, threads, bar.get());
    error = WriteLevel(*tables, options.dir, level, values.data(), values.size());
    if (error) break;
    const PsEgStatus status = PsEgMapLevel(tables.get(), options.dir.c_str(), level);
    if (status != PS_EG_OK) {
      error = Error{"the level " + std::to_string(level) + " just written reads as " +
                    PsEgStatusText(status)};
      break;
    }
  }
  if (bar) bar->Finish();
  PsEgClose(tables.get());
  if (error) return *error;
  return notes;
}
