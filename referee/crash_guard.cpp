#include "crash_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "call_context.h"
#include "exit_status.h"

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS};
struct sigaction Previous[65];

int LogFd = -1;
bool LogIsConsole = false;

GuardedMemory Memory{};
char* GuardPage[3] = {};  // the inaccessible pages behind record 1, record 2 and the rows
long PageSize = 4096;

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
  WriteAll(STDERR_FILENO, line.text, line.size);
  WriteAll(STDERR_FILENO, "\n", 1);
  if (LogFd >= 0) {
    if (LogIsConsole) WriteAll(LogFd, "\r\n", 2);
    WriteAll(LogFd, line.text, line.size);
    WriteAll(LogFd, "\r\n", 2);
  }
}

bool InGuard(const void* address, const char* guard) {
  const char* a = static_cast<const char*>(address);
  return guard != nullptr && a >= guard && a < guard + PageSize;
}

void OnFatalSignal(int sig, siginfo_t* info, void*) {
  LineBuffer line;
  if (CurrentPlayer() != 0) {
    const bool fault = sig == SIGSEGV || sig == SIGBUS;
    if (fault && (InGuard(info->si_addr, GuardPage[1]) || InGuard(info->si_addr, GuardPage[2]))) {
      AppendCallReport(line, "wrote past the record it was given");
    } else if (fault && InGuard(info->si_addr, GuardPage[0])) {
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
  sigaction(sig, &Previous[sig], nullptr);
  if (info->si_code <= 0) raise(sig);
}

void OnExit() {
  if (CurrentPlayer() == 0) return;
  LineBuffer line;
  AppendCallReport(line, "ended the process");
  Tell(line);
  std::fflush(nullptr);
  _exit(kExitPlayerFault);
}

}  // namespace

void InstallCrashGuard() {
  static char altStack[64 * 1024];
  stack_t stack{};
  stack.ss_sp = altStack;
  stack.ss_size = sizeof altStack;
  sigaltstack(&stack, nullptr);
  for (int sig : kFatalSignals) {
    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, &Previous[sig]);
  }
  std::atexit(OnExit);
  Guarded();
}

void SetCrashLog(int fd, bool isConsole) {
  LogFd = fd;
  LogIsConsole = isConsole;
}

const GuardedMemory& Guarded() {
  if (Memory.rows != nullptr) return Memory;
  PageSize = sysconf(_SC_PAGESIZE);
  // Three pairs of pages: a page of data, then a page nobody may touch.
  void* map = mmap(nullptr, static_cast<size_t>(6 * PageSize), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) {
    static const char text[] = "pitsow: cannot map the players' guarded memory\n";
    WriteAll(STDERR_FILENO, text, sizeof text - 1);
    _exit(kExitIoError);
  }
  char* base = static_cast<char*>(map);
  for (int i = 0; i < 3; ++i) {
    char* guard = base + (2 * i + 1) * PageSize;
    mprotect(guard, static_cast<size_t>(PageSize), PROT_NONE);
    GuardPage[(i + 1) % 3] = guard;  // [1] record 1, [2] record 2, [0] rows
  }
  Memory.info[1] = reinterpret_cast<PsInfo*>(GuardPage[1] - sizeof(PsInfo));
  Memory.info[2] = reinterpret_cast<PsInfo*>(GuardPage[2] - sizeof(PsInfo));
  Memory.rows = reinterpret_cast<int32_t*>(GuardPage[0] - 2 * sizeof(HoleRow));
  return Memory;
}
