/*
 * Endgame tables for players and programs: the file format, the rank of a
 * position, reading a table (mapped, checked) and the value of a position or
 * of one move. Header only, C99 and C++, POSIX (open, mmap); the caller owns
 * the PsEgTables record, nothing is global. pitsow-solve builds the files.
 *
 *   #include <pitsow/endgame.h>
 *
 * A position is the 2 x NumHoles holes of a board (the stores do not count)
 * with a side to move, seen from the mover: counts[0..n-1] the mover's holes
 * 1..n, counts[n..2n-1] the opponent's. Its level is the bones in the holes.
 * The positions of one level are ranked by their counts in lexicographic
 * order (a perfect stars-and-bars rank: 0 .. C(level + 2n - 1, 2n - 1) - 1),
 * one signed byte each.
 *
 * The value: the bones the mover still gets into its store minus the bones
 * the opponent still gets, when both play perfectly to maximise that
 * difference, under the referee's moves (sowing, extra move, capture, pass
 * on an empty hole, sweep of the other row once a row is empty) with two
 * choices:
 *
 *   - The majority end (a store above half of all bones) is not applied:
 *     the round is played out until a row is empty. This never changes who
 *     wins, only the margin. Proof: the majority end stops a play at the
 *     first moment a store S holds more than half of all bones N; from then
 *     on that store only grows and the other stays below N / 2 in both
 *     games, so every play has the same winner with the end and without it.
 *     Both games are then the same game of win, draw or loss, with the same
 *     value. Perfect play for the margin wins whenever a win can be forced,
 *     holds a draw when only a draw can (mover's store - opponent's store +
 *     value > 0, = 0, < 0 are exactly won, drawn, lost). So the winner from
 *     any position with any stores is exact; the margin is that of the
 *     played-out round.
 *   - The turn limit is not applied. A play that never ends is a pass
 *     answered by a pass for ever (the only cycles: a sowing move that keeps
 *     the level lowers the sum over bones of their distance to their owner's
 *     store, a pass changes nothing); it scores the bones in the holes for
 *     nobody, as the referee scores a round stopped by its limit with both
 *     rows full, so its value from here is 0. The value is that of the
 *     round without a turn limit: a position does not know the turn count,
 *     and with finitely many turns left it can be worth something else
 *     (close to the limit, who sows last can decide).
 *
 * Passes: with a the mover's best sowing value and b the opponent's best on
 * the same board with the sides swapped, the mover's value is a when it
 * cannot pass, max(a, -b) when only it can, and max(a, min(-b, 0)) when
 * both can (a pass answered by a pass is worth 0).
 *
 * A file holds one level of one width: a 64-byte header (PsEgHeader), then
 * Count bytes. A file that is short, long, of another width, level, format
 * or byte order, or whose checksum does not match, is refused.
 */
#ifndef PITSOW_ENDGAME_H
#define PITSOW_ENDGAME_H

#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rules.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PS_EG_FORMAT_VERSION 1
#define PS_EG_MAX_LEVEL 48     /* values stay within a signed byte */
#define PS_EG_UNKNOWN (-128)   /* a position the tables do not cover */
#define PS_EG_MAGIC "PitsowEG" /* 8 bytes, no terminator in the file */
#define PS_EG_PATH_SIZE 4096
#ifdef O_CLOEXEC
#define PS_EG_OPEN_FLAGS (O_RDONLY | O_CLOEXEC)
#else /* strict C99 hides it; the descriptor is closed at once anyway */
#define PS_EG_OPEN_FLAGS O_RDONLY
#endif

/* The 64-byte header of a table file, in the builder's byte order. */
typedef struct PsEgHeader {
  char Magic[8];
  uint32_t Version;
  uint32_t Holes;
  uint32_t Level;
  uint32_t HeaderSize;
  uint64_t Count;
  uint64_t Checksum;
  uint8_t Reserved[24];
} PsEgHeader;

/* Why a table file was not taken. */
typedef enum PsEgStatus {
  PS_EG_OK = 0,
  PS_EG_MISSING,   /* no such file */
  PS_EG_IO,        /* it could not be opened, read or mapped */
  PS_EG_TRUNCATED, /* its size is not the header's and the level's */
  PS_EG_FOREIGN,   /* another format, width, level or byte order */
  PS_EG_DAMAGED    /* the checksum does not match */
} PsEgStatus;

