// One referee run of a tournament: the pitsow program playing one seat of
// one pairing over the openings of some pairs, in a folder of its own
// under the output folder. The run owns its process: started in a process
// group of its own (a terminal's ^C reaches the arena only) that dies with
// the arena, killed with every process it started, and reaped; a run
// dropped while its referee still plays kills and reaps it.
#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "error.h"
#include "schedule.h"

// One referee run to be made: a pairing, a seat and the pairs whose
// openings it plays, in order (round r plays pairs[r]).
struct Job {
  int pairing = 0, seat = 0;
  std::vector<int> pairs;
};

// What every run of a tournament starts from.
struct RunSetup {
  const TournamentSettings& settings;
  const std::vector<std::pair<int, int>>& pairings;
  std::string out_dir;
  std::string referee;           // the pitsow program
  double run_limit_seconds = 0;  // 0: from the run's rounds and limits
};

class RefereeRun {
 public:
  RefereeRun(Job job, std::string dir, pid_t pid, double deadline);
  RefereeRun(RefereeRun&& other) noexcept;
  RefereeRun& operator=(RefereeRun&& other) noexcept;
  RefereeRun(const RefereeRun&) = delete;
  RefereeRun& operator=(const RefereeRun&) = delete;
  ~RefereeRun();

  // True once the referee has ended, by itself (Poll) or killed (Kill).
  bool Exited() const { return pid_ < 0; }
  // Its exit status, 128 + the signal that ended it, or -1 when killed.
  int Status() const { return status_; }
  // Reaps the referee when it has ended, killing anything it left behind;
  // true when it did end now.
  bool Poll();
  // Kills the referee and its whole process group and reaps it.
  void Kill();
  // Past the watchdog's deadline, on the monotonic clock.
  bool Overdue(double now) const { return now > deadline_; }

  const Job& Assignment() const { return job_; }
  const std::string& Folder() const { return dir_; }  // relative to the output folder

  // What has been read of its match.jsonl, changed only by the calls below.
  long ReadOffset() const { return offset_; }
  // A whole line of `bytes` (its newline too) read: its line number.
  int LineRead(size_t bytes);
  // Rounds received so far.
  size_t Received() const { return received_; }
  // The pair of the round whose line came now, counted as received; none
  // when the run has no round left or the machine starved it (a starved
  // run is played again from there, so its rounds do not count).
  std::optional<int> ReceiveRound();
  // The pairs the run has not played, in order.
  std::vector<int> Unplayed() const;
  // A fault line kept until its round's line comes.
  void HoldFault(nlohmann::ordered_json line) { fault_ = std::move(line); }
  // The fault line held, or null; nothing is held afterwards.
  nlohmann::ordered_json TakeFault() { return std::exchange(fault_, nullptr); }
  // A player of the run was charged a fault.
  void MarkFaulted() { faulted_ = true; }
  bool Faulted() const { return faulted_; }
  // A call the machine starved: the run is played again from there.
  void MarkStarved() { starved_ = true; }
  bool Starved() const { return starved_; }

 private:
  Job job_;
  std::string dir_;
  long offset_ = 0;               // bytes consumed
  int lines_ = 0;                 // lines read
  size_t received_ = 0;           // rounds received
  nlohmann::ordered_json fault_;  // a fault line waiting for its round's line
  bool faulted_ = false;
  bool starved_ = false;
  pid_t pid_ = -1;
  int status_ = 0;
  double deadline_ = 0;
};

// The watchdog's limit of a run of job: --run-limit, or from its rounds.
double RunLimitOf(const RunSetup& setup, const Job& job);

// Makes the run's folder and its openings file and starts the referee.
Result<RefereeRun> StartRefereeRun(const RunSetup& setup, const Job& job);
