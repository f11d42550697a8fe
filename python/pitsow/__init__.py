"""The rules of Pitsow in Python, exactly as the referee plays them.

State is the board of a round and the player to move (legal_moves, play,
is_over, winner, clone, perft); Env is an environment over it in the
reset/step style with an action mask. A Python player (NAME.py, played with
pitsow --player1=NAME.py) rebuilds the State from get_turn's arguments with
State.from_turn and searches on clones.
"""
from ._rules import Outcome, State
from .env import Env

__all__ = ["Env", "Outcome", "State"]
