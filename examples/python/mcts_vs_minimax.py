"""The MCTS example against Minimax.so through pitsow.LibraryPlayer, in a
plain script: rounds through Env, the agent seated in turn as player 1 and
player 2, Minimax called as the referee would call it.

    python3 mcts_vs_minimax.py [MINIMAX.so [ROUNDS [DEPTH [PLAYOUTS]]]]

MINIMAX.so is the library (default Minimax.so: in the working folder, else
the loader's search path), DEPTH its parameter (/P, default 3), PLAYOUTS the
search's per move (default 400). Prints one line a round and the tally."""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import mcts  # noqa: E402  (the example beside this script)
import pitsow  # noqa: E402


def main(library="Minimax.so", rounds=4, depth=3, playouts=400):
    tally = {"won": 0, "lost": 0, "drawn": 0}
    rng = random.Random(7)
    for r in range(rounds):
        seat = 1 + r % 2
        env = pitsow.Env(holes=6, bones=4, seat=seat,
                         opponent=pitsow.LibraryPlayer(library, param=depth))
        obs, info = env.reset(seed=r)
        done = False
        while not done:
            action = mcts.choose(env.state, playouts, rng)
            obs, reward, terminated, truncated, info = env.step(action)
            done = terminated or truncated
        result = "won" if reward > 0 else "lost" if reward < 0 else "drawn"
        tally[result] += 1
        print(f"round {r}: MCTS as player {seat} {result} {obs[-2]}:{obs[-1]}")
        env.close()
    print(f"MCTS won {tally['won']}, lost {tally['lost']}, drew {tally['drawn']} "
          f"against {os.path.basename(library)} /P={depth}")
    return tally


if __name__ == "__main__":
    args = sys.argv[1:]
    main(*(args[:1] + [int(a) for a in args[1:4]]))
