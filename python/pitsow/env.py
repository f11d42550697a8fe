"""Rounds of Pitsow from one seat, in the shape of a Gymnasium environment
(the same attributes, methods and return shapes; the standard library only,
without Gymnasium itself)."""
import random

from ._rules import State
from .players import PolicyPlayer, as_player
from .spaces import Box, Discrete


def random_opponent(state, rng):
    """The default opponent: a random sowing move."""
    return rng.choice(state.legal_moves())


def render_text(state):
    """The board as text: player 2's row from its hole 6 down to 1 above
    player 1's row from 1 to 6, the stores at the sides, who is to move."""
    top = " ".join(f"{v:2d}" for v in reversed(state.holes[1]))
    bottom = " ".join(f"{v:2d}" for v in state.holes[0])
    s1, s2 = state.stores
    mover = "over" if state.is_over() else f"player {state.to_move} to move"
    return f"    {top}\n{s2:3d} {' ' * len(top)} {s1:3d}\n    {bottom}\n({mover})\n"


class Env:
    """Rounds of Pitsow against an opponent, from the seat of player seat.

    An action is a hole, 1 to holes, as in State.play and get_turn
    (action_space is Discrete(holes, start=1)). An observation is a tuple of
    ints: the agent's holes 1 to holes, the opponent's holes 1 to holes, the
    agent's store, the opponent's store. info["action_mask"] has one bool a
    hole, True for the agent's non-empty holes (the actions step accepts;
    action_space.sample(mask=info["action_mask"]) picks one of them).

    reward="result" gives 1 when the round ends won, -1 lost, 0 otherwise;
    reward="stores" gives at each step the change of the store difference
    (the agent's minus the opponent's) since the agent's last action, which
    adds up to the final difference. A round is truncated once max_turns
    moves are played without an end, as the referee's turn limit cuts it.

    The opponent moves inside reset and step until the agent is to move
    again: a policy opponent(state) -> hole (or opponent(state, rng) with
    the environment's random.Random), a player (pitsow.LibraryPlayer("Minimax.so",
    param=3), a .py player), or a file name for LibraryPlayer; by default a
    random sowing move. A player is called as the referee calls it: init at
    the first reset, opp_turn with each of the agent's moves, end_round after
    each round, done at close().
    """

    metadata = {"render_modes": ["ansi"], "render_fps": 4}
    reward_range = (-float("inf"), float("inf"))

    def __init__(self, holes=6, bones=6, seat=1, opponent=random_opponent, max_turns=300,
                 reward="result", render_mode="ansi"):
        if seat not in (1, 2):
            raise ValueError("seat must be 1 or 2")
        if reward not in ("result", "stores"):
            raise ValueError('reward must be "result" or "stores"')
        if render_mode not in (None, "ansi"):
            raise ValueError('render_mode must be "ansi" or None')
        State(holes, bones)  # checks the board's size
        self.holes, self.bones, self.seat = holes, bones, seat
        self.max_turns, self.reward_kind, self.render_mode = max_turns, reward, render_mode
        self.rng = random.Random()
        self.opponent = as_player(opponent, lambda: self.rng)
        self.action_space = Discrete(holes, start=1)
        self.observation_space = Box(0, 2 * holes * bones, (2 * holes + 2,))
        self.state = None
        self.turns = 0
        self._started = self._in_round = False

    @property
    def unwrapped(self):
        return self

    def reset(self, *, seed=None, options=None):
        """Starts a round; answers (observation, info). seed fixes the
        default opponent's choices from here on; options={"state": s}
        starts from the position s (a State of this board's size)."""
        if seed is not None:
            self.rng = random.Random(seed)
        self._end_round()
        if not self._started:
            if not self.opponent.init(3 - self.seat, self.holes, self.bones):
                raise RuntimeError("the opponent's init answered false")
            self._started = True
        start = (options or {}).get("state")
        if start is not None and start.num_holes != self.holes:
            raise ValueError(f"the state has {start.num_holes} holes, the environment {self.holes}")
        self.state = start if start is not None else State(self.holes, self.bones)
        self.turns = 0
        self._in_round = True
        self._before = self._difference()
        self._opponent_moves()
        return self._observation(), self._info()

    def step(self, action):
        """Plays the agent's hole and the opponent's answers; answers
        (observation, reward, terminated, truncated, info)."""
        state = self.state
        if state is None or state.is_over() or self.turns >= self.max_turns:
            raise RuntimeError("the round is over: call reset()")
        if type(action) is not int or not 1 <= action <= self.holes:
            if not self.action_space.contains(action):
                raise ValueError(f"action {action!r} is not a hole 1 to {self.holes}")
            action = int(action)
        if not state.holes[self.seat - 1][action - 1]:  # the agent is to move
            raise ValueError(f"action {action} is an empty hole")
        # The loop of _opponent_moves and what follows it, written out, a
        # policy called without its PolicyPlayer: a step is the hot path.
        state = state.play(action)
        turns = self.turns + 1
        opponent, seat, max_turns = self.opponent, self.seat, self.max_turns
        if type(opponent) is PolicyPlayer:
            policy = opponent.policy
            if opponent.rng_of is not None:
                rng = opponent.rng_of()

                def get_turn(now):
                    return policy(now, rng)
            else:
                get_turn = policy
        else:
            if self._started:
                opponent.opp_turn(action)
            get_turn = opponent.get_turn
        while not state.is_over() and turns < max_turns and state.to_move != seat:
            self.state, self.turns = state, turns
            state = state.play(get_turn(state))
            turns += 1
        self.state, self.turns = state, turns
        terminated = state.is_over()
        truncated = not terminated and turns >= max_turns
        if self.reward_kind == "stores":
            reward = self._reward()
        elif terminated:
            winner = state.winner()
            reward = 0.0 if winner == 0 else 1.0 if winner == seat else -1.0
        else:
            reward = 0.0
        if terminated or truncated:
            self._end_round()
        observation, mask = state._view(seat)
        return observation, reward, terminated, truncated, {"action_mask": mask, "turns": turns}

    def render(self):
        """The board as text (render_mode "ansi"); None without a mode."""
        if self.render_mode is None or self.state is None:
            return None
        return render_text(self.state)

    def close(self):
        """Ends the round under way and tells a player opponent the match is
        over."""
        self._end_round()
        if self._started:
            self.opponent.done()
            self._started = False

    def action_mask(self):
        """One bool a hole: whether the agent may sow it now."""
        legal = self.state.legal_moves() if self.state.to_move == self.seat else ()
        return [hole in legal for hole in range(1, self.holes + 1)]

    def legal_actions(self):
        """The holes the agent may sow now, rising."""
        return self.state.legal_moves() if self.state.to_move == self.seat else []

    def clone(self):
        """An independent copy in the same round, its random opponent's
        choices continuing alike. An opponent with a state of its own (a
        player) is shared, so only a policy opponent's environment clones."""
        if not hasattr(self.opponent, "policy"):
            raise TypeError("an environment against a player cannot be cloned: the player's "
                            "own state would be shared")
        other = Env.__new__(Env)
        other.__dict__.update(self.__dict__)
        other.rng = random.Random()
        other.rng.setstate(self.rng.getstate())
        other.opponent = as_player(self.opponent.policy, lambda: other.rng)
        return other

    def _done(self):
        return self.state.is_over() or self.turns >= self.max_turns

    def _opponent_moves(self):
        while not self._done() and self.state.to_move != self.seat:
            hole = self.opponent.get_turn(self.state)
            self.state = self.state.play(hole)
            self.turns += 1

    def _end_round(self):
        if self._in_round and self._started:
            stores = self.state.stores
            self.opponent.end_round(stores[2 - self.seat], stores[self.seat - 1], self.turns)
        self._in_round = False

    def _difference(self):
        stores = self.state.stores
        return stores[self.seat - 1] - stores[2 - self.seat]

    def _observation(self):
        return self.state._view(self.seat)[0]

    def _reward(self):
        if self.reward_kind == "stores":
            now = self._difference()
            gained, self._before = now - self._before, now
            return float(gained)
        winner = self.state.winner()
        if winner is None or winner == 0:
            return 0.0
        return 1.0 if winner == self.seat else -1.0

    def _info(self):
        return {"action_mask": self.state._view(self.seat)[1], "turns": self.turns}
