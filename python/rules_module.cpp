// pitsow._rules: the rules header's board as a Python class, State, with
// what one move did as an Outcome, and player libraries as opponents
// (library_player.cpp). Everything is played by the header's own
// functions, and perft is pitsow-perft's; nothing of the rules is written
// again here.
//
// A State is a value: immutable, hashable and picklable, equal to another
// when the whole position is (both rows, both stores, the mover, whether
// the round is over, the board's size). play answers the next State, so a
// search keeps every position it saw and a transposition table works.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "library_player.h"
#include "perft.h"
#include "pitsow/endgame.h"
#include "pitsow/rules.h"
#include "state.h"

namespace py = pybind11;

namespace {

// The endgame tables of one width, mapped from the cache folder
// ($XDG_CACHE_HOME/pitsow) at the first solve of that width, and mapped
// again when a position lies above what was there then and the next
// level's file has appeared since (a search asking about many uncovered
// positions costs one stat each, not a mapping of every level).
bool NextLevelBuilt(const PsEgTables& tables, int32_t holes) {
  char dir[4096];
  char path[PS_EG_PATH_SIZE];
  return PsEgCacheDir(dir, sizeof dir) &&
         PsEgLevelPath(path, sizeof path, dir, holes, tables.Levels) && access(path, R_OK) == 0;
}

const PsEgTables& TablesFor(int32_t holes, int32_t level) {
  static PsEgTables tables[PS_MAX_HOLES + 1];
  static bool open[PS_MAX_HOLES + 1];
  if (open[holes] && level >= tables[holes].Levels && NextLevelBuilt(tables[holes], holes)) {
    PsEgClose(&tables[holes]);
    open[holes] = false;
  }
  if (!open[holes]) {
    char dir[4096];
    if (PsEgCacheDir(dir, sizeof dir))
      PsEgOpen(&tables[holes], dir, holes, PS_EG_MAX_LEVEL);
    else
      PsEgInit(&tables[holes], holes);
    open[holes] = true;
  }
  return tables[holes];
}

// The position's exact value from the tables, for the player to move: the
// bones it still gets minus those the opponent still gets under perfect
// play, every legal move's value (an empty hole is a pass) and the moves
// that keep the value; the margin adds the stores as they stand.
py::dict Solve(const State& s) {
  const PsBoard& b = s.board;
  const int32_t holes = b.NumHoles;
  const int32_t* mine = b.Holes[b.Mover - 1];
  const int32_t* theirs = b.Holes[2 - b.Mover];
  int32_t level = 0;
  for (int32_t i = 0; i < holes; ++i) level += mine[i] + theirs[i];
  py::dict answer;
  const int32_t stores = b.Stores[b.Mover - 1] - b.Stores[2 - b.Mover];
  if (b.RoundOver) {
    answer["value"] = 0;
    answer["margin"] = stores;
    answer["moves"] = py::dict();
    answer["best"] = py::list();
    return answer;
  }
  const PsEgTables& tables = TablesFor(holes, level);
  const int value = PsEgValue(&tables, mine, theirs);
  if (value == PS_EG_UNKNOWN)
    throw py::value_error("the tables of " + std::to_string(holes) + " holes reach " +
                          (tables.Levels > 0 ? std::to_string(tables.Levels - 1) : "no") +
                          " bones on the board, this position has " + std::to_string(level) +
                          ": build them with `pitsow-solve build --holes " + std::to_string(holes) +
                          " --bones " + std::to_string(level) + "`");
  py::dict moves;
  py::list best;
  for (int32_t hole = 1; hole <= holes; ++hole) {
    moves[py::int_(hole)] = PsEgMoveValue(&tables, mine, theirs, hole);
    if (PsEgIsBestMove(&tables, mine, theirs, hole, value)) best.append(hole);
  }
  answer["value"] = value;
  answer["margin"] = stores + value;
  answer["moves"] = moves;
  answer["best"] = best;
  return answer;
}

State NewState(int32_t holes, int32_t bones) {
  State s;
  if (!PsSetUpBoard(&s.board, holes, bones))
    throw py::value_error("holes must be 1 to 6 and bones 0 to " + std::to_string(PS_MAX_BONES));
  return s;
}

void ReadRow(const std::vector<int32_t>& from, int32_t holes, HoleRow row) {
  if (static_cast<int32_t>(from.size()) < holes)
    throw py::value_error("a row needs " + std::to_string(holes) + " holes");
  for (int32_t i = 0; i < PS_MAX_HOLES; ++i) row[i] = i < holes ? from[i] : 0;
}

// The board as a player sees it in get_turn: me (1 or 2) is to move.
State FromTurn(int32_t holes, int32_t bones, int32_t me, const std::vector<int32_t>& my_holes,
               const std::vector<int32_t>& opp_holes, int32_t my_store, int32_t opp_store) {
  State s = NewState(holes, bones);
  if (me != 1 && me != 2) throw py::value_error("me must be 1 or 2");
  HoleRow mine, theirs;
  ReadRow(my_holes, holes, mine);
  ReadRow(opp_holes, holes, theirs);
  PsBoardFromTurn(&s.board, holes, bones, me, mine, theirs, my_store, opp_store);
  return s;
}

// Any position: the rows of players 1 and 2 (hole i at [i - 1]), their
// stores and the mover. The bones a hole started with, which the end test
// needs, are all bones over both rows when not given.
State FromPosition(const std::vector<std::vector<int32_t>>& rows,
                   const std::vector<int32_t>& stores, int32_t to_move, py::object holes_arg,
                   py::object bones_arg) {
  if (rows.size() != 2 || stores.size() != 2)
    throw py::value_error("a position has two rows and two stores");
  const int32_t holes =
      holes_arg.is_none() ? static_cast<int32_t>(rows[0].size()) : holes_arg.cast<int32_t>();
  if (holes < 1 || holes > PS_MAX_HOLES) throw py::value_error("holes must be 1 to 6");
  if (to_move != 1 && to_move != 2) throw py::value_error("to_move must be 1 or 2");
  int64_t total = 0;
  auto add = [&total](int32_t v) {
    if (v < 0) throw py::value_error("bones cannot be negative");
    total += v;
  };
  add(stores[0]);
  add(stores[1]);
  for (const auto& row : rows) {
    if (static_cast<int32_t>(row.size()) != holes)
      throw py::value_error("each row needs exactly " + std::to_string(holes) + " holes");
    for (int32_t v : row) add(v);
  }
  int64_t bones = 0;
  if (bones_arg.is_none()) {
    if (total % (2 * holes) != 0)
      throw py::value_error("all bones are no multiple of 2 x holes: give bones=");
    bones = total / (2 * holes);
  } else {
    bones = bones_arg.cast<int64_t>();
  }
  State s = NewState(holes, static_cast<int32_t>(bones > PS_MAX_BONES ? -1 : bones));
  for (int p = 0; p < 2; ++p) {
    for (int32_t i = 0; i < holes; ++i) s.board.Holes[p][i] = rows[p][i];
    s.board.Stores[p] = stores[p];
  }
  s.board.Mover = to_move;
  s.board.RoundOver = PsIsRoundOver(&s.board);
  return s;
}

py::tuple Row(const State& s, int p) {
  py::tuple row(s.board.NumHoles);
  for (int32_t i = 0; i < s.board.NumHoles; ++i)
    PyTuple_SET_ITEM(row.ptr(), i, PyLong_FromLong(s.board.Holes[p][i]));
  return row;
}

std::vector<int32_t> LegalMoves(const State& s) {
  int32_t moves[PS_MAX_HOLES];
  const int count = PsSowingMoves(&s.board, moves);
  return std::vector<int32_t>(moves, moves + count);
}

State Play(const State& s, int32_t hole) {
  if (s.board.RoundOver) throw py::value_error("the round is over");
  State next;
  next.board = s.board;
  PsSowing sowing;
  if (!PsPlayMove(&next.board, hole, &sowing))
    throw py::value_error("hole " + std::to_string(hole) + " is not 1 to " +
                          std::to_string(s.board.NumHoles));
  next.last = Outcome{hole, sowing.Captured, sowing.ExtraMove != 0, next.board.RoundOver != 0};
  return next;
}

std::string Describe(const State& s) {
  auto row = [&](int p) {
    std::string text = "(";
    for (int32_t i = 0; i < s.board.NumHoles; ++i)
      text += (i > 0 ? ", " : "") + std::to_string(s.board.Holes[p][i]);
    return text + (s.board.NumHoles == 1 ? ",)" : ")");
  };
  return "State(holes=(" + row(0) + ", " + row(1) + "), stores=(" +
         std::to_string(s.board.Stores[0]) + ", " + std::to_string(s.board.Stores[1]) +
         "), to_move=" + std::to_string(s.board.Mover) + (s.board.RoundOver ? ", over)" : ")");
}

// The whole position; the move that made it is not part of it.
bool Equal(const State& a, const State& b) {
  const PsBoard &x = a.board, &y = b.board;
  if (x.NumHoles != y.NumHoles || x.NumBones != y.NumBones || x.Mover != y.Mover ||
      x.RoundOver != y.RoundOver || x.Stores[0] != y.Stores[0] || x.Stores[1] != y.Stores[1])
    return false;
  for (int p = 0; p < 2; ++p)
    for (int32_t i = 0; i < x.NumHoles; ++i)
      if (x.Holes[p][i] != y.Holes[p][i]) return false;
  return true;
}

// FNV-1a over what Equal compares.
size_t Hash(const State& s) {
  uint64_t h = 14695981039346656037ULL;
  auto mix = [&h](int32_t v) {
    h ^= static_cast<uint32_t>(v);
    h *= 1099511628211ULL;
  };
  const PsBoard& b = s.board;
  for (int32_t v : {b.NumHoles, b.NumBones, b.Mover, b.RoundOver, b.Stores[0], b.Stores[1]}) mix(v);
  for (int p = 0; p < 2; ++p)
    for (int32_t i = 0; i < b.NumHoles; ++i) mix(b.Holes[p][i]);
  return static_cast<size_t>(h);
}

py::tuple Pickled(const State& s) {
  const Outcome& o = s.last;
  return py::make_tuple(s.board.NumHoles, s.board.NumBones, Row(s, 0), Row(s, 1), s.board.Stores[0],
                        s.board.Stores[1], s.board.Mover, s.board.RoundOver != 0, o.hole, o.capture,
                        o.extra_move, o.end);
}

State Unpickled(const py::tuple& t) {
  if (t.size() != 12) throw py::value_error("not a pickled State");
  State s = NewState(t[0].cast<int32_t>(), t[1].cast<int32_t>());
  for (int p = 0; p < 2; ++p) {
    const auto row = t[2 + p].cast<std::vector<int32_t>>();
    ReadRow(row, s.board.NumHoles, s.board.Holes[p]);
  }
  s.board.Stores[0] = t[4].cast<int32_t>();
  s.board.Stores[1] = t[5].cast<int32_t>();
  s.board.Mover = t[6].cast<int32_t>();
  s.board.RoundOver = t[7].cast<bool>() ? 1 : 0;
  s.last =
      Outcome{t[8].cast<int32_t>(), t[9].cast<int32_t>(), t[10].cast<bool>(), t[11].cast<bool>()};
  return s;
}

// The calls a search makes millions of times (play, legal_moves, to_move,
// holes, stores, is_over, winner) bypass pybind11's dispatcher, which costs
// several times the move itself: plain CPython methods and getters over the
// same State, put on the class after pybind11 has built it. The next State of
// play is made by pybind11's own cast, once its type is looked up.
namespace fast {

const State& Self(PyObject* self) {
  auto* inst = reinterpret_cast<py::detail::instance*>(self);
  return *static_cast<const State*>(inst->get_value_and_holder().value_ptr());
}

PyObject* Tuple2(PyObject* a, PyObject* b) {
  if (a == nullptr || b == nullptr) {
    Py_XDECREF(a);
    Py_XDECREF(b);
    return nullptr;
  }
  PyObject* t = PyTuple_New(2);
  if (t == nullptr) {
    Py_DECREF(a);
    Py_DECREF(b);
    return nullptr;
  }
  PyTuple_SET_ITEM(t, 0, a);
  PyTuple_SET_ITEM(t, 1, b);
  return t;
}

PyObject* RowTuple(const State& s, int p) {
  PyObject* row = PyTuple_New(s.board.NumHoles);
  if (row == nullptr) return nullptr;
  for (int32_t i = 0; i < s.board.NumHoles; ++i) {
    PyObject* v = PyLong_FromLong(s.board.Holes[p][i]);
    if (v == nullptr) {
      Py_DECREF(row);
      return nullptr;
    }
    PyTuple_SET_ITEM(row, i, v);
  }
  return row;
}

// hole as pybind11's int32_t argument takes it: an int (or bool), never a float.
bool HoleArg(PyObject* arg, int32_t& hole) {
  if (PyFloat_Check(arg) || !PyIndex_Check(arg)) {
    PyErr_Format(PyExc_TypeError, "play(): hole must be an int, not %s", Py_TYPE(arg)->tp_name);
    return false;
  }
  const long v = PyLong_AsLong(arg);
  if (v == -1 && PyErr_Occurred()) return false;
  if (v < INT32_MIN || v > INT32_MAX) {
    PyErr_SetString(PyExc_ValueError, "play(): hole out of range");
    return false;
  }
  hole = static_cast<int32_t>(v);
  return true;
}

PyObject* PlayFast(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* arg = nullptr;
  const Py_ssize_t nkw = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
  if (nargs == 1 && nkw == 0) {
    arg = args[0];
  } else if (nargs == 0 && nkw == 1 &&
             PyUnicode_CompareWithASCIIString(PyTuple_GET_ITEM(kwnames, 0), "hole") == 0) {
    arg = args[0];
  } else {
    PyErr_SetString(PyExc_TypeError, "play() takes one argument, hole");
    return nullptr;
  }
  int32_t hole = 0;
  if (!HoleArg(arg, hole)) return nullptr;
  const State& s = Self(self);
  if (s.board.RoundOver) {
    PyErr_SetString(PyExc_ValueError, "the round is over");
    return nullptr;
  }
  State next;
  next.board = s.board;
  PsSowing sowing;
  if (!PsPlayMove(&next.board, hole, &sowing)) {
    PyErr_Format(PyExc_ValueError, "hole %d is not 1 to %d", hole, s.board.NumHoles);
    return nullptr;
  }
  next.last = Outcome{hole, sowing.Captured, sowing.ExtraMove != 0, next.board.RoundOver != 0};
  try {
    return py::cast(std::move(next)).release().ptr();
  } catch (py::error_already_set& e) {
    e.restore();
    return nullptr;
  }
}

PyObject* LegalMovesFast(PyObject* self, PyObject*) {
  int32_t moves[PS_MAX_HOLES];
  const int count = PsSowingMoves(&Self(self).board, moves);
  PyObject* list = PyList_New(count);
  if (list == nullptr) return nullptr;
  for (int i = 0; i < count; ++i) {
    PyObject* v = PyLong_FromLong(moves[i]);
    if (v == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, i, v);
  }
  return list;
}

PyObject* IsOverFast(PyObject* self, PyObject*) {
  return PyBool_FromLong(Self(self).board.RoundOver);
}

PyObject* WinnerFast(PyObject* self, PyObject*) {
  const State& s = Self(self);
  if (!s.board.RoundOver) Py_RETURN_NONE;
  return PyLong_FromLong(PsWinner(&s.board));
}

PyObject* ToMove(PyObject* self, void*) { return PyLong_FromLong(Self(self).board.Mover); }

PyObject* Holes(PyObject* self, void*) {
  const State& s = Self(self);
  return Tuple2(RowTuple(s, 0), RowTuple(s, 1));
}

PyObject* Stores(PyObject* self, void*) {
  const State& s = Self(self);
  return Tuple2(PyLong_FromLong(s.board.Stores[0]), PyLong_FromLong(s.board.Stores[1]));
}

// What Env answers after every step, in one call: the observation from seat's
// side (its holes, the other's, its store, the other's) and the action mask
// (seat's non-empty holes while it is to move, else all false).
PyObject* ViewFast(PyObject* self, PyObject* arg) {
  const long seat = PyLong_AsLong(arg);
  if (seat == -1 && PyErr_Occurred()) return nullptr;
  if (seat != 1 && seat != 2) {
    PyErr_SetString(PyExc_ValueError, "seat must be 1 or 2");
    return nullptr;
  }
  const PsBoard& b = Self(self).board;
  const int me = static_cast<int>(seat) - 1, other = 1 - me, n = b.NumHoles;
  PyObject* obs = PyTuple_New(2 * n + 2);
  PyObject* mask = PyList_New(n);
  if (obs == nullptr || mask == nullptr) {
    Py_XDECREF(obs);
    Py_XDECREF(mask);
    return nullptr;
  }
  const bool moving = b.Mover == seat && !b.RoundOver;
  for (int i = 0; i < n; ++i) {
    PyTuple_SET_ITEM(obs, i, PyLong_FromLong(b.Holes[me][i]));
    PyTuple_SET_ITEM(obs, n + i, PyLong_FromLong(b.Holes[other][i]));
    PyObject* legal = moving && b.Holes[me][i] != 0 ? Py_True : Py_False;
    Py_INCREF(legal);
    PyList_SET_ITEM(mask, i, legal);
  }
  PyTuple_SET_ITEM(obs, 2 * n, PyLong_FromLong(b.Stores[me]));
  PyTuple_SET_ITEM(obs, 2 * n + 1, PyLong_FromLong(b.Stores[other]));
  for (int i = 0; i < 2 * n + 2; ++i)
    if (PyTuple_GET_ITEM(obs, i) == nullptr) {
      Py_DECREF(obs);
      Py_DECREF(mask);
      return nullptr;
    }
  return Tuple2(obs, mask);
}

PyMethodDef methods[] = {
    {"play", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&PlayFast)),
     METH_FASTCALL | METH_KEYWORDS,
     "play(hole) -> State\n\nThe position after the player to move plays hole (1 to "
     "num_holes; an empty hole is a pass, as the referee accepts it), with the move's Outcome "
     "as last_move; this state is left as it is. ValueError when the round is over or the hole "
     "is not 1 to num_holes."},
    {"legal_moves", &LegalMovesFast, METH_NOARGS,
     "The sowing moves of the player to move: its non-empty holes 1 to num_holes, rising; none "
     "once the round is over."},
    {"_view", &ViewFast, METH_O,
     "_view(seat) -> (observation, action_mask): the environments' view from seat's side."},
    {"is_over", &IsOverFast, METH_NOARGS, "Whether the round is over."},
    {"winner", &WinnerFast, METH_NOARGS,
     "1 or 2 for the player with the larger store, 0 for a draw; None while the round is not "
     "over."},
};