/* The tables of one width: levels 0 .. Levels - 1 are mapped. */
typedef struct PsEgTables {
  int32_t Holes;
  int32_t Levels;
  const int8_t *Values[PS_EG_MAX_LEVEL + 1];
  void *Maps[PS_EG_MAX_LEVEL + 1];
  size_t MapSizes[PS_EG_MAX_LEVEL + 1];
  /* Ways[s][j]: the ways to put s bones into j holes, C(s + j - 1, j - 1). */
  uint64_t Ways[PS_EG_MAX_LEVEL + 1][2 * PS_MAX_HOLES + 1];
} PsEgTables;

/* A text for a status, for messages. */
static inline const char *PsEgStatusText(PsEgStatus status) {
  switch (status) {
    case PS_EG_OK:
      return "good";
    case PS_EG_MISSING:
      return "missing";
    case PS_EG_IO:
      return "unreadable";
    case PS_EG_TRUNCATED:
      return "truncated (its size is not that of its level)";
    case PS_EG_FOREIGN:
      return "foreign (another format, width or level)";
    case PS_EG_DAMAGED:
      return "damaged (its checksum does not match)";
  }
  return "unknown";
}

/* Sets up the record for holes (1..6) with no level mapped. */
static inline void PsEgInit(PsEgTables *tables, int32_t holes) {
  int s, j;
  memset(tables, 0, sizeof *tables);
  tables->Holes = holes;
  for (s = 0; s <= PS_EG_MAX_LEVEL; ++s) {
    tables->Ways[s][0] = s == 0 ? 1 : 0;
    for (j = 1; j <= 2 * PS_MAX_HOLES; ++j)
      tables->Ways[s][j] = s == 0 ? 1 : tables->Ways[s - 1][j] + tables->Ways[s][j - 1];
  }
}

/* The positions of a level: C(level + 2n - 1, 2n - 1). */
static inline uint64_t PsEgCount(const PsEgTables *tables, int32_t level) {
  return tables->Ways[level][2 * tables->Holes];
}

/* The rank of the counts (2n of them, summing to level) within their level. */
static inline uint64_t PsEgRank(const PsEgTables *tables, const int32_t *counts, int32_t level) {
  const int parts = 2 * tables->Holes;
  uint64_t rank = 0;
  int32_t left = level;
  int i;
  for (i = 0; i < parts - 1; ++i) {
    rank += tables->Ways[left][parts - i] - tables->Ways[left - counts[i]][parts - i];
    left -= counts[i];
  }
  return rank;
}

/* The counts of a rank: the inverse of PsEgRank. */
static inline void PsEgUnrank(const PsEgTables *tables, uint64_t rank, int32_t level,
                              int32_t *counts) {
  const int parts = 2 * tables->Holes;
  int32_t left = level;
  int i;
  for (i = 0; i < parts - 1; ++i) {
    int32_t c = 0;
    /* positions whose part i is below c + 1 number Ways[left] - Ways[left - c - 1] */
    while (c < left &&
           tables->Ways[left][parts - i] - tables->Ways[left - c - 1][parts - i] <= rank)
      ++c;
    rank -= tables->Ways[left][parts - i] - tables->Ways[left - c][parts - i];
    counts[i] = c;
    left -= c;
  }
  counts[parts - 1] = left;
}

/* The checksum of a level's bytes, seeded with its count: a change of any
   one 8-byte word always changes it (every step is a bijection). */
static inline uint64_t PsEgChecksum(const int8_t *bytes, uint64_t count) {
  uint64_t h = 0x9e3779b97f4a7c15ULL ^ count, i;
  for (i = 0; i + 8 <= count; i += 8) {
    uint64_t w;
    memcpy(&w, bytes + i, 8);
    h ^= w * 0xff51afd7ed558ccdULL;
    h = ((h << 31) | (h >> 33)) * 0xc4ceb9fe1a85ec53ULL;
  }
  for (; i < count; ++i) {
    h ^= (uint64_t)(uint8_t)bytes[i] * 0xff51afd7ed558ccdULL;
    h = ((h << 31) | (h >> 33)) * 0xc4ceb9fe1a85ec53ULL;
  }
  return h;
}

