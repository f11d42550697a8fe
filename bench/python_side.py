"""The Python halves of python_bench, each printing nanoseconds (the median
of five runs):
  python_side.py call PLAYER.py   one call of its get_turn with two rows of 6
  python_side.py play GAMES       one State.play replaying the games in the
                                  file (a line per game: its holes in order)
  python_side.py step GAMES       one move through Env.step, the same games
                                  replayed by agent and opponent (a step
                                  plays the agent's move and the opponent's
                                  answers: the time of a step over its moves)"""
import importlib.util
import sys
import time

RUNS = 5


def median_ns(run, count):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter_ns()
        run()
        times.append((time.perf_counter_ns() - start) / count)
    return sorted(times)[RUNS // 2]


def call_cost(path):
    found = importlib.util.spec_from_file_location("player", path)
    player = importlib.util.module_from_spec(found)
    found.loader.exec_module(player)
    get_turn, mine, theirs, n = player.get_turn, [4] * 6, [4] * 6, 1_000_000

    def run():
        for _ in range(n):
            get_turn(mine, theirs, 0, 0)
    return median_ns(run, n)


def play_cost(path):
    from pitsow import State
    with open(path) as f:
        games = [[int(h) for h in line.split()] for line in f]
    moves = sum(map(len, games))

    def run():
        for game in games:
            s = State(6, 6)
            for hole in game:
                s = s.play(hole)
    return median_ns(run, moves)


def step_cost(path):
    from pitsow import Env
    with open(path) as f:
        games = [[int(h) for h in line.split()] for line in f]
    moves = sum(map(len, games))
    script = []  # the current game's remaining holes, both sides
    env = Env(holes=6, bones=6, opponent=lambda state: script.pop())

    def run():
        for game in games:
            script[:] = reversed(game)
            env.reset()
            step = env.step
            while script:
                step(script.pop())
    return median_ns(run, moves)


if __name__ == "__main__":
    cost = {"call": call_cost, "play": play_cost, "step": step_cost}[sys.argv[1]]
    print(f"{cost(sys.argv[2]):.1f}")
