#include "interrupts.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "exit_status.h"

namespace {

volatile sig_atomic_t g_interrupted = 0;
// A pipe that a finished referee run wakes the main loop through.
int g_wake[2] = {-1, -1};

void Wake() {
  const int saved = errno;
  if (g_wake[1] >= 0) [[maybe_unused]]
    const ssize_t n = write(g_wake[1], "x", 1);
  errno = saved;
}

void OnInterrupt(int) {
  g_interrupted = 1;
  Wake();
}

void OnChild(int) { Wake(); }

std::optional<Error> Install(int sig, void (*handler)(int), struct sigaction* old) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  if (sigaction(sig, &sa, old) != 0)
    return Error{std::string("sigaction failed: ") + std::strerror(errno), kExitIoError};
  return std::nullopt;
}

}  // namespace

std::optional<Error> CaughtSignals::Catch() {
  g_interrupted = 0;
  if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) return Error{"pipe failed", kExitIoError};
  caught_ = true;  // from here the destructor puts back what was installed
  if (auto e = Install(SIGINT, OnInterrupt, &old_int_)) return e;
  if (auto e = Install(SIGTERM, OnInterrupt, &old_term_)) return e;
  return Install(SIGCHLD, OnChild, &old_chld_);
}

CaughtSignals::~CaughtSignals() {
  if (!caught_) return;
  // Putting back handlers sigaction gave us cannot fail; nothing to tell.
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
  sigaction(SIGCHLD, &old_chld_, nullptr);
  for (int& fd : g_wake) {
    close(fd);  // a pipe's close has nothing to flush: its result tells nothing
    fd = -1;
  }
}

bool Interrupted() { return g_interrupted != 0; }

void Pause(int ms) {
  pollfd p{g_wake[0], POLLIN, 0};
  // Below 0 a signal cut the wait short (EINTR): the loop looks again.
  if (poll(&p, 1, ms) > 0) {
    char drain[64];
    while (read(g_wake[0], drain, sizeof drain) > 0) {
    }
  }
}