/* The header a level's file must carry. */
static inline PsEgHeader PsEgMakeHeader(const PsEgTables *tables, int32_t level,
                                        uint64_t checksum) {
  PsEgHeader header;
  memset(&header, 0, sizeof header);
  memcpy(header.Magic, PS_EG_MAGIC, 8);
  header.Version = PS_EG_FORMAT_VERSION;
  header.Holes = (uint32_t)tables->Holes;
  header.Level = (uint32_t)level;
  header.HeaderSize = (uint32_t)sizeof(PsEgHeader);
  header.Count = PsEgCount(tables, level);
  header.Checksum = checksum;
  return header;
}

/* The cache folder: $XDG_CACHE_HOME/pitsow, else $HOME/.cache/pitsow.
   Answers 0 when neither is set or the path does not fit. */
static inline int PsEgCacheDir(char *path, size_t size) {
  const char *xdg = getenv("XDG_CACHE_HOME");
  const char *home = getenv("HOME");
  int written;
  if (xdg && xdg[0] == '/')
    written = snprintf(path, size, "%s/pitsow", xdg);
  else if (home && home[0])
    written = snprintf(path, size, "%s/.cache/pitsow", home);
  else
    return 0;
  return written > 0 && (size_t)written < size;
}

/* The file of one width and level in folder dir. */
static inline int PsEgLevelPath(char *path, size_t size, const char *dir, int32_t holes,
                                int32_t level) {
  const int written = snprintf(path, size, "%s/endgame-h%d-k%02d.bin", dir, (int)holes, (int)level);
  return written > 0 && (size_t)written < size;
}

/* Maps and checks the file of one level; on success the level is readable
   through tables->Values[level] (Levels is not changed). */
static inline PsEgStatus PsEgMapLevel(PsEgTables *tables, const char *dir, int32_t level) {
  char path[PS_EG_PATH_SIZE];
  PsEgHeader want, have;
  struct stat info;
  void *map;
  int fd;
  if (level < 0 || level > PS_EG_MAX_LEVEL) return PS_EG_FOREIGN;
  if (!PsEgLevelPath(path, sizeof path, dir, tables->Holes, level)) return PS_EG_IO;
  fd = open(path, PS_EG_OPEN_FLAGS);
  if (fd < 0) return access(path, F_OK) == 0 ? PS_EG_IO : PS_EG_MISSING;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return PS_EG_IO;
  }
  want = PsEgMakeHeader(tables, level, 0);
  if ((uint64_t)info.st_size < sizeof(PsEgHeader)) {
    close(fd);
    return PS_EG_TRUNCATED;
  }
  map = mmap(NULL, (size_t)info.st_size, PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return PS_EG_IO;
  memcpy(&have, map, sizeof have);
  want.Checksum = have.Checksum;
  if (memcmp(&want, &have, sizeof want) != 0) {
    munmap(map, (size_t)info.st_size);
    return PS_EG_FOREIGN;
  }
  if ((uint64_t)info.st_size != sizeof(PsEgHeader) + want.Count) {
    munmap(map, (size_t)info.st_size);
    return PS_EG_TRUNCATED;
  }
  if (PsEgChecksum((const int8_t *)map + sizeof(PsEgHeader), want.Count) != have.Checksum) {
    munmap(map, (size_t)info.st_size);
    return PS_EG_DAMAGED;
  }
  tables->Maps[level] = map;
  tables->MapSizes[level] = (size_t)info.st_size;
  tables->Values[level] = (const int8_t *)map + sizeof(PsEgHeader);
  return PS_EG_OK;
}

/* Unmaps every level. */
static inline void PsEgClose(PsEgTables *tables) {
  int k;
  for (k = 0; k <= PS_EG_MAX_LEVEL; ++k) {
    if (tables->Maps[k]) munmap(tables->Maps[k], tables->MapSizes[k]);
    tables->Maps[k] = NULL;
    tables->Values[k] = NULL;
  }
  tables->Levels = 0;
}

