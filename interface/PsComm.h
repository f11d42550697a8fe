/*
 * The player interface of the Pitsow referee: the whole contract between
 * the referee and a player. The rules of the game, as code, are in
 * <pitsow/rules.h>.
 *
 * A player is a shared library that exports the five functions declared
 * here, undecorated, with the platform's C calling convention; it should
 * export nothing else. The referee binds player 1 and player 2 from
 * --player1=FILE and --player2=FILE (by default PsPlayer1.so and
 * PsPlayer2.so beside the referee). Every integer that crosses is a signed
 * 32-bit integer, and PsInfo is packed with the exact layout asserted
 * below, so players built with any toolchain (C, C++, Rust, Pascal, ...)
 * can be exchanged. This header compiles as C99 and as C++. A Python
 * module NAME.py plays through a library of the project that embeds CPython
 * and exports these five (python/player_shim.h); nothing here changes.
 *
 * THE BOARD. Each player has a row of NumHoles holes (1 to 6) and a store.
 * A player's holes are numbered 1 to NumHoles in the direction of sowing,
 * so its hole NumHoles lies next to its own store, and hole i of one row
 * faces hole NumHoles + 1 - i of the other. A move is named by the number
 * of the hole on the mover's own side, to both players. Sowing runs along
 * the mover's row upwards, into the mover's store, along the opponent's
 * row from its hole 1 to its hole NumHoles, and round again; never into
 * the opponent's store. A last bone in the mover's store earns another
 * move; a last bone in an empty hole of the mover's row captures it with
 * the facing hole, when that holds bones. A round ends after a move that
 * leaves a store with more than NumHoles x NumBones bones or a row empty
 * (the bones left in the other row then go to its owner's store), on a
 * rejected answer, at the turn limit (tested after each turn, so a turn
 * with extra moves may pass it), or on a fault; the larger store wins.
 *
 * THE ORDER OF CALLS in a match. Nothing else is ever called.
 *   1. PsInit of player 1, a pause of 100 ms, PsInit of player 2. When
 *      player 1's PsInit answers 0, player 2 is never initialised; when
 *      either answers 0, nothing more is called on either player, not even
 *      PsDone, and the referee ends with exit status 1.
 *   2. Each round:
 *      a. The board is filled: NumBones in each hole, empty stores. With
 *         --openings the referee then plays the round's opening moves
 *         itself, without telling the players (no PsOppTurn for them), so
 *         a round may start from any position and with either player to
 *         move. Without openings player 1 moves first.
 *      b. PsGetTurn of the player to move. An accepted answer is played,
 *         then the opponent gets PsOppTurn with that hole. After an extra
 *         move the same player's PsGetTurn comes again (after the
 *         opponent's PsOppTurn for the move before). A rejected answer gets
 *         no PsOppTurn and ends the round. So between two of its own
 *         PsGetTurn calls a player receives one PsOppTurn per move of the
 *         opponent, possibly none.
 *      c. However the round ended: PsEndRound of player 1, then of
 *         player 2 (a player that has faulted gets no more calls).
 *   3. After the last round: PsDone of player 1, then of player 2, once.
 *
 * THREADS. All calls to one player come from one thread of one process,
 * one at a time, each returning before the next is made; a player needs no
 * locking and never calls back into the referee. Each binding is an
 * instance of its own: when one file is bound as both players, the two
 * share no state (and each sees its own Player number). With --isolate
 * each player runs alone in a host process of its own (pitsow-host).
 *
 * LIFETIMES. The PsInfo record is valid only during PsInit and the rows
 * only during PsGetTurn: they are the referee's, lent for the call; copy
 * what you need. The library stays loaded from before PsInit until after
 * PsDone. Memory and files are the player's own; PsDone releases them.
 *
 * FAULTS. With --isolate, a player that crashes, ends its process, writes
 * past the record or the rows, or runs past a time limit (--move-time for
 * PsGetTurn, --call-time for the other calls, 10 s by default,
 * --time-control for a round) or its memory limit (--memory) loses the
 * round in progress, and the match ends after that round with exit status
 * 4; the other player still gets PsEndRound and PsDone.
 *
 * TIME. The limits count the CPU time of the player's process, all its
 * threads, as the kernel accounts it: a call is charged with what the
 * process used since the end of its previous call, so work done between
 * calls (threads thinking on the opponent's time) counts too. Time spent
 * waiting costs nothing, but a call still blocked after twice its limit
 * plus one second of wall time is stopped. --time-margin (0.01 s by
 * default) is forgiven past any limit. Child processes are not counted:
 * do not compute in them. Without --isolate the player runs inside the
 * referee's process: a crash ends the referee with the player's signal
 * (after a report naming the player, the call, the round and the turn),
 * exit() inside a call ends it with status 4, and no call has a limit.
 *
 * SANDBOX. With --sandbox (an isolated player, confined) a player may:
 * compute in threads of its own process (pthread_create); create, read
 * and write files in its own folder, player1/ or player2/ beside the log,
 * which is its working folder (its standard output and error go to
 * output.txt there); read its own library file, the system's libraries
 * and a few files of /etc; allocate memory up to --memory. It may not: start processes
 * or programs (fork, posix_spawn, system, exec), open sockets (a
 * socketpair within the process is allowed), use memory files or shared
 * memory (memfd_create, /dev/shm, System V IPC), touch any other file or
 * change a file's owner, mode or times,
 * signal, trace, read or reschedule another process (setpriority,
 * sched_setaffinity and the like on anything but itself). A refused call
 * is a fault ("refused system call NAME"), or fails with EACCES/EPERM for
 * files and signals. --move-time bounds PsOppTurn and PsEndRound as well
 * as PsGetTurn. Work done by its threads between its calls is charged to
 * its next call's time limit.
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
 * One side's holes: hole i (1 to 6) is element i - 1, holding the bones in
 * that hole (0 or more); the elements above NumHoles hold 0. A parameter
 * of this type is a pointer to the first element (const int32_t *): in
 * another language declare it as a pointer (Rust: *const i32, or
 * &[i32; 6]; Free Pascal: a ^THoleRow, or a constref THoleRow parameter,
 * with THoleRow = array[1..6] of Int32), never as an array by value.
 */
