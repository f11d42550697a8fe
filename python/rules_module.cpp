// pitsow._rules: the rules header's board as a Python class, State, with
// what one move did as an Outcome. Everything is played by the header's own
// functions, and perft is pitsow-perft's; nothing of the rules is written
// again here.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "perft.h"
#include "pitsow/rules.h"

namespace py = pybind11;

namespace {

struct Outcome {
  int32_t hole = 0;
  int32_t capture = 0;  // the mover's hole where the last bone captured, or 0
  bool extra_move = false;
  bool end = false;
};

struct State {
  PsBoard board{};
};

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
State FromTurn(int32_t holes, int32_t bones, int32_t me, const std::vector<int32_t>& myHoles,
               const std::vector<int32_t>& oppHoles, int32_t myStore, int32_t oppStore) {
  State s = NewState(holes, bones);
  if (me != 1 && me != 2) throw py::value_error("me must be 1 or 2");
  HoleRow mine, theirs;
  ReadRow(myHoles, holes, mine);
  ReadRow(oppHoles, holes, theirs);
  PsBoardFromTurn(&s.board, holes, bones, me, mine, theirs, myStore, oppStore);
  return s;
}

std::vector<int32_t> Row(const State& s, int p) {
  return std::vector<int32_t>(s.board.Holes[p], s.board.Holes[p] + s.board.NumHoles);
}

std::vector<int32_t> LegalMoves(const State& s) {
  int32_t moves[PS_MAX_HOLES];
  const int count = PsSowingMoves(&s.board, moves);
  return std::vector<int32_t>(moves, moves + count);
}

Outcome Play(State& s, int32_t hole) {
  if (s.board.RoundOver) throw py::value_error("the round is over");
  PsSowing sowing;
  if (!PsPlayMove(&s.board, hole, &sowing))
    throw py::value_error("hole " + std::to_string(hole) + " is not 1 to " +
                          std::to_string(s.board.NumHoles));
  return Outcome{hole, sowing.Captured, sowing.ExtraMove != 0, s.board.RoundOver != 0};
}

std::string Describe(const State& s) {
  auto row = [&](int p) {
    std::string text = "[";
    for (int32_t i = 0; i < s.board.NumHoles; ++i)
      text += (i > 0 ? ", " : "") + std::to_string(s.board.Holes[p][i]);
    return text + "]";
  };
  return "State(holes=(" + row(0) + ", " + row(1) + "), stores=(" +
         std::to_string(s.board.Stores[0]) + ", " + std::to_string(s.board.Stores[1]) +
         "), to_move=" + std::to_string(s.board.Mover) + (s.board.RoundOver ? ", over)" : ")");
}

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

}  // namespace

PYBIND11_MODULE(_rules, m) {
  m.doc() = "The rules of Pitsow, exactly as the referee plays them.";

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

  py::class_<State>(m, "State", "The board of one round and the player to move.")
      .def(py::init(&NewState), py::arg("holes") = 6, py::arg("bones") = 6,
           "The filled board: bones in each of the holes of both rows, player 1 to move.")
      .def_static("from_turn", &FromTurn, py::arg("holes"), py::arg("bones"), py::arg("me"),
                  py::arg("my_holes"), py::arg("opp_holes"), py::arg("my_store"),
                  py::arg("opp_store"),
                  "The board from get_turn's arguments; me (info.Player) is to move.")
      .def_property_readonly("num_holes", [](const State& s) { return s.board.NumHoles; })
      .def_property_readonly("num_bones", [](const State& s) { return s.board.NumBones; })
      .def_property_readonly(
          "holes", [](const State& s) { return py::make_tuple(Row(s, 0), Row(s, 1)); },
          "the rows of players 1 and 2, hole i at [i - 1]")
      .def_property_readonly(
          "stores",
          [](const State& s) { return py::make_tuple(s.board.Stores[0], s.board.Stores[1]); },
          "the stores of players 1 and 2")
      .def_property_readonly(
          "to_move", [](const State& s) { return s.board.Mover; }, "the player to move, 1 or 2")
      .def("legal_moves", &LegalMoves,
           "The sowing moves of the player to move: its non-empty "
           "holes, rising; none once the round is over.")
      .def("play", &Play, py::arg("hole"),
           "Plays a hole of the player to move (an empty hole is a pass, as the referee "
           "accepts it) and answers the Outcome; ValueError when the round is over or the "
           "hole is not 1 to num_holes.")
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
      .def("__eq__", &Equal)
      .def("__repr__", &Describe);
}
