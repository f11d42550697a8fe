"""Players that sit on the other side of an environment: a player library
(NAME.so), a Python player (NAME.py) or any policy, all behind the five
calls the referee makes, in the order it makes them.

A player here has init(player, holes, bones) -> bool, get_turn(state) ->
hole, opp_turn(hole), end_round(my, opp, turns) and done(); the
environments call them as the referee would: init once, get_turn whenever
it is to move, opp_turn with each move of the other side, end_round after
each round, done at close()."""
import importlib.util
import inspect
import os
import sys
from types import SimpleNamespace

from ._rules import Library


def LibraryPlayer(file, param=0, log_level=0):
    """The player in file: a player library, bound as the referee binds it
    (in this process: a crash or a hang of the library is Python's), or a
    Python player NAME.py, imported as the shim imports it. param and
    log_level are the record's Param and LogLevel (/P and /L)."""
    if file.endswith(".py"):
        return ModulePlayer(file, param, log_level)
    return Library(file, param, log_level)


class ModulePlayer:
    """A Python player module (init, get_turn, opp_turn, end_round, done) as
    the shim plays it: its folder first on sys.path, an info record with the
    fields by name, init's answer taken by its truth, the rows as lists.
    Each ModulePlayer imports its own copy of the module."""

    NAMES = ("init", "get_turn", "opp_turn", "end_round", "done")

    def __init__(self, file, param=0, log_level=0):
        self.file, self.param, self.log_level = file, param, log_level
        path = os.path.abspath(file)
        folder = os.path.dirname(path)
        if folder not in sys.path:
            sys.path.insert(0, folder)
        found = importlib.util.spec_from_file_location(
            os.path.splitext(os.path.basename(path))[0], path)
        if found is None:
            raise ImportError("not a Python module: " + file)
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        for name in self.NAMES:
            if not callable(getattr(module, name, None)):
                raise ValueError(f"{file}: function {name} missing")
        self.module = module
        self.name = self.creator = self.description = ""

    def init(self, player, holes, bones):
        self.info = SimpleNamespace(Size=352, MaxVer=1, Player=player, NumHoles=holes,
                                    NumBones=bones, LogLevel=self.log_level, Param=self.param,
                                    name="", creator="", description="")
        ready = bool(self.module.init(self.info))
        self.name, self.creator, self.description = (
            str(getattr(self.info, k, "")) for k in ("name", "creator", "description"))
        return ready

    def get_turn(self, state):
        me = state.to_move - 1
        holes, stores = state.holes, state.stores
        return self.module.get_turn(list(holes[me]), list(holes[1 - me]), stores[me],
                                    stores[1 - me])

    def opp_turn(self, hole):
        self.module.opp_turn(hole)

    def end_round(self, my, opp, turns):
        self.module.end_round(my, opp, turns)

    def done(self):
        self.module.done()


class PolicyPlayer:
    """A policy as a player: policy(state) -> hole, or, as the first
    environment took it, policy(state, rng) -> hole with the environment's
    random.Random."""

    def __init__(self, policy, rng_of):
        self.policy = policy
        try:
            takes_rng = len(inspect.signature(policy).parameters) >= 2
        except (TypeError, ValueError):
            takes_rng = False
        self.rng_of = rng_of if takes_rng else None

    def init(self, player, holes, bones):
        return True

    def get_turn(self, state):
        if self.rng_of is not None:
            return self.policy(state, self.rng_of())
        return self.policy(state)

    def opp_turn(self, hole):
        pass

    def end_round(self, my, opp, turns):
        pass

    def done(self):
        pass


def as_player(opponent, rng_of):
    """opponent as a player: a player as it is, a file name through
    LibraryPlayer, a callable as a policy."""
    if isinstance(opponent, str):
        return LibraryPlayer(opponent)
    if all(callable(getattr(opponent, n, None)) for n in ModulePlayer.NAMES):
        return opponent
    if callable(opponent):
        return PolicyPlayer(opponent, rng_of)
    raise TypeError(f"{opponent!r} is neither a player nor a policy")
