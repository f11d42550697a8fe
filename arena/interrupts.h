// What the tournament loop waits on: ^C or SIGTERM asks it to stop (the
// run is then resumable), and the end of any referee run wakes it at once
// rather than at its next look at the records.
#pragma once

#include <signal.h>

#include <optional>

#include "error.h"

// SIGINT, SIGTERM and SIGCHLD caught while an instance lives; the earlier
// handlers back when it goes.
class CaughtSignals {
 public:
  CaughtSignals() = default;
  CaughtSignals(const CaughtSignals&) = delete;
  CaughtSignals& operator=(const CaughtSignals&) = delete;
  ~CaughtSignals();

  std::optional<Error> Catch();

 private:
  bool caught_ = false;
  struct sigaction old_int_ = {}, old_term_ = {}, old_chld_ = {};
};

// Whether SIGINT or SIGTERM came since Catch().
bool Interrupted();

// Waits up to `ms` milliseconds or until a signal above wakes it.
void Pause(int ms);
