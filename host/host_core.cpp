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

#include <cerrno>
#include <cstring>

#include "channel.h"
#include "error.h"
#include "exit_status.h"
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
PsChannel* host_channel = nullptr;
uintptr_t record_guard = 0;  // the PROT_NONE page behind the record
uintptr_t rows_guard = 0;    // the PROT_NONE page behind the rows
uintptr_t page_size = 4096;
long limit_bytes = 0;                     // the address-space limit applied, 0: none
volatile sig_atomic_t in_call = 0;        // a player function (or the load) is running
volatile sig_atomic_t current_call = -1;  // PS_CALL_... of that call

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
  return page != 0 && addr >= page && addr < page + page_size;
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
  return pages * static_cast<long>(page_size);
}

// Close to the limit: within an eighth of it, at least 16 MiB. An
// allocation that failed for want of address space leaves the process
// about that close, whatever size it asked for.
bool NearMemoryLimit(long* used) {
  *used = AddressSpaceBytes();
  if (limit_bytes <= 0 || *used < 0) return false;
  long margin = limit_bytes / 8;
  if (margin < (16L << 20)) margin = 16L << 20;
  return *used + margin >= limit_bytes;
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
  PsChannel* ch = host_channel;
  if (ch != nullptr && PsLoad(&ch->state) != PS_CH_HOST_DEAD) {
    const uintptr_t addr = reinterpret_cast<uintptr_t>(info->si_addr);
    const bool memory_fault = sig == SIGSEGV || sig == SIGBUS;
    const bool addressed = memory_fault || sig == SIGFPE || sig == SIGILL;
    // A sandboxed host's filter stops a refused system call with SIGSYS.
    const bool refused = sig == SIGSYS && info->si_code == SYS_SECCOMP;
    Text text{ch->text, sizeof ch->text};
    long used = 0;
    int kind = PS_FAULT_SIGNAL;
    if (memory_fault && InPage(addr, record_guard)) {
      kind = PS_FAULT_PAST_RECORD;
      text.Put(IsWrite(context) ? "wrote" : "read").Put(" past the record (");
    } else if (memory_fault && InPage(addr, rows_guard)) {
      kind = PS_FAULT_PAST_ROWS;
      text.Put(IsWrite(context) ? "wrote" : "read").Put(" past the rows (");
    } else if (refused) {
      text.Put("refused system call ").Put(RefusedCallName(info->si_syscall));
    } else if (NearMemoryLimit(&used)) {
      kind = PS_FAULT_OUT_OF_MEMORY;
      text.Put("ran out of memory (")
          .Num(static_cast<unsigned long>(used >> 20))
          .Put(" of ")
          .Num(static_cast<unsigned long>(limit_bytes >> 20))
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
    ch->fault_call = in_call ? current_call : -1;
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
  PsChannel* ch = host_channel;
  if (ch == nullptr || !in_call || PsLoad(&ch->state) == PS_CH_HOST_DEAD) return;
  Text{ch->text, sizeof ch->text}.Put("ended the process");
  ch->fault_syscall = -1;
  ch->fault_kind = PS_FAULT_EXIT;
  ch->fault_signal = 0;
  ch->fault_call = current_call;
  PsSignal(ch, PS_CH_HOST_DEAD, &ch->client_sleeping);
}

// The system's words for the last failure of what.
Error Failed(const char* what) { return Error{std::string(what) + ": " + std::strerror(errno)}; }

std::optional<Error> InstallHandlers() {
  const size_t alt_size = 256 * 1024;
  void* alt = mmap(nullptr, alt_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (alt == MAP_FAILED) return Failed("mmap of the signal stack");
  stack_t st{};
  st.ss_sp = alt;
  st.ss_size = alt_size;
  if (sigaltstack(&st, nullptr) != 0) return Failed("sigaltstack");
  struct sigaction sa {};
  sa.sa_sigaction = OnFatalSignal;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS})
    if (sigaction(sig, &sa, nullptr) != 0) return Failed("sigaction");
  if (atexit(OnExit) != 0) return Error{"atexit: no room for the exit handler"};
  return std::nullopt;
}

// The record and the two rows the player is lent, each ending at a page
// boundary with an inaccessible page behind it, so that a write past the
// end faults at once.
struct Lent {
  PsInfo* record = nullptr;
  int32_t* my_holes = nullptr;
  int32_t* opp_holes = nullptr;
};

Result<Lent> MapLent() {
  void* pages =
      mmap(nullptr, 4 * page_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages == MAP_FAILED) return Failed("mmap of the lent pages");
  char* base = static_cast<char*>(pages);
  if (mprotect(base + page_size, page_size, PROT_NONE) != 0 ||
      mprotect(base + 3 * page_size, page_size, PROT_NONE) != 0)
    return Failed("mprotect of a guard page");
  Lent lent;
  record_guard = reinterpret_cast<uintptr_t>(base + page_size);
  rows_guard = reinterpret_cast<uintptr_t>(base + 3 * page_size);
  lent.record = reinterpret_cast<PsInfo*>(base + page_size - sizeof(PsInfo));
  lent.opp_holes = reinterpret_cast<int32_t*>(base + 3 * page_size - sizeof(HoleRow));
  lent.my_holes = lent.opp_holes - PS_MAX_HOLES;
  return lent;
}

void BeginCall(int call) {
  current_call = call;
  in_call = 1;
}

void EndCall() { in_call = 0; }

// Loads the library (under the load's mark, so that a crash in its
// constructors is reported as the load's) and binds the five entry points.
Result<PlayerProcs> Load(const std::string& library) {
  BeginCall(PS_CALL_LOAD);
  Result<void*> handle = Error{};
  if (IsPythonPlayer(library)) {
    handle = OpenPythonPlayer("", library);
  } else if (void* opened = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    handle = opened;
  } else {
    handle = Error{"cannot load player library " + library + ": " + DlError()};
  }
  EndCall();
  if (!handle) return handle.error();
  return FindEntryPoints(*handle, library);
}

void Answer(PsChannel* ch, int32_t result) {
  ch->result = result;
  PsSignal(ch, PS_CH_ANSWER, &ch->client_sleeping);
}

// Tells the client why the host cannot serve, and the status it ends with.
Error Refuse(PsChannel* ch, const std::string& why, int status) {
  Text{ch->text, sizeof ch->text}.Put(why.c_str());
  Answer(ch, 1);
  return Error{why, status};
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

// Limits the host's address space to options.memory_mb (limit_bytes).
std::optional<Error> LimitMemory(const HostOptions& options) {
  // AddressSanitizer reserves terabytes of address space up front, so a
  // limit on it cannot be applied to an instrumented host.
#if !defined(__SANITIZE_ADDRESS__)
  if (options.memory_mb > 0) {
    limit_bytes = options.memory_mb << 20;
    const rlimit limit{static_cast<rlim_t>(limit_bytes), static_cast<rlim_t>(limit_bytes)};
    if (setrlimit(RLIMIT_AS, &limit) != 0) return Failed("setrlimit RLIMIT_AS");
  }
#else
  (void)options;
#endif
  return std::nullopt;
}

}  // namespace

std::optional<Error> RunHost(const HostOptions& options) {
  // Die with the client; if it went before the request took effect, the
  // parent is no longer the one named.
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
    return Error{Failed("prctl PR_SET_PDEATHSIG").text, kExitHostChannelUnusable};
  if (options.parent != 0 && getppid() != options.parent)
    return Error{"the client is gone", kExitHostParentGone};
  // The name only tells a person reading ps which host this is: a failure
  // changes nothing the host does.
  const std::string name = "pitsow-host-" + std::to_string(options.player);
  (void)prctl(PR_SET_NAME, name.c_str());

  const long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) return Error{Failed("sysconf _SC_PAGESIZE").text, kExitHostChannelUnusable};
  page_size = static_cast<uintptr_t>(page);
  struct stat st {};
  if (fstat(options.channel_fd, &st) != 0 || st.st_size < static_cast<off_t>(sizeof(PsChannel)))
    return Error{"the channel is unusable", kExitHostChannelUnusable};
  void* mem =
      mmap(nullptr, sizeof(PsChannel), PROT_READ | PROT_WRITE, MAP_SHARED, options.channel_fd, 0);
  // The mapping holds the channel from here on; the descriptor is not
  // needed, and its close cannot lose anything (nothing is written to it).
  close(options.channel_fd);
  if (mem == MAP_FAILED) return Error{"the channel is unusable", kExitHostChannelUnusable};
  PsChannel* ch = static_cast<PsChannel*>(mem);
  // A sandboxed player holds no descriptor of the referee's: the channel
  // is mapped, everything else it may have inherited goes.
  const bool closed = options.sandbox.empty() || close_range(3, ~0U, 0) == 0;

  // Which step failed stays the host's: the client is told the one sentence.
  const Result<Lent> lent = MapLent();
  if (!closed || !lent || InstallHandlers())
    return Refuse(ch, "player host cannot set itself up", kExitHostChannelUnusable);
  host_channel = ch;
  if (LimitMemory(options))
    return Refuse(ch, "player host cannot set itself up", kExitHostChannelUnusable);

  // The client's first request is always the load.
  WaitForWork(ch);
  std::string library = options.library;
  if (!options.sandbox.empty()) {
    HostConfinement c{options.sandbox, options.library, ProgramFolder(), options.parent};
    c.pids = options.pids;
    c.files = options.files;
    c.output_bytes = options.output_mb << 20;
    const Result<std::string> confined = ConfineHost(c);
    if (!confined) return Refuse(ch, confined.error().text, kExitHostLoadFailed);
    library = *confined;
  }
  const Result<PlayerProcs> procs = Load(library);
  if (!procs) return Refuse(ch, procs.error().text, kExitHostLoadFailed);
  Answer(ch, 0);

  while (WaitForWork(ch) == PS_CH_REQUEST) Answer(ch, Perform(ch, *procs, *lent));
  return std::nullopt;
}
