// pitsow._rules.Library: a player library in the Python process, bound as
// the referee binds one (dlopen, then common/'s FindEntryPoints) and called
// through its five entry points, so that a C player can sit on the other
// side of an environment.
#pragma once

#include <pybind11/pybind11.h>

void BindLibraryPlayer(pybind11::module_& m);
