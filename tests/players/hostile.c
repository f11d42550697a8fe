/*
 * A player that attacks everything it can reach from its first PsGetTurn,
 * then plays its last non-empty hole like the honest last_hole player.
 * Param = port * 100 + attack: the attack by number (0: none) and, for
 * the network attack, the port of a socket listening on 127.0.0.1.
 */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <libgen.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include "PsComm.h"

enum {
  kFork = 1,     /* a child that outlives the match */
  kSignal,       /* SIGSTOP, then SIGKILL, to the referee */
  kFiles,        /* forge lines in the log and the record */
  kNetwork,      /* connect to 127.0.0.1 */
  kMemoryFile,   /* 512 MiB in a memory file */
  kReadMemory,   /* read the referee's memory */
  kChannel,      /* write into the referee's descriptors */
  kRenice,       /* renice the referee */
  kBusyThread,   /* think on the opponent's time for ever */
  kPtrace,       /* trace the referee */
  kSharedMemory, /* 512 MiB in /dev/shm */
  kOwnFolder,    /* write and read a file of its own: allowed */
  kSecrets,      /* read a file only root may read */
  kChmod,        /* open the log to everyone */
  kThinkLater,   /* think for a second in PsOppTurn */
  kSpinners,     /* four threads spinning for ever, on everybody's time */
  kReniceGroup,  /* renice the process group (PRIO_PGRP, 0) */
  kIoprioGroup,  /* lower the process group's I/O priority */
  kReniceUser,   /* renice every process of the user (PRIO_USER, 0) */
  kThreadBomb,   /* threads until the kernel refuses one */
  kFillDisk,     /* files in its own folder until it is full */
  kBigOutput,    /* 32 MiB on standard output */
  kInotify,      /* watch the folders around it */
  kSurvive,      /* no parent-death signal, a session of its own, then wait */
  kSecretEnv,    /* find CONTEST_SECRET in its or its parent's environment */
  kOtherProc,    /* read another process's /proc */
  kRawFork,      /* fork by raw system call */
  kOwnSigsys,    /* a SIGSYS handler of its own, then a refused call */
  kOtherFiles,   /* look for other players' libraries beside its own */
  kNetInfo,      /* the machine's sockets in /proc/self/net/tcp */
  kMemoryHog,    /* touch 3 GiB */
  kInherited     /* write into every descriptor it may have inherited */
};

static int32_t Holes, Attack, Port;

PsBool PsInit(PsInfo *Info) {
  Info->CurrVer = 1;
  Holes = Info->NumHoles;
  Attack = Info->Param % 100;
  Port = Info->Param / 100;
  return 1;
}

static void Forge(const char *path) {
  const char line[] = "{\"type\":\"round\",\"forged\":true}\n";
  const int fd = open(path, O_WRONLY | O_APPEND);
  if (fd >= 0) {
    if (write(fd, line, sizeof line - 1) < 0) perror(path);
    close(fd);
  }
}

static void *Spin(void *arg) {
  for (volatile unsigned long n = 0;; ++n) (void)arg;
  return NULL;
}

static void Connect(void) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  struct sockaddr_in a = {0};
  a.sin_family = AF_INET;
  a.sin_port = htons((uint16_t)Port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s >= 0 && connect(s, (struct sockaddr *)&a, sizeof a) == 0) (void)write(s, "hi", 2);
}

static void *Sleep(void *arg) {
  (void)arg;
  for (;;) pause();
  return NULL;
}

static void OnSigsys(int sig) { (void)sig; }

/* Whether a file holds the text (a NUL-separated environment too). */
static int Holds(const char *path, const char *text) {
  static char buf[1 << 16];
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return 0;
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return 0;
  for (ssize_t i = 0; i < n; ++i)
    if (buf[i] == '\0') buf[i] = '\n';
  buf[n] = '\0';
  return strstr(buf, text) != NULL;
}

/* Any other shared library in the folder of this one. */
static int OthersBeside(void) {
  Dl_info info;
  static int here;
  if (dladdr(&here, &info) == 0 || info.dli_fname == NULL) return 0;
  char path[4096], self[4096];
  snprintf(path, sizeof path, "%s", info.dli_fname);
  snprintf(self, sizeof self, "%s", basename(path));
  DIR *dir = opendir(dirname(path));
  int others = 0;
  for (struct dirent *e; dir != NULL && (e = readdir(dir)) != NULL;)
    if (strstr(e->d_name, ".so") != NULL && strcmp(e->d_name, self) != 0) ++others;
  if (dir != NULL) closedir(dir);
  return others;
}

