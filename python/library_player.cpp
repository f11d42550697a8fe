// A player library as an opponent in Python (see library_player.h). The
// library runs in the Python process without the referee's crash guard or
// clock: a library that crashes takes Python with it, one that hangs hangs
// it. One loaded file is one instance (the loader shares it), so a second
// Library of a file already playing is refused.
#include "library_player.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstring>
#include <set>
#include <string>

#include "PsComm.h"
#include "player_procs.h"
#include "state.h"

namespace py = pybind11;

namespace {

std::set<void*> playing;  // the handles of the libraries open now

struct Library {
  std::string file;  // as named
  void* handle = nullptr;
  PlayerProcs procs;
  PsInfo info{};
  int32_t param = 0, log_level = 0;
  bool ready = false;  // init answered true, done not yet called

  ~Library() { Close(); }
  void Close() {
    if (handle == nullptr) return;
    if (ready) procs.Done();
    ready = false;
    playing.erase(handle);
    dlclose(handle);
    handle = nullptr;
  }
};

// A bare name that is a file in the working folder means that file, as a
// bare .py name does for the referee; any other bare name goes to the
// loader's search path.
std::string Locate(const std::string& file) {
  struct stat st {};
  if (file.find('/') == std::string::npos && stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    return "./" + file;
  return file;
}

void Open(Library& lib, const std::string& file, int32_t param, int32_t log_level) {
  lib.file = file;
  lib.param = param;
  lib.log_level = log_level;
  void* handle = dlopen(Locate(file).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr)
    throw py::value_error("cannot load player library " + file + ": " + DlError());
  if (playing.count(handle) != 0) {
    dlclose(handle);
    throw py::value_error(file +
                          " is already playing in this process (one instance a file: "
                          "copy the file for a second player)");
  }
  const Result<PlayerProcs> procs = FindEntryPoints(handle, file);
  if (!procs) {
    dlclose(handle);
    throw py::value_error(procs.error().text);
  }
  lib.procs = *procs;
  lib.handle = handle;
  playing.insert(handle);
}

Library& Live(Library& lib) {
  if (lib.handle == nullptr) throw py::value_error(lib.file + ": closed");
  return lib;
}

// PsInit with the record the referee fills for player (1 or 2).
bool Init(Library& lib, int32_t player, int32_t holes, int32_t bones) {
  Live(lib);
  if (lib.ready) throw py::value_error(lib.file + ": init already answered true");
  if (player != 1 && player != 2) throw py::value_error("player must be 1 or 2");
  PsInfo& info = lib.info;
  std::memset(&info, 0, sizeof info);
  info.Size = PS_INFO_SIZE;
  info.MaxVer = PS_INTERFACE_VERSION;
  info.Player = player;
  info.NumHoles = holes;
  info.NumBones = bones;
  info.LogLevel = lib.log_level;
  info.Param = lib.param;
  lib.ready = lib.procs.Init(&info) != 0;
  return lib.ready;
}

Library& Ready(Library& lib) {
  if (!Live(lib).ready) throw py::value_error(lib.file + ": not initialised (call init first)");
  return lib;
}

// PsGetTurn from the view of the player to move in state.
int32_t GetTurn(Library& lib, const State& s) {
  const PsBoard& b = s.board;
  const int mine = b.Mover - 1;
  HoleRow my, opp;
  std::memcpy(my, b.Holes[mine], sizeof my);
  std::memcpy(opp, b.Holes[1 - mine], sizeof opp);
  return Ready(lib).procs.GetTurn(my, opp, b.Stores[mine], b.Stores[1 - mine]);
}

std::string Text(const char* room, size_t size) { return std::string(room, strnlen(room, size)); }

}  // namespace

void BindLibraryPlayer(py::module_& m) {
  py::class_<Library>(m, "Library",
                      "A player library bound as the referee binds it, called through its "
                      "five entry points in this process.")
      .def(py::init([](const std::string& file, int32_t param, int32_t log_level) {
             auto lib = std::make_unique<Library>();
             Open(*lib, file, param, log_level);
             return lib;
           }),
           py::arg("file"), py::arg("param") = 0, py::arg("log_level") = 0)
      .def_readonly("file", &Library::file)
      .def_readonly("param", &Library::param)
      .def("init", &Init, py::arg("player"), py::arg("holes"), py::arg("bones"),
           "PsInit with the referee's record; answers its answer.")
      .def("get_turn", &GetTurn, py::arg("state"),
           "PsGetTurn for the player to move in state; answers its hole.")
      .def(
          "opp_turn", [](Library& lib, int32_t hole) { Ready(lib).procs.OppTurn(hole); },
          py::arg("hole"))
      .def(
          "end_round",
          [](Library& lib, int32_t my, int32_t opp, int32_t turns) {
            Ready(lib).procs.EndRound(my, opp, turns);
          },
          py::arg("my"), py::arg("opp"), py::arg("turns"))
      .def(
          "done", [](Library& lib) { lib.Close(); }, "PsDone (when initialised), then unloads it.")
      .def_property_readonly("name", [](const Library& l) { return Text(l.info.name, 32); })
      .def_property_readonly("creator", [](const Library& l) { return Text(l.info.creator, 32); })
      .def_property_readonly("description",
                             [](const Library& l) { return Text(l.info.description, 256); });
}
