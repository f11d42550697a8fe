/*
 * The binding of the Python player shim, shared by its two sides: the
 * binder (python_player.cpp, used by the referee and pitsow-host) and the
 * shim itself (python/player_shim.cpp, whose header says what the shim
 * does with the call). A C header, since the shim is a C-linkage library.
 */
#ifndef PITSOW_PYTHON_SHIM_H
#define PITSOW_PYTHON_SHIM_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The shim's file name, looked for beside the program that binds it. */
#define PS_PYTHON_SHIM "pitsow-python.so"

/*
 * Starts the interpreter and imports the module at path, checking that it
 * defines the five functions. Answers 0 when the player is ready to be
 * initialised; otherwise a one-line reason in error (cut to error_size, 0
 * terminated; the traceback, if any, goes to stderr) and nonzero. Called
 * at most once per process, before PsInit.
 */
typedef int (*PsPythonLoadProc)(const char *path, char *error, size_t error_size);
int PsPythonLoad(const char *path, char *error, size_t error_size);

#ifdef __cplusplus
}
#endif

#endif /* PITSOW_PYTHON_SHIM_H */
