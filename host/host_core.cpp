#include "host_core.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstring>

#include "channel.h"
#include "player_procs.h"
#include "program_folder.h"
#include "python_player.h"
#include "sandbox.h"

#ifndef SYS_SECCOMP
#define SYS_SECCOMP 1  // si_code of a SIGSYS from a seccomp filter
#endif

namespace {

// What the fatal-signal and exit handlers need; set once before the first
// call and read only by them.
PsChannel* Channel = nullptr;
uintptr_t RecordGuard = 0;  // the PROT_NONE page behind the record
uintptr_t RowsGuard = 0;    // the PROT_NONE page behind the rows
uintptr_t PageSize = 4096;
long LimitBytes = 0;                     // the address-space limit applied, 0: none
volatile sig_atomic_t InCall = 0;        // a player function (or the load) is running
volatile sig_atomic_t CurrentCall = -1;  // PS_CALL_... of that call

// A text built in place with async-signal-safe steps only.
struct Text {
  char* buf;
  size_t cap;
  size_t len = 0;

  Text& Put(const char* s) {
    while (*s != '\0' && len + 1 < cap) buf[len++] = *s++;
    buf[len] = '\0';
    return *this;
  }
  Text& Num(unsigned long v, unsigned base = 10) {
    char digits[32];
    int n = 0;
    do {
      digits[n++] = "0123456789abcdef"[v % base];
      v /= base;
    } while (v != 0);
    char out[34];
    int k = 0;
    if (base == 16) out[k++] = '0', out[k++] = 'x';
    while (n > 0) out[k++] = digits[--n];
    out[k] = '\0';
    return Put(out);
  }
};

const char* SignalName(int sig) {
  switch (sig) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    case SIGABRT:
      return "SIGABRT";
    case SIGSYS:
      return "SIGSYS";
    default:
      return "signal";
  }
}

bool InPage(uintptr_t addr, uintptr_t page) {
  return page != 0 && addr >= page && addr < page + PageSize;
}

// The process's address-space size in bytes, from /proc/self/statm, read
// with open and read only; -1 when it cannot be read.
long AddressSpaceBytes() {
  const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char buf[64];
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return -1;
  long pages = 0;
  for (ssize_t i = 0; i < n && buf[i] >= '0' && buf[i] <= '9'; ++i)
    pages = pages * 10 + (buf[i] - '0');
  return pages * static_cast<long>(PageSize);
}

// Close to the limit: within an eighth of it, at least 16 MiB. An
// allocation that failed for want of address space leaves the process
// about that close, whatever size it asked for.
bool NearMemoryLimit(long* used) {
  *used = AddressSpaceBytes();
  if (LimitBytes <= 0 || *used < 0) return false;
  long margin = LimitBytes / 8;
  if (margin < (16L << 20)) margin = 16L << 20;
  return *used + margin >= LimitBytes;
}

