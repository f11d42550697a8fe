"""An environment over the rules in the reset/step style, standard library only."""
import random

from ._rules import State


def random_opponent(state, rng):
    """The default opponent: a random sowing move."""
    return rng.choice(state.legal_moves())


class Env:
    """Rounds of Pitsow against an opponent, from one player's seat.

    An action is 0 to holes - 1: the agent's hole action + 1. An observation
    is a tuple of ints: the agent's holes 1 to holes, the opponent's holes 1
    to holes, the agent's store, the opponent's store. info["action_mask"]
    has one bool per action, True for the agent's non-empty holes (the
    actions step accepts). The reward is 1 when the round ends won, -1 lost,
    0 otherwise. The opponent, opponent(state, rng) -> hole, moves inside
    reset and step until the agent is to move again; by default it plays a
    random sowing move. A round is truncated once max_turns moves are played
    without an end, as the referee's turn limit would cut it.
    """

    def __init__(self, holes=6, bones=6, seat=1, opponent=random_opponent, max_turns=300):
        if seat not in (1, 2):
            raise ValueError("seat must be 1 or 2")
        State(holes, bones)  # checks the board's size
        self.holes, self.bones, self.seat = holes, bones, seat
        self.opponent, self.max_turns = opponent, max_turns
        self.rng = random.Random()
        self.state = None
        self.turns = 0

    def reset(self, seed=None, options=None):
        """Starts a round; answers (observation, info)."""
        if seed is not None:
            self.rng = random.Random(seed)
        self.state = State(self.holes, self.bones)
        self.turns = 0
        self._opponent_moves()
        return self._observation(), self._info()

    def step(self, action):
        """Plays the agent's action and the opponent's answer; answers
        (observation, reward, terminated, truncated, info)."""
        if self.state is None or self._done():
            raise RuntimeError("the round is over: call reset()")
        if not (isinstance(action, int) and 0 <= action < self.holes):
            raise ValueError(f"action {action!r} is not 0 to {self.holes - 1}")
        if not self.action_mask()[action]:
            raise ValueError(f"action {action} is an empty hole")
        self.state.play(action + 1)
        self.turns += 1
        self._opponent_moves()
        terminated = self.state.is_over()
        truncated = not terminated and self.turns >= self.max_turns
        return self._observation(), self._reward(), terminated, truncated, self._info()

    def action_mask(self):
        """One bool per action: whether its hole can be sown."""
        legal = set(self.state.legal_moves()) if self.state.to_move == self.seat else set()
        return [hole + 1 in legal for hole in range(self.holes)]

    def _done(self):
        return self.state.is_over() or self.turns >= self.max_turns

    def _opponent_moves(self):
        while not self._done() and self.state.to_move != self.seat:
            self.state.play(self.opponent(self.state, self.rng))
            self.turns += 1

    def _observation(self):
        mine, theirs = self.seat - 1, 2 - self.seat
        holes, stores = self.state.holes, self.state.stores
        return tuple(holes[mine]) + tuple(holes[theirs]) + (stores[mine], stores[theirs])

    def _reward(self):
        winner = self.state.winner()
        if winner is None or winner == 0:
            return 0
        return 1 if winner == self.seat else -1

    def _info(self):
        return {"action_mask": self.action_mask(), "turns": self.turns}