PyGetSetDef getters[] = {
    {"to_move", &ToMove, nullptr, "the player to move, 1 or 2", nullptr},
    {"holes", &Holes, nullptr, "the rows of players 1 and 2 as tuples, hole i at [i - 1]", nullptr},
    {"stores", &Stores, nullptr, "the stores of players 1 and 2", nullptr},
};

void Install(py::class_<State>& cls) {
  auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  for (PyMethodDef& def : methods)
    cls.attr(def.ml_name) = py::reinterpret_steal<py::object>(PyDescr_NewMethod(type, &def));
  for (PyGetSetDef& def : getters)
    cls.attr(def.name) = py::reinterpret_steal<py::object>(PyDescr_NewGetSet(type, &def));
}

}  // namespace fast

// What one move did, as Python sees it.
void BindOutcome(py::module_& m) {
  py::class_<Outcome>(m, "Outcome", "What one move did.")
      .def_readonly("hole", &Outcome::hole, "the hole played")
      .def_readonly("capture", &Outcome::capture,
                    "the mover's hole where its last bone captured, or 0")
      .def_readonly("extra_move", &Outcome::extra_move, "the same player moves again")
      .def_readonly("end", &Outcome::end, "the move ended the round (the stores are final)")
      .def("__repr__", [](const Outcome& o) {
        return "Outcome(hole=" + std::to_string(o.hole) + ", capture=" + std::to_string(o.capture) +
               ", extra_move=" + (o.extra_move ? "True" : "False") +
               ", end=" + (o.end ? "True" : "False") + ")";
      });
}