// Whether the faulting access was a write (the page-fault error code has
// it on x86-64; elsewhere every such fault counts as a write).
bool IsWrite(void* context) {
#if defined(__x86_64__)
  const ucontext_t* uc = static_cast<const ucontext_t*>(context);
  return (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
  (void)context;
  return true;
#endif
}

void OnFatalSignal(int sig, siginfo_t* info, void* context) {
  PsChannel* ch = Channel;
  if (ch != nullptr && PsLoad(&ch->state) != PS_CH_HOST_DEAD) {
    const uintptr_t addr = reinterpret_cast<uintptr_t>(info->si_addr);
    const bool memoryFault = sig == SIGSEGV || sig == SIGBUS;
    const bool addressed = memoryFault || sig == SIGFPE || sig == SIGILL;
    // A sandboxed host's filter stops a refused system call with SIGSYS.
    const bool refused = sig == SIGSYS && info->si_code == SYS_SECCOMP;
    Text text{ch->text, sizeof ch->text};
    long used = 0;
    int kind = PS_FAULT_SIGNAL;
    if (memoryFault && InPage(addr, RecordGuard)) {
      kind = PS_FAULT_PAST_RECORD;
      text.Put(IsWrite(context) ? "wrote" : "read").Put(" past the record (");
    } else if (memoryFault && InPage(addr, RowsGuard)) {
      kind = PS_FAULT_PAST_ROWS;
      text.Put(IsWrite(context) ? "wrote" : "read").Put(" past the rows (");
    } else if (refused) {
      text.Put("refused system call ").Put(RefusedCallName(info->si_syscall));
    } else if (NearMemoryLimit(&used)) {
      kind = PS_FAULT_OUT_OF_MEMORY;
      text.Put("ran out of memory (")
          .Num(static_cast<unsigned long>(used >> 20))
          .Put(" of ")
          .Num(static_cast<unsigned long>(LimitBytes >> 20))
          .Put(" MiB in use, ");
    } else {
      text.Put("crashed (");
    }
    if (!refused) {
      text.Put(SignalName(sig));
      if (addressed) text.Put(" at address ").Num(addr, 16);
      text.Put(")");
    }
    ch->fault_kind = kind;
    ch->fault_signal = sig;
    ch->fault_syscall = refused ? info->si_syscall : -1;
    ch->fault_call = InCall ? CurrentCall : -1;
    PsSignal(ch, PS_CH_HOST_DEAD, &ch->client_sleeping);
  }
  // The default action, once this handler returns: the process dies by
  // the same signal, so the client's waitpid sees it.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigaction(sig, &dfl, nullptr);
  raise(sig);
}

// exit() inside a player call: the status itself reaches the client
// through waitpid.
void OnExit() {
  PsChannel* ch = Channel;
  if (ch == nullptr || !InCall || PsLoad(&ch->state) == PS_CH_HOST_DEAD) return;
  Text{ch->text, sizeof ch->text}.Put("ended the process");
  ch->fault_syscall = -1;
  ch->fault_kind = PS_FAULT_EXIT;
  ch->fault_signal = 0;
  ch->fault_call = CurrentCall;
  PsSignal(ch, PS_CH_HOST_DEAD, &ch->client_sleeping);
}

bool InstallHandlers() {
  const size_t altSize = 256 * 1024;
  void* alt = mmap(nullptr, altSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (alt == MAP_FAILED) return false;
  stack_t st{};
  st.ss_sp = alt;
  st.ss_size = altSize;
  if (sigaltstack(&st, nullptr) != 0) return false;
  struct sigaction sa {};
  sa.sa_sigaction = OnFatalSignal;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS})
    if (sigaction(sig, &sa, nullptr) != 0) return false;
  return atexit(OnExit) == 0;
}

// The record and the two rows the player is lent, each ending at a page
// boundary with an inaccessible page behind it, so that a write past the
// end faults at once.
struct Lent {
  PsInfo* record = nullptr;
  int32_t* my_holes = nullptr;
  int32_t* opp_holes = nullptr;
};

bool MapLent(Lent& lent) {
  char* base = static_cast<char*>(
      mmap(nullptr, 4 * PageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  if (base == MAP_FAILED) return false;
  if (mprotect(base + PageSize, PageSize, PROT_NONE) != 0 ||
      mprotect(base + 3 * PageSize, PageSize, PROT_NONE) != 0)
    return false;
  RecordGuard = reinterpret_cast<uintptr_t>(base + PageSize);
  RowsGuard = reinterpret_cast<uintptr_t>(base + 3 * PageSize);
  lent.record = reinterpret_cast<PsInfo*>(base + PageSize - sizeof(PsInfo));
  lent.opp_holes = reinterpret_cast<int32_t*>(base + 3 * PageSize - sizeof(HoleRow));
  lent.my_holes = lent.opp_holes - PS_MAX_HOLES;
  return true;
}

void BeginCall(int call) {
  CurrentCall = call;
  InCall = 1;
}

void EndCall() { InCall = 0; }

// Loads the library and binds the five entry points; returns the error
// text, empty on success.
std::string Load(const std::string& library, PlayerProcs& procs) {
  BeginCall(PS_CALL_LOAD);
  void* handle = nullptr;
  std::string why;
  if (IsPythonPlayer(library)) {
    if (auto error = OpenPythonPlayer("", library, handle)) why = error->text;
  } else if ((handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL)) == nullptr) {
    why = "cannot load player library " + library + ": " + DlError();
  }
  EndCall();
  if (!why.empty()) return why;
  if (auto error = FindEntryPoints(handle, library, procs)) return error->text;
  return "";
}

void Answer(PsChannel* ch, int32_t result) {
  ch->result = result;
  PsSignal(ch, PS_CH_ANSWER, &ch->client_sleeping);
}

// Waits for a request or the quit; returns that state.
uint32_t WaitForWork(PsChannel* ch) {
  for (;;) {
    uint32_t s = PsLoad(&ch->state);
    if (s == PS_CH_REQUEST || s == PS_CH_QUIT) return s;
    s = PsWaitBriefly(ch, s, &ch->host_waiter);
    if (s == PS_CH_REQUEST || s == PS_CH_QUIT) return s;
    PsSleepWhile(ch, s, &ch->host_sleeping, nullptr);
  }
}

int32_t Perform(PsChannel* ch, const PlayerProcs& procs, const Lent& lent) {
  const int call = ch->call;
  int32_t result = 0;
  BeginCall(call);
  switch (call) {
    case PS_CALL_INIT:
      std::memcpy(lent.record, &ch->info, sizeof(PsInfo));
      result = procs.Init(lent.record);
      std::memcpy(&ch->info, lent.record, sizeof(PsInfo));
      break;
    case PS_CALL_GET_TURN:
      std::memcpy(lent.my_holes, ch->my_holes, sizeof(HoleRow));
      std::memcpy(lent.opp_holes, ch->opp_holes, sizeof(HoleRow));
      result = procs.GetTurn(lent.my_holes, lent.opp_holes, ch->args[0], ch->args[1]);
      break;
    case PS_CALL_OPP_TURN:
      procs.OppTurn(ch->args[0]);
      break;
    case PS_CALL_END_ROUND:
      procs.EndRound(ch->args[0], ch->args[1], ch->args[2]);
      break;
    case PS_CALL_DONE:
      procs.Done();
      break;
    default:
      result = -1;
  }
  EndCall();
  return result;
}

}  // namespace