typedef int32_t HoleRow[PS_MAX_HOLES];

/* PsInit's answer: one unsigned byte, any nonzero value means "ready". */
typedef uint8_t PsBool;

/*
 * The record exchanged through PsInit, 352 bytes, packed. The referee fills
 * the numbers it writes; the player answers CurrVer and the three texts.
 * Before the call CurrVer is 0 and the texts are empty; what the player
 * leaves unwritten stays so.
 *
 * Growth rule, so that records may grow or shrink in later versions: read
 * the numbers at offsets 4 to 31 and write CurrVer only when Size >= 32;
 * write the texts only when Size >= 352. A player so never touches a byte
 * at or behind Size. CurrVer is never above MaxVer: a version-1 player
 * answers 1 when MaxVer >= 1, otherwise MaxVer itself. Each text holds at
 * most its capacity less one characters (31, 31, 255) followed by a 0
 * byte; a longer text is cut, and nothing behind the 0 byte is written.
 * Texts are 8-bit characters.
 */
#pragma pack(push, 1)
typedef struct PsInfo {
  int32_t Size;          /* referee: size of the record, 352 */
  int32_t MaxVer;        /* referee: interface version offered, 1 */
  int32_t CurrVer;       /* player: version used, never above MaxVer */
  int32_t Player;        /* referee: 1 for PsPlayer1, 2 for PsPlayer2 */
  int32_t NumHoles;      /* referee: holes per side, 1 to 6 */
  int32_t NumBones;      /* referee: bones per hole at the start of a round */
  int32_t LogLevel;      /* referee: this player's log level from /L; 0 = no trace */
  int32_t Param;         /* referee: this player's parameter from /P; its meaning is the player's */
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
 * Called once, before any other call to this player. Take the settings
 * from Info, answer CurrVer and the texts by the growth rule, and return
 * nonzero when ready to play; 0 ends the match before its first round
 * (see THE ORDER OF CALLS). Info is valid only during the call.
 */
PS_EXPORT PsBool PsInit(PsInfo *Info);

/*
 * Called each time this player is to move, again after each of its extra
 * moves. MyHoles is its own row, OppHoles the opponent's (hole i at [i - 1],
 * hole i facing the opponent's hole NumHoles + 1 - i); both are read-only
 * copies valid during the call only. MyStore and OppStore are the bones in
 * the two stores. Take the board from these arguments on every call rather
 * than tracking it from the start of the round: with openings a round need
 * not start from the filled board.
 *
 * Answer a hole of the own row, 1 to NumHoles. A non-empty hole is sown;
 * an empty hole is accepted as a pass: nothing moves, the opponent is told
 * the hole and moves next, and the move counts in Turns. Any other answer
 * is rejected: the round ends at once, the opponent gets no PsOppTurn, and
 * the round is scored by the stores as they stand, or with --forfeit lost
 * by this player.
 */
PS_EXPORT int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                            int32_t OppStore);

/*
 * Called after each accepted move of the opponent, once the move has been
 * played: Hole is the hole it played, numbered on the opponent's own side
 * (its answer, 1 to NumHoles; an empty hole there was a pass). A player
 * that keeps its own board replays the opponent's sowing from that hole.
 */
PS_EXPORT void PsOppTurn(int32_t Hole);

/*
 * Called on both players after every round, however it ended (player 1
 * first): My and Opp are the bones in the own and the opponent's store
 * after the end-of-round sweep, the round's final scores; Turns counts the
 * players' accepted moves of the round, extra moves and passes included,
 * the opening's moves and a rejected answer not. Within a round the
 * PsGetTurn and PsOppTurn calls one player receives add up to Turns, plus
 * one when its own last answer was rejected.
 */
PS_EXPORT void PsEndRound(int32_t My, int32_t Opp, int32_t Turns);

/*
 * Called once on each player after the last round (player 1 first): the
 * match is over; close files and release what the player holds.
 */
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
