// The folder of the running program, where its companions (pitsow-host, the
// Python shim, the referee beside the arena) are looked for first.
#pragma once

#include <string>

// "/usr/bin" for /usr/bin/pitsow; "." when the kernel cannot say.
std::string ProgramFolder();

// name in the program's folder: ProgramFolder() + "/" + name.
std::string BesideProgram(const std::string& name);
