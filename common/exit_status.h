// The exit statuses of the referee and of Tossel, in one place, so that a
// script or the tournament runner can tell the outcomes apart.
#pragma once

// The match was played to the end.
inline constexpr int kExitMatchComplete = 0;
// A player's PsInit answered that it cannot play.
inline constexpr int kExitPlayerCannotPlay = 1;
// A player library or one of its entry points is missing or unusable.
inline constexpr int kExitPlayerMissing = 2;
// An input/output failure: a log, a trace or the console could not be
// created or written, or a file belongs to somebody else.
inline constexpr int kExitIoError = 3;
// A player ended the process inside a call, or (isolated) crashed, hung,
// ran past a limit or out of memory.
inline constexpr int kExitPlayerFault = 4;
// A bad long option or a bad openings file: nothing was started.
inline constexpr int kExitUsage = 64;
// A player that dies by a signal inside the referee's process is re-raised:
// the shell sees 128 + the signal, as for any program killed by it.
// A tournament stopped by SIGINT or SIGTERM, to be resumed: the status a
// shell shows for a program that ^C ended (128 + SIGINT).
inline constexpr int kExitInterrupted = 130;