// How a State is made and what it shows of its position.
void BindStatePosition(py::class_<State>& state) {
  state
      .def(py::init(&NewState), py::arg("holes") = 6, py::arg("bones") = 6,
           "The filled board: bones in each of the holes of both rows, player 1 to move.")
      .def_static("from_turn", &FromTurn, py::arg("holes"), py::arg("bones"), py::arg("me"),
                  py::arg("my_holes"), py::arg("opp_holes"), py::arg("my_store"),
                  py::arg("opp_store"),
                  "The board from get_turn's arguments; me (info.Player) is to move.")
      .def_static("from_position", &FromPosition, py::arg("rows"), py::arg("stores"),
                  py::arg("to_move"), py::arg("holes") = py::none(), py::arg("bones") = py::none(),
                  "Any position: rows (player 1's, player 2's; hole i at [i - 1]), stores "
                  "(player 1's, player 2's), to_move (1 or 2); holes defaults to the rows' "
                  "length, bones (a hole's at the start, which the end test needs) to all "
                  "bones / (2 x holes). A round found over is taken as given, not swept.")
      .def_property_readonly("num_holes", [](const State& s) { return s.board.NumHoles; })
      .def_property_readonly("num_bones", [](const State& s) { return s.board.NumBones; })
      .def_property_readonly(
          "holes", [](const State& s) { return py::make_tuple(Row(s, 0), Row(s, 1)); },
          "the rows of players 1 and 2 as tuples, hole i at [i - 1]")
      .def_property_readonly(
          "stores",
          [](const State& s) { return py::make_tuple(s.board.Stores[0], s.board.Stores[1]); },
          "the stores of players 1 and 2")
      .def_property_readonly(
          "to_move", [](const State& s) { return s.board.Mover; }, "the player to move, 1 or 2")
      .def_property_readonly(
          "last_move",
          [](const State& s) -> py::object {
            if (s.last.hole == 0) return py::none();
            return py::cast(s.last);
          },
          "the Outcome of the move that made this position; None for a position built");
}

