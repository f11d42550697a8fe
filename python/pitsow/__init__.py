"""The rules of Pitsow in Python, exactly as the referee plays them.

State is a position: immutable, hashable, picklable; legal_moves() and
play(hole) -> the next State, holes numbered 1 to holes everywhere (as in
get_turn, the record and the log). Env is one seat against an opponent in
the shape of a Gymnasium environment; AECEnv is two agents in the shape of
the agent-environment-cycle API. LibraryPlayer puts a player library or a
.py player on the other side. A Python player (NAME.py, played with
pitsow --player1=NAME.py) rebuilds the State from get_turn's arguments with
State.from_turn.
"""
from ._rules import Outcome, State
from .agents import AECEnv
from .env import Env
from .players import LibraryPlayer, ModulePlayer
from .spaces import Box, Discrete

__all__ = ["AECEnv", "Box", "Discrete", "Env", "LibraryPlayer", "ModulePlayer", "Outcome",
           "State"]