int RunHost(const HostOptions& options) {
  // Die with the client; if it went before the request took effect, the
  // parent is no longer the one named.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (options.parent != 0 && getppid() != options.parent) return 1;
  const std::string name = "pitsow-host-" + std::to_string(options.player);
  prctl(PR_SET_NAME, name.c_str());

  PageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  struct stat st {};
  if (fstat(options.channel_fd, &st) != 0 || st.st_size < static_cast<off_t>(sizeof(PsChannel)))
    return 3;
  void* mem =
      mmap(nullptr, sizeof(PsChannel), PROT_READ | PROT_WRITE, MAP_SHARED, options.channel_fd, 0);
  close(options.channel_fd);
  if (mem == MAP_FAILED) return 3;
  // A sandboxed player holds no descriptor of the referee's: the channel
  // is mapped, everything else it may have inherited goes.
  if (!options.sandbox.empty()) close_range(3, ~0U, 0);
  PsChannel* ch = static_cast<PsChannel*>(mem);

  Lent lent;
  if (!MapLent(lent) || !InstallHandlers()) {
    Text{ch->text, sizeof ch->text}.Put("player host cannot set itself up");
    Answer(ch, 1);
    return 3;
  }
  Channel = ch;

  // AddressSanitizer reserves terabytes of address space up front, so a
  // limit on it cannot be applied to an instrumented host.
#if !defined(__SANITIZE_ADDRESS__)
  if (options.memory_mb > 0) {
    LimitBytes = options.memory_mb << 20;
    const rlimit limit{static_cast<rlim_t>(LimitBytes), static_cast<rlim_t>(LimitBytes)};
    setrlimit(RLIMIT_AS, &limit);
  }
#endif

  // The client's first request is always the load.
  PlayerProcs procs;
  WaitForWork(ch);
  std::string library = options.library;
  if (!options.sandbox.empty()) {
    HostConfinement c{options.sandbox, options.library, ProgramFolder(), options.parent};
    c.pids = options.pids;
    c.files = options.files;
    c.output_bytes = options.output_mb << 20;
    const Result<std::string> confined = ConfineHost(c);
    if (!confined) {
      Text{ch->text, sizeof ch->text}.Put(confined.error().text.c_str());
      Answer(ch, 1);
      return 2;
    }
    library = *confined;
  }
  const std::string error = Load(library, procs);
  if (!error.empty()) {
    Text{ch->text, sizeof ch->text}.Put(error.c_str());
    Answer(ch, 1);
    return 2;
  }
  Answer(ch, 0);

  while (WaitForWork(ch) == PS_CH_REQUEST) Answer(ch, Perform(ch, procs, lent));
  return 0;
}