static void MoreAttacks(void) {
  pthread_t thread;
  char name[32];
  static char block[1 << 20];
  switch (Attack) {
    case kSpinners:
      for (int i = 0; i < 4; ++i) pthread_create(&thread, NULL, Spin, NULL);
      break;
    case kReniceGroup:
      setpriority(PRIO_PGRP, 0, 19);
      break;
    case kIoprioGroup:
      syscall(SYS_ioprio_set, 2 /* IOPRIO_WHO_PGRP */, 0, (3 << 13) | 7 /* idle */);
      break;
    case kReniceUser:
      setpriority(PRIO_USER, 0, 19);
      break;
    case kThreadBomb:
      for (int i = 0; i < 5000 && pthread_create(&thread, NULL, Sleep, NULL) == 0; ++i) continue;
      break;
    case kFillDisk:
      for (int i = 0; i < 64; ++i) {
        snprintf(name, sizeof name, "fill%d", i);
        const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int full = fd < 0;
        for (int k = 0; !full && k < 8; ++k) full = write(fd, block, sizeof block) != sizeof block;
        if (fd >= 0) close(fd);
        if (full) break;
      }
      break;
    case kBigOutput:
      for (int i = 0; i < 32; ++i)
        if (write(1, block, sizeof block) < 0) break;
      break;
    case kInotify: {
      const int fd = inotify_init1(0);
      if (fd >= 0) inotify_add_watch(fd, "..", IN_ALL_EVENTS);
      break;
    }
    case kSurvive: {
      prctl(PR_SET_PDEATHSIG, 0);
      setsid();
      const struct timespec wait = {30, 0};
      nanosleep(&wait, NULL);
      break;
    }
    case kSecretEnv:
      if (getenv("CONTEST_SECRET") != NULL || Holds("/proc/1/environ", "CONTEST_SECRET") ||
          Holds("/proc/self/environ", "CONTEST_SECRET"))
        abort();
      break;
    case kOtherProc:
      if (Holds("/proc/1/cmdline", "") || Holds("/proc/1/status", "Name") ||
          Holds("/proc/1/mountinfo", "/"))
        abort();
      break;
    case kRawFork:
      if (syscall(SYS_fork) == 0) _exit(0);
      break;
    case kOwnSigsys:
      signal(SIGSYS, OnSigsys);
      socket(AF_INET, SOCK_STREAM, 0);
      break;
    case kOtherFiles:
      if (OthersBeside() > 0) abort();
      break;
    case kNetInfo:
      if (Holds("/proc/self/net/tcp", ": 0100007F")) abort();
      break;
    case kInherited:
      for (int fd = 3; fd < 64; ++fd)
        if (write(fd, "forged\n", 7) < 0) continue;
      break;
    case kMemoryHog:
      for (long i = 0; i < 3072; ++i) {
        char *p = malloc(1 << 20);
        if (p == NULL) abort();
        memset(p, 1, 1 << 20);
      }
      break;
    default:
      break;
  }
}

static void AttackOnce(void) {
  const pid_t referee = getppid();
  char path[64], buf[64];
  struct iovec mine = {buf, sizeof buf}, theirs = {(void *)0x400000, sizeof buf};
  pthread_t thread;
  switch (Attack) {
    case kFork:
      if (fork() == 0)
        for (;;) pause();
      break;
    case kSignal:
      kill(referee, SIGSTOP), kill(referee, SIGKILL);
      break;
    case kFiles:
      Forge("PsLog.txt"), Forge("r.jsonl"), Forge("../PsLog.txt"), Forge("../r.jsonl");
      Forge("../player1/output.txt");
      break;
    case kNetwork:
      Connect();
      break;
    case kMemoryFile:
      ftruncate(memfd_create("hog", 0), 512L << 20);
      break;
    case kReadMemory:
      process_vm_readv(referee, &mine, 1, &theirs, 1, 0);
      snprintf(path, sizeof path, "/proc/%d/mem", (int)referee);
      close(open(path, O_RDWR));
      break;
    case kChannel:
      for (int fd = 0; fd < 16; ++fd) {
        snprintf(path, sizeof path, "/proc/%d/fd/%d", (int)referee, fd);
        const int f = open(path, O_WRONLY);
        if (f >= 0 && write(f, "quit", 4) < 0) perror(path);
      }
      break;
    case kRenice:
      setpriority(PRIO_PROCESS, (id_t)referee, 19);
      break;
    case kBusyThread:
      pthread_create(&thread, NULL, Spin, NULL);
      break;
    case kPtrace:
      ptrace(PTRACE_ATTACH, referee, 0, 0);
      break;
    case kSharedMemory: {
      const int fd = open("/dev/shm/hostile", O_RDWR | O_CREAT, 0600);
      if (fd >= 0) ftruncate(fd, 512L << 20);
      break;
    }
    case kOwnFolder: {
      const int fd = open("mine.txt", O_RDWR | O_CREAT | O_TRUNC, 0600);
      if (fd < 0 || write(fd, "mine", 4) != 4 || pread(fd, buf, 4, 0) != 4) abort();
      break;
    }
    case kSecrets:
      if (read(open("/etc/shadow", O_RDONLY), buf, sizeof buf) > 0) abort();
      break;
    case kChmod:
      chmod("../PsLog.txt", 0666);
      break;
    default:
      MoreAttacks();
      break;
  }
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  (void)OppHoles, (void)MyStore, (void)OppStore;
  if (Attack != 0 && Attack != kThinkLater) AttackOnce(), Attack = 0;
  for (int32_t m = Holes; m >= 1; --m)
    if (MyHoles[m - 1] > 0) return m;
  return 1;
}

void PsOppTurn(int32_t Hole) {
  (void)Hole;
  for (volatile long n = 0; Attack == kThinkLater && n < 4000000000L; ++n) continue;
}
void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) { (void)My, (void)Opp, (void)Turns; }
void PsDone(void) {}
