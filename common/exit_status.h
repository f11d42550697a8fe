// The exit statuses of the referee, Tossel, the tools, the player host and
// the children started here, in one place, so that a script or the
// tournament runner can tell the outcomes apart.
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

// A tool (pitsow-perft, pitsow-solve, pitsow-check's own steps) did what it
// was asked.
inline constexpr int kExitOk = 0;
// A tool's step failed for a reason that names no status of its own.
inline constexpr int kExitToolFailed = 1;

// pitsow-host, the player host, ends with these; its client reads them
// through waitpid (and the channel says what went wrong in words).
// The client asked it to quit: every call was served.
inline constexpr int kExitHostQuit = 0;
// The client was already gone when the host started.
inline constexpr int kExitHostParentGone = 1;
// The library or one of its entry points is missing, or the sandbox could
// not be applied: the load failed (the referee's own kExitPlayerMissing).
inline constexpr int kExitHostLoadFailed = 2;
// The channel is unusable, or the host could not set itself up.
inline constexpr int kExitHostChannelUnusable = 3;

// A child process (StartChild, common/child_process.h) that failed
// between fork and exec: the shell's status for a command not run.
inline constexpr int kExitChildNotRun = 127;

// A probe of what the kernel allows, tried in a child: the step worked,
// or it did not.
inline constexpr int kExitProbeWorked = 0;
inline constexpr int kExitProbeFailed = 1;

// A tournament stopped by SIGINT or SIGTERM, to be resumed: the status a
// shell shows for a program that ^C ended (128 + SIGINT).
inline constexpr int kExitInterrupted = 130;
