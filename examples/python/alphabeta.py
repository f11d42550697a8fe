"""An alpha-beta player in Python on the pitsow package: searches Param
moves deep (4 when Param is 0; an extra move is a move of the same side),
scoring a position by the difference of the stores.

    pitsow --player1=alphabeta.py --player2=Tossel.so /P=1=5
"""
from pitsow import State

settings = {}


def init(info):
    info.name = "Alpha-beta (Python)"
    info.creator = "The Pitsow project"
    info.description = "Alpha-beta search on the store difference"
    param = info.Param or 0  # None in a record too short to hold it
    settings.update(holes=info.NumHoles, bones=info.NumBones, me=info.Player,
                    depth=param if param > 0 else 4)
    return True


def value(state, depth, alpha, beta, me):
    """The store difference for me that best play reaches, within alpha..beta."""
    if depth == 0 or state.is_over():
        return state.stores[me - 1] - state.stores[2 - me]
    maximise = state.to_move == me
    for hole in state.legal_moves():
        v = value(state.play(hole), depth - 1, alpha, beta, me)
        if maximise:
            alpha = max(alpha, v)
        else:
            beta = min(beta, v)
        if alpha >= beta:
            break
    return alpha if maximise else beta


def get_turn(my_holes, opp_holes, my_store, opp_store):
    me = settings["me"]
    state = State.from_turn(settings["holes"], settings["bones"], me,
                            my_holes, opp_holes, my_store, opp_store)
    best, best_value = None, None
    for hole in state.legal_moves():
        v = value(state.play(hole), settings["depth"] - 1, -10**9, 10**9, me)
        if best_value is None or v > best_value:
            best, best_value = hole, v
    return best


def opp_turn(hole):
    pass


def end_round(my, opp, turns):
    pass


def done():
    pass