/*
 * Opens the tables of holes from folder dir: levels 0, 1, ... up to
 * maxLevel, stopping at the first that is missing or refused. Answers the
 * status of the first level not taken (PS_EG_MISSING when all were missing
 * beyond the last good one or maxLevel was reached: PS_EG_OK).
 */
static inline PsEgStatus PsEgOpen(PsEgTables *tables, const char *dir, int32_t holes,
                                  int32_t maxLevel) {
  int32_t k;
  PsEgInit(tables, holes);
  if (holes < 1 || holes > PS_MAX_HOLES) return PS_EG_FOREIGN;
  if (maxLevel > PS_EG_MAX_LEVEL) maxLevel = PS_EG_MAX_LEVEL;
  for (k = 0; k <= maxLevel; ++k) {
    const PsEgStatus status = PsEgMapLevel(tables, dir, k);
    if (status != PS_EG_OK) return status;
    tables->Levels = k + 1;
  }
  return PS_EG_OK;
}

/* The value of the position, mover's holes first, or PS_EG_UNKNOWN when its
   level is not covered. */
static inline int PsEgValue(const PsEgTables *tables, const int32_t *myHoles,
                            const int32_t *oppHoles) {
  int32_t counts[2 * PS_MAX_HOLES];
  int32_t level = 0;
  int i;
  for (i = 0; i < tables->Holes; ++i) {
    counts[i] = myHoles[i];
    counts[tables->Holes + i] = oppHoles[i];
    level += myHoles[i] + oppHoles[i];
  }
  if (level >= tables->Levels) return PS_EG_UNKNOWN;
  return tables->Values[level][PsEgRank(tables, counts, level)];
}

/*
 * The value for the mover of playing hole (1..Holes; an empty hole is a
 * pass) in the position: what the move puts into the stores (with the
 * sweep if it ends the round) plus the value of what follows, or
 * PS_EG_UNKNOWN when that is not covered. Played through the rules header
 * with the majority end out of reach.
 */
static inline int PsEgMoveValue(const PsEgTables *tables, const int32_t *myHoles,
                                const int32_t *oppHoles, int32_t hole) {
  PsBoard board;
  int next, gain, i;
  memset(&board, 0, sizeof board);
  board.NumHoles = tables->Holes;
  board.NumBones = PS_MAX_BONES; /* no store can pass half of all bones */
  for (i = 0; i < tables->Holes; ++i) {
    board.Holes[0][i] = myHoles[i];
    board.Holes[1][i] = oppHoles[i];
  }
  board.Mover = 1;
  board.RoundOver = PsIsRoundOver(&board);
  if (!PsPlayMove(&board, hole, NULL)) return PS_EG_UNKNOWN;
  gain = board.Stores[0] - board.Stores[1];
  if (board.RoundOver) return gain;
  next = board.Mover == 1 ? PsEgValue(tables, board.Holes[0], board.Holes[1])
                          : PsEgValue(tables, board.Holes[1], board.Holes[0]);
  if (next == PS_EG_UNKNOWN) return PS_EG_UNKNOWN;
  return board.Mover == 1 ? gain + next : gain - next;
}

/* Whether a row of holes has an empty hole (its owner may pass). */
static inline int PsEgCanPass(const int32_t *row, int32_t holes) {
  int i;
  for (i = 0; i < holes; ++i)
    if (row[i] == 0) return 1;
  return 0;
}

/*
 * Whether hole is a move that keeps the value: its value is the position's,
 * and, if it is a pass, the value is not above 0 or the opponent cannot
 * pass back. (A pass that merely ties a winning value can be answered by a
 * pass for ever, worth 0; a winning sowing move then exists.) Playing only
 * such moves realises the value.
 */
static inline int PsEgIsBestMove(const PsEgTables *tables, const int32_t *myHoles,
                                 const int32_t *oppHoles, int32_t hole, int value) {
  const int moveValue = PsEgMoveValue(tables, myHoles, oppHoles, hole);
  if (moveValue == PS_EG_UNKNOWN || moveValue != value) return 0;
  if (myHoles[hole - 1] != 0) return 1;
  return value <= 0 || !PsEgCanPass(oppHoles, tables->Holes);
}

#ifdef __cplusplus
}
#endif

#endif /* PITSOW_ENDGAME_H */
