/*
 * The Python player shim: a player library (pitsow-python.so, installed
 * beside pitsow-host) that embeds CPython and plays a Python module through
 * the five entry points of PsComm.h. A Python player is a file NAME.py
 * defining
 *
 *   init(info) -> ready (any value, taken by its truth: bool(ready))
 *   get_turn(my_holes, opp_holes, my_store, opp_store) -> int
 *   opp_turn(hole)
 *   end_round(my, opp, turns)
 *   done()
 *
 * called when, and as often as, PsInit, PsGetTurn, PsOppTurn, PsEndRound and
 * PsDone are. info has the record's fields by their names (Size, MaxVer,
 * Player, NumHoles, NumBones, LogLevel, Param; None when Size is below 32)
 * and the texts name, creator and description (str, initially empty),
 * which the player may set: they are written back UTF-8 encoded and cut at
 * a character boundary to their rooms (31, 31 and 255 bytes), when Size is
 * at least 352. The shim answers CurrVer itself by the growth rule.
 * my_holes and opp_holes are lists of NumHoles ints, hole i at [i - 1].
 *
 * HOW IT IS BOUND. Whoever binds players (the referee, pitsow-host) loads
 * this library like any player and, before PsInit, calls PsPythonLoad once
 * with the module's path; every later call goes through the five entry
 * points as for any player. Ordinary player libraries export no such
 * function and never receive this call.
 *
 * WHICH PYTHON. The interpreter is the one the shim was built against
 * (its home and program fixed at build time), whatever python3 comes
 * first on PATH; PYTHONPATH still adds folders to sys.path.
 *
 * ONE INTERPRETER PER PROCESS. The first PsPythonLoad starts CPython in the
 * calling process and keeps the GIL on the calling thread, from which every
 * later call must come; the interpreter is finalised after done() returns.
 * A second Python player therefore needs a process of its own: the referee
 * refuses two Python players without --isolate.
 *
 * FAULTS. An exception raised by one of the five functions, or an answer
 * of the wrong type (get_turn not an int, or an int outside 32 bits; a
 * text not a str; an init answer whose truth raises), is that player's fault: the shim
 * writes "pitsow: Python player FILE: ..." and the traceback on stderr and
 * aborts the process (SIGABRT), which the referee or the host reports as a
 * crash of that player in that call. A player's print() goes to stderr:
 * the referee's console is its own.
 *
 * The module's folder comes first on sys.path; the pitsow package (the
 * rules in Python) installed beside the shim is found without PYTHONPATH.
 */
#ifndef PITSOW_PLAYER_SHIM_H
#define PITSOW_PLAYER_SHIM_H

/* The load call and the shim's file name, which the binder shares. */
#include "python_shim.h"

#endif /* PITSOW_PLAYER_SHIM_H */
