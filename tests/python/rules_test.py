"""The pitsow package against the rules header: perft through State's own
legal_moves and play, a thousand random games move by move against the
header played by the replay helper, State as a value (pickled, hashed,
compared by the whole position), the environment's bookkeeping, and
State.solve on small tables built for the test.
Arguments: the replay helper, pitsow-solve."""
import os
import pickle
import random
import subprocess
import sys
import tempfile
import unittest

import pitsow

REPLAY = sys.argv[1]
SOLVE = sys.argv[2]


def perft(state, depth):
    if depth == 0:
        return 1
    moves = state.legal_moves()
    if depth == 1:
        return len(moves)
    leaves = 0
    for hole in moves:
        child = state.play(hole)
        leaves += 1 if child.last_move.end else perft(child, depth - 1)
    return leaves


def line(state, outcome):
    rows = " | ".join(" ".join(map(str, row)) for row in state.holes)
    return (f"{rows} | {state.stores[0]} {state.stores[1]} | {state.to_move} "
            f"{int(state.is_over())} | {int(outcome.extra_move)} {outcome.capture}")


class RulesTest(unittest.TestCase):
    def test_perft_equals_the_move_counter(self):
        counts = [6, 35, 185, 942, 4690, 23233, 114430, 563055]
        start = pitsow.State(6, 4)
        self.assertEqual([perft(start, d) for d in range(1, 9)], counts)
        self.assertEqual([start.perft(d) for d in range(1, 9)], counts)

    def test_random_games_move_by_move(self):
        rng = random.Random(7)
        games, ours = [], []
        for _ in range(1000):
            holes, bones = rng.randint(1, 6), rng.randint(1, 8)
            state, moves = pitsow.State(holes, bones), []
            while not state.is_over() and len(moves) < 400:
                # Mostly sowing moves, sometimes a pass on an empty hole.
                empty = [h for h in range(1, holes + 1) if h not in state.legal_moves()]
                hole = rng.choice(empty if empty and rng.random() < 0.1 else state.legal_moves())
                moves.append(hole)
                state = state.play(hole)
                ours.append(line(state, state.last_move))
            ours.append(f"end {state.winner() or 0}")
            games.append(" ".join(map(str, [holes, bones, *moves])))
        theirs = subprocess.run([REPLAY], input="\n".join(games) + "\n", capture_output=True,
                                text=True, check=True).stdout.splitlines()
        self.assertEqual(len(ours), len(theirs))
        for i, (mine, header) in enumerate(zip(ours, theirs)):
            self.assertEqual(mine, header, f"line {i}")

    def test_from_turn_and_errors(self):
        # Player 2 to move, its row below, hole 6 beside its store:
        #   player 1:   2  0  0  0  2  1     (its holes 6 to 1)
        #   player 2:   0  3  0  0  0  1     (its holes 1 to 6)
        s = pitsow.State.from_turn(6, 4, 2, [0, 3, 0, 0, 0, 1], [1, 2, 0, 0, 0, 2], 20, 21)
        self.assertEqual((s.holes, s.stores, s.to_move),
                         (((1, 2, 0, 0, 0, 2), (0, 3, 0, 0, 0, 1)), (21, 20), 2))
        s = s.play(6)  # the last bone in its store: an extra move
        o = s.last_move
        self.assertEqual((o.extra_move, o.capture, o.end, s.to_move), (True, 0, False, 2))
        # Hole 2 sows 3 to 5, which captures with player 1's hole 2.
        before, s = s, s.play(2)
        self.assertEqual((s.last_move.capture, s.holes, s.stores, s.to_move),
                         (5, ((1, 0, 0, 0, 0, 2), (0, 0, 1, 1, 0, 0)), (21, 24), 1))
        self.assertEqual(before.stores, (21, 21))  # play left it as it was
        self.assertEqual(s, pitsow.State.from_position(
            ((1, 0, 0, 0, 0, 2), (0, 0, 1, 1, 0, 0)), (21, 24), 1, bones=4))
        for bad in (0, 7, 2**40):
            self.assertRaises(ValueError, s.play, bad)
        for bad in (1.5, "1", None):
            self.assertRaises(TypeError, s.play, bad)
        self.assertRaises(TypeError, s.play, 1, 2)
        self.assertEqual(s.play(hole=1), s.play(1))
        self.assertRaises(ValueError, pitsow.State, 7, 4)
        self.assertRaises(ValueError, pitsow.State.from_position, ([1] * 6, [1] * 5), (0, 0), 1)
        self.assertRaises(ValueError, pitsow.State.from_position, ([1] * 6, [2] * 6), (0, 0), 1)
        with self.assertRaises(TypeError):
            s.holes[0][0] = 99  # the rows are tuples: a State does not change

    def test_states_are_values(self):
        # 10,000 positions from random games: each survives pickling equal
        # and with its hash, and equals its own rebuild from its fields and
        # nothing that differs in one field (either row, a store, the mover).
        rng = random.Random(11)
        states = []
        while len(states) < 10000:
            s = pitsow.State(rng.randint(1, 6), rng.randint(1, 6))
            while not s.is_over() and len(states) < 10000:
                s = s.play(rng.choice(s.legal_moves()))
                states.append(s)
        for s in states:
            back = pickle.loads(pickle.dumps(s))
            self.assertEqual((back, hash(back), back.last_move.hole), (s, hash(s), s.last_move.hole))
            rows, stores = s.holes, s.stores
            self.assertEqual(pitsow.State.from_position(rows, stores, s.to_move, bones=s.num_bones), s)
            changed = [(rows[0][:-1] + (rows[0][-1] + 1,), rows[1]), (rows[0], (rows[1][0] + 1,) + rows[1][1:])]
            others = [pitsow.State.from_position(r, stores, s.to_move, bones=s.num_bones) for r in changed]
            others += [pitsow.State.from_position(rows, (stores[0], stores[1] + 1), s.to_move, bones=s.num_bones),
                       pitsow.State.from_position(rows, stores, 3 - s.to_move, bones=s.num_bones)]
            for other in others:
                self.assertNotEqual(other, s)
        positions = {(s.num_holes, s.num_bones, s.holes, s.stores, s.to_move) for s in states}
        self.assertEqual(len(set(states)), len(positions))  # a transposition table works

    def test_env_plays_a_round_to_its_reward(self):
        env = pitsow.Env(holes=4, bones=3)
        obs, info = env.reset(seed=3)
        self.assertEqual((obs, info), ((3, 3, 3, 3, 3, 3, 3, 3, 0, 0),
                                       {"action_mask": [True] * 4, "turns": 0}))
        first = []
        for _ in range(2):
            env.reset(seed=3)
            done, steps = False, []
            while not done:
                mask = info["action_mask"] if not steps else steps[-1][4]["action_mask"]
                action = mask.index(True) + 1  # holes are 1 to 4
                steps.append(env.step(action))
                done = steps[-1][2] or steps[-1][3]
            first.append(steps)
        self.assertEqual(first[0], first[1])  # the seed fixes the opponent
        obs, reward, terminated, _, info = first[0][-1]
        mine, theirs = obs[-2], obs[-1]
        self.assertTrue(terminated)
        self.assertEqual(reward, (mine > theirs) - (mine < theirs))
        self.assertRaises(RuntimeError, env.step, 1)


class SolveTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.cache = tempfile.TemporaryDirectory()
        os.environ["XDG_CACHE_HOME"] = cls.cache.name
        for holes, bones in ((1, 6), (2, 8)):
            subprocess.run([SOLVE, "build", "--holes", str(holes), "--bones", str(bones)],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        cls.cache.cleanup()

    def test_starts_of_small_boards(self):
        # (holes, bones) -> the first player's margin with perfect play.
        for (holes, bones), margin in {(1, 3): 6, (2, 1): 2, (2, 2): 0}.items():
            self.assertEqual(pitsow.State(holes, bones).solve()["margin"], margin)

    def test_a_best_move_keeps_the_margin_for_whoever_moves_next(self):
        state = pitsow.State(2, 2)
        for _ in range(100):  # a pass answered by a pass would go on for ever
            if state.is_over():
                break
            solved = state.solve()
            self.assertEqual(solved["value"], max(solved["moves"].values()))
            sowing = [h for h in solved["best"] if h in state.legal_moves()]
            child = state.play((sowing or solved["best"])[0])
            same = child.to_move == state.to_move or child.is_over()
            margin = child.solve()["margin"]
            if child.is_over():
                margin = (child.stores[state.to_move - 1] - child.stores[2 - state.to_move])
            self.assertEqual(margin if same else -margin, solved["margin"])
            state = child

    def test_a_position_above_the_tables_names_the_command(self):
        with self.assertRaisesRegex(ValueError, "pitsow-solve build --holes 2 --bones 12"):
            pitsow.State.from_position([[5, 4], [1, 2]], [0, 0], 1).solve()

    def test_tables_built_after_a_miss_are_found(self):
        position = pitsow.State.from_position([[3, 3], [2, 1]], [3, 0], 1)  # 9 on the board
        self.assertRaises(ValueError, position.solve)
        subprocess.run([SOLVE, "build", "--holes", "2", "--bones", "9"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertEqual(position.solve()["value"], max(position.solve()["moves"].values()))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
