"""A Monte Carlo tree search player in Python on the pitsow package: UCT
over States (each node keyed by its State in a table, so positions reached
by different lines share their statistics), Param playouts a move (400 when
Param is 0). A playout plays greedy-ish random moves (an extra move when
there is one) and scores the result for the player who moved into a node;
an extra move is a move of the same side.

    pitsow --player1=mcts.py --player2=greedy.py --isolate
    pitsow-arena examples/python/mcts.py examples/python/greedy.py --pairs 10

choose(state, playouts, rng) is the search alone, for environments
(mcts_vs_minimax.py)."""
import math
import random

from pitsow import State

settings = {}
rng = random.Random(1)


def init(info):
    info.name = "MCTS (Python)"
    info.creator = "The Pitsow project"
    info.description = "UCT on States, greedy-random playouts"
    param = info.Param or 0
    settings.update(holes=info.NumHoles, bones=info.NumBones, me=info.Player,
                    playouts=param if param > 0 else 400)
    return True


def playout(state):
    """The winner (1, 2, or 0 for a draw) of one playout from state."""
    turns = 0
    while not state.is_over() and turns < 200:
        moves = state.legal_moves()
        row = state.holes[state.to_move - 1]
        n = state.num_holes
        extra = [h for h in moves if row[h - 1] == n + 1 - h]
        state = state.play(extra[-1] if extra else rng.choice(moves))
        turns += 1
    s1, s2 = state.stores
    return 1 if s1 > s2 else 2 if s2 > s1 else 0


def choose(state, playouts=400, generator=None):
    """The hole UCT finds best for the player to move after playouts."""
    global rng
    if generator is not None:
        rng = generator
    moves = state.legal_moves()
    if len(moves) == 1:
        return moves[0]
    visits, wins = {}, {}  # by State: visits, and wins of the player who moved into it

    def select(s):
        path = [s]
        while not s.is_over() and s in visits:
            children = [s.play(h) for h in s.legal_moves()]
            fresh = [c for c in children if c not in visits]
            if fresh:
                s = rng.choice(fresh)
                path.append(s)
                break
            log_n = math.log(visits[s])
            s = max(children, key=lambda c: wins[c] / visits[c] +
                    1.4 * math.sqrt(log_n / visits[c]))
            path.append(s)
        return path

    for _ in range(playouts):
        path = select(state)
        winner = playout(path[-1])
        for parent, node in zip([None] + path[:-1], path):
            mover = parent.to_move if parent is not None else 3 - node.to_move
            visits[node] = visits.get(node, 0) + 1
            wins[node] = wins.get(node, 0) + (1 if winner == mover else 0.5 if winner == 0 else 0)
    return max(moves, key=lambda h: visits.get(state.play(h), 0))


def get_turn(my_holes, opp_holes, my_store, opp_store):
    state = State.from_turn(settings["holes"], settings["bones"], settings["me"],
                            my_holes, opp_holes, my_store, opp_store)
    return choose(state, settings["playouts"])


def opp_turn(hole):
    pass


def end_round(my, opp, turns):
    pass


def done():
    pass
