/*
 * The floors for the endgame tables: one pass over a level file's bytes
 * (summing them, as the least a build must do to write a level) and as
 * many reads of a byte at a random offset as a lookup makes (the memory
 * access a lookup cannot avoid), with nothing of the project in it.
 *
 *   endgame_floor FILE READS     prints "bytes pass_seconds read_ns"
 */
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
  struct stat info;
  const unsigned char *bytes;
  uint64_t sum = 0, seed = 88172645463325252ULL, i;
  long reads;
  double start, pass, read;
  int fd;
  if (argc != 3) {
    fprintf(stderr, "usage: endgame_floor FILE READS\n");
    return 2;
  }
  reads = atol(argv[2]);
  fd = open(argv[1], O_RDONLY);
  if (fd < 0 || fstat(fd, &info) != 0) return 3;
  bytes = mmap(NULL, (size_t)info.st_size, PROT_READ, MAP_SHARED, fd, 0);
  if (bytes == MAP_FAILED) return 3;
  start = Now();
  for (i = 0; i < (uint64_t)info.st_size; ++i) sum += bytes[i];
  pass = Now() - start;
  start = Now();
  for (i = 0; i < (uint64_t)reads; ++i) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    sum += bytes[seed % (uint64_t)info.st_size];
  }
  read = (Now() - start) / (double)reads * 1e9;
  printf("%lld %.6f %.2f %llu\n", (long long)info.st_size, pass, read,
         (unsigned long long)(sum & 1));
  close(fd);
  return 0;
}
