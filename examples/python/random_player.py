"""A random player in Python: any non-empty hole.

    pitsow --player1=random_player.py --player2=Tossel.so
"""
import random

rng = random.Random()


def init(info):
    info.name = "Random (Python)"
    info.creator = "The Pitsow project"
    info.description = "A random non-empty hole"
    rng.seed(info.Param or None)  # /P=1=N replays a match's choices
    return True


def get_turn(my_holes, opp_holes, my_store, opp_store):
    return rng.choice([i + 1 for i, bones in enumerate(my_holes) if bones > 0])


def opp_turn(hole):
    pass


def end_round(my, opp, turns):
    pass


def done():
    pass
