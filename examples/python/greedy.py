"""A greedy player in Python on the pitsow package: the move that gains
the most bones for its store at once, an extra move counting as one bone
more; ties to the hole nearest the store.

    pitsow --player1=greedy.py --player2=Tossel.so /R=200
"""
from pitsow import State

settings = {}


def init(info):
    info.name = "Greedy (Python)"
    info.creator = "The Pitsow project"
    info.description = "Most bones for its store at once"
    settings.update(holes=info.NumHoles, bones=info.NumBones, me=info.Player)
    return True


def gain(state, hole):
    me = state.to_move - 1
    after = state.play(hole)
    return after.stores[me] - state.stores[me] + after.last_move.extra_move, hole


def get_turn(my_holes, opp_holes, my_store, opp_store):
    state = State.from_turn(settings["holes"], settings["bones"], settings["me"],
                            my_holes, opp_holes, my_store, opp_store)
    return max(gain(state, hole) for hole in state.legal_moves())[1]


def opp_turn(hole):
    pass


def end_round(my, opp, turns):
    pass


def done():
    pass
