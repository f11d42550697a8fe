/*
 * A player that attacks everything it can reach from its first PsGetTurn,
 * then plays its last non-empty hole like the honest last_hole player.
 * Param = port * 100 + attack: the attack by number (0: none) and, for
 * the network attack, the port of a socket listening on 127.0.0.1.
 */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
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
  kThinkLater    /* think for a second in PsOppTurn */
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