// What a State answers: its moves, the next State, the round's end, perft
// and the tables' value, and what makes it a value (equality, hash, pickle).
void BindStatePlay(py::class_<State>& state) {
  state
      .def("legal_moves", &LegalMoves,
           "The sowing moves of the player to move: its non-empty "
           "holes 1 to num_holes, rising; none once the round is over.")
      .def("play", &Play, py::arg("hole"),
           "The position after the player to move plays hole (1 to num_holes; an empty "
           "hole is a pass, as the referee accepts it), with the move's Outcome as "
           "last_move; this state is left as it is. ValueError when the round is over or "
           "the hole is not 1 to num_holes.")
      .def("is_over", [](const State& s) { return s.board.RoundOver != 0; })
      .def(
          "winner",
          [](const State& s) -> py::object {
            if (!s.board.RoundOver) return py::none();
            return py::int_(PsWinner(&s.board));
          },
          "1 or 2 for the player with the larger store, 0 for a draw; None while the round "
          "is not over.")
      .def("clone", [](const State& s) { return s; })
      .def("__copy__", [](const State& s) { return s; })
      .def("__deepcopy__", [](const State& s, py::dict) { return s; })
      .def(
          "perft",
          [](const State& s, int depth) {
            if (depth < 0) throw py::value_error("depth must not be negative");
            return Perft(s.board, depth);
          },
          py::arg("depth"),
          "Leaves of the tree of sowing moves depth moves deep (a move that ends the round "
          "is one leaf), as pitsow-perft counts them.")
      .def("solve", &Solve,
           "The exact value of this position from the endgame tables (pitsow-solve build): a "
           "dict of value (the bones the player to move still gets minus those its opponent "
           "still gets, both playing perfectly), margin (value plus the store difference as "
           "it stands: above 0 a win for the player to move), moves (each hole's value; an "
           "empty hole is a pass) and best (the holes that keep the value). ValueError when "
           "the tables do not cover the position, naming the command that builds them.")
      .def("__eq__", &Equal, py::is_operator())
      .def("__hash__", &Hash)
      .def(py::pickle(&Pickled, &Unpickled))
      .def("__repr__", &Describe);
}

}  // namespace

PYBIND11_MODULE(_rules, m) {
  m.doc() = "The rules of Pitsow, exactly as the referee plays them.";
  BindOutcome(m);
  py::class_<State> state(m, "State",
                          "A position: the board of one round and the player to move. Immutable, "
                          "hashable, picklable; equal when the whole position is.");
  BindStatePosition(state);
  BindStatePlay(state);
  fast::Install(state);

  BindLibraryPlayer(m);
}
