/*
 * The player interface of the Pitsow referee.
 *
 * A player is a shared library that exports the five functions declared
 * here, undecorated, with the platform's C calling convention. The referee
 * binds two such libraries as PsPlayer1.so and PsPlayer2.so. This header is
 * all a player author needs; it compiles as C99 and as C++.
 *
 * Every integer that crosses the interface is a signed 32-bit integer, and
 * PsInfo is packed with the exact layout asserted below, so players built
 * with any toolchain (C, C++, Rust, ...) can be exchanged.
 */
#ifndef PSCOMM_H
#define PSCOMM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__) || defined(__clang__)
#define PS_EXPORT __attribute__((visibility("default")))
#else
#define PS_EXPORT
#endif

/* Room for holes per side; a match uses holes 1 to NumHoles of it. */
#define PS_MAX_HOLES 6
/* The size of the PsInfo record the referee sends. */
#define PS_INFO_SIZE 352
/* The interface version the referee offers in MaxVer. */
#define PS_INTERFACE_VERSION 1

/*
 * One side's holes: hole i (1 to 6) is element i - 1. Each holds the bones
 * in that hole; elements above NumHoles hold 0.
 */
typedef int32_t HoleRow[PS_MAX_HOLES];

/* PsInit's answer: one unsigned byte, any nonzero value means "ready". */
typedef uint8_t PsBool;

/*
 * The record exchanged through PsInit. The referee fills the numbers it
 * writes; the player answers CurrVer and the three texts.
 *
 * Growth rule: a player reads offsets 4 to 31 and writes CurrVer only when
 * Size >= 32, and writes the texts only when Size >= 352, so it never
 * touches a byte at or behind Size. Each text holds at most its capacity
 * less one characters followed by a 0 byte.
 */
#pragma pack(push, 1)
typedef struct PsInfo {
  int32_t Size;          /* referee: size of the record, 352 */
  int32_t MaxVer;        /* referee: interface version offered, 1 */
  int32_t CurrVer;       /* player: version used, never above MaxVer */
  int32_t Player;        /* referee: 1 for PsPlayer1, 2 for PsPlayer2 */
  int32_t NumHoles;      /* referee: holes per side, 1 to 6 */
  int32_t NumBones;      /* referee: bones per hole at the start of a round */
  int32_t LogLevel;      /* referee: this player's log level; 0 = no trace */
  int32_t Param;         /* referee: this player's parameter from /P */
  char name[32];         /* player: its name */
  char creator[32];      /* player: who made it */
  char description[256]; /* player: how it plays */
} PsInfo;
#pragma pack(pop)

#if defined(__cplusplus)
#define PS_STATIC_ASSERT(cond, tag) static_assert(cond, #tag)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define PS_STATIC_ASSERT(cond, tag) _Static_assert(cond, #tag)
#else
#define PS_STATIC_ASSERT(cond, tag) typedef char ps_assert_##tag[(cond) ? 1 : -1]
#endif

PS_STATIC_ASSERT(sizeof(PsInfo) == PS_INFO_SIZE, PsInfo_size);
PS_STATIC_ASSERT(offsetof(PsInfo, Size) == 0, Size_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, MaxVer) == 4, MaxVer_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, CurrVer) == 8, CurrVer_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, Player) == 12, Player_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, NumHoles) == 16, NumHoles_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, NumBones) == 20, NumBones_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, LogLevel) == 24, LogLevel_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, Param) == 28, Param_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, name) == 32, name_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, creator) == 64, creator_offset);
PS_STATIC_ASSERT(offsetof(PsInfo, description) == 96, description_offset);
PS_STATIC_ASSERT(sizeof(HoleRow) == 24, HoleRow_size);

/*
 * Called once, before any other call. Take the settings from Info, answer
 * CurrVer and the texts by the growth rule, return nonzero when ready to
 * play. Info is valid only during the call.
 */
PS_EXPORT PsBool PsInit(PsInfo *Info);

/*
 * The player to move chooses a hole of its own row, 1 to NumHoles (an empty
 * hole is a pass). Any other answer ends the round. The rows are valid only
 * during the call and are read, never written.
 */
PS_EXPORT int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                            int32_t OppStore);

/* The opponent has just played its hole Hole, numbered on its own side. */
PS_EXPORT void PsOppTurn(int32_t Hole);

/* A round is over: own final score, the opponent's, moves of the round. */
PS_EXPORT void PsEndRound(int32_t My, int32_t Opp, int32_t Turns);

/* The match is over: release what the player holds. */
PS_EXPORT void PsDone(void);

typedef PsBool (*PsInitProc)(PsInfo *Info);
typedef int32_t (*PsGetTurnProc)(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                                 int32_t OppStore);
typedef void (*PsOppTurnProc)(int32_t Hole);
typedef void (*PsEndRoundProc)(int32_t My, int32_t Opp, int32_t Turns);
typedef void (*PsDoneProc)(void);

#ifdef __cplusplus
}
#endif

#endif /* PSCOMM_H */
