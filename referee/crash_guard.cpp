#include "crash_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "call_context.h"
#include "exit_status.h"

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS};
struct sigaction previous_actions[65];

int log_fd = -1;
bool log_is_console = false;
bool stderr_is_terminal = false;  // then the console's unfinished progress line is there too

GuardedMemory memory{};
char* guard_page[3] = {};  // the inaccessible pages behind record 1, record 2 and the rows
long page_size = 4096;

const char* SignalText(int sig) {
  switch (sig) {
    case SIGSEGV:
      return "Segmentation fault";
    case SIGBUS:
      return "Bus error";
    case SIGFPE:
      return "Floating point exception";
    case SIGILL:
      return "Illegal instruction";
    case SIGABRT:
      return "Aborted";
    case SIGSYS:
      return "Bad system call";
  }
  return "Fatal signal";
}

void WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w <= 0) return;  // nothing better can be done from here
    p += w;
    n -= static_cast<size_t>(w);
  }
}

// The report on stderr, and at the end of the log.
void Tell(const LineBuffer& line) {
  if (stderr_is_terminal) WriteAll(STDERR_FILENO, "\n", 1);
  WriteAll(STDERR_FILENO, line.text, line.size);
  WriteAll(STDERR_FILENO, "\n", 1);
  if (log_fd >= 0) {
    if (log_is_console) WriteAll(log_fd, "\r\n", 2);
    WriteAll(log_fd, line.text, line.size);
    WriteAll(log_fd, "\r\n", 2);
  }
}

bool InGuard(const void* address, const char* guard) {
  const char* a = static_cast<const char*>(address);
  return guard != nullptr && a >= guard && a < guard + page_size;
}

void OnFatalSignal(int sig, siginfo_t* info, void*) {
  LineBuffer line;
  if (CurrentPlayer() != 0) {
    const bool fault = sig == SIGSEGV || sig == SIGBUS;
    if (fault && (InGuard(info->si_addr, guard_page[1]) || InGuard(info->si_addr, guard_page[2]))) {
      AppendCallReport(line, "wrote past the record it was given");
    } else if (fault && InGuard(info->si_addr, guard_page[0])) {
      AppendCallReport(line, "wrote past the rows it was given");
    } else {
      AppendCallReport(line, "crashed");
      line.Add(": ");
      line.Add(SignalText(sig));
    }
  } else {
    line.Add("pitsow: internal error: ");
    line.Add(SignalText(sig));
  }
  Tell(line);
  LeaveCall();
  // Back to the previous action: the default, or a sanitizer's handler
  // that writes its own report. A fault raised by an instruction happens
  // again when this returns; a signal that was sent is sent once more.
  // Should the previous action not come back, this handler would run
  // again for ever: the process ends here instead, with the status a
  // shell gives a death by that signal (_exit, as nothing else is
  // async-signal-safe).
  if (sigaction(sig, &previous_actions[sig], nullptr) != 0) _exit(128 + sig);
  if (info->si_code <= 0) raise(sig);
}

void OnExit() {
  if (CurrentPlayer() == 0) return;
  LineBuffer line;
  AppendCallReport(line, "ended the process");
  Tell(line);
  std::fflush(nullptr);
  // _exit, not exit: this runs inside exit() already, and the player's
  // own exit handlers and static destructors are not to run.
  _exit(kExitPlayerFault);
}

constexpr const char* kMapFailed = "pitsow: cannot map the players' guarded memory";

// Maps three pairs of pages: a page of data, then a page nobody may touch.
// False, and nothing mapped, when the map or a guard page fails.
bool MapGuardedMemory() {
  page_size = sysconf(_SC_PAGESIZE);
  const auto length = static_cast<size_t>(6 * page_size);
  void* map = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return false;
  char* base = static_cast<char*>(map);
  char* guards[3];
  for (int i = 0; i < 3; ++i) {
    guards[i] = base + (2 * i + 1) * page_size;
    if (mprotect(guards[i], static_cast<size_t>(page_size), PROT_NONE) != 0) {
      munmap(map, length);
      return false;
    }
  }
  for (int i = 0; i < 3; ++i) guard_page[(i + 1) % 3] = guards[i];  // [1], [2] records, [0] rows
  memory.info[1] = reinterpret_cast<PsInfo*>(guard_page[1] - sizeof(PsInfo));
  memory.info[2] = reinterpret_cast<PsInfo*>(guard_page[2] - sizeof(PsInfo));
  memory.rows = reinterpret_cast<int32_t*>(guard_page[0] - 2 * sizeof(HoleRow));
  return true;
}

}  // namespace

std::optional<Error> InstallCrashGuard() {
  stderr_is_terminal = isatty(STDERR_FILENO) == 1;
  // Without the alternate stack the handlers run on the player's stack:
  // every fault is still reported but a stack overflow, which then kills
  // the referee by its signal, unreported, as without the guard.
  static char alt_stack[64 * 1024];
  stack_t stack{};
  stack.ss_sp = alt_stack;
  stack.ss_size = sizeof alt_stack;
  const bool alternate = sigaltstack(&stack, nullptr) == 0;
  for (int sig : kFatalSignals) {
    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | (alternate ? SA_ONSTACK : 0);
    sigemptyset(&action.sa_mask);
    if (sigaction(sig, &action, &previous_actions[sig]) != 0)
      return Error{std::string("pitsow: cannot install the handler of ") + SignalText(sig) + ": " +
                       std::strerror(errno),
                   kExitIoError};
  }
  if (std::atexit(OnExit) != 0)
    return Error{"pitsow: cannot install the exit handler", kExitIoError};
  if (memory.rows == nullptr && !MapGuardedMemory()) return Error{kMapFailed, kExitIoError};
  return std::nullopt;
}

void SetCrashLog(int fd, bool is_console) {
  log_fd = fd;
  log_is_console = is_console;
}

const GuardedMemory& Guarded() {
  if (memory.rows == nullptr && !MapGuardedMemory()) {
    // Only where InstallCrashGuard never ran (the referee maps the pages
    // there or stops): plain memory, so that a write past the end is not
    // told apart from any other fault.
    static PsInfo plain_info[3];
    static int32_t plain_rows[2 * PS_MAX_HOLES];
    memory.info[1] = &plain_info[1];
    memory.info[2] = &plain_info[2];
    memory.rows = plain_rows;
  }
  return memory;
}
