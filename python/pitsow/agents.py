"""A round of Pitsow between two agents, in the shape of the
agent-environment-cycle API (PettingZoo's AECEnv: the same attributes,
methods and return shapes; the standard library only)."""
import random

from ._rules import State
from .env import render_text
from .spaces import Box, Discrete


class AECEnv:
    """Two agents, "player_1" and "player_2", take turns on one board;
    agent_selection is the one to act. An extra move selects the same agent
    again. Actions are holes 1 to holes (Discrete(holes, start=1)), as in
    State.play; observe(agent) is that agent's view as in Env (its holes, the
    other's holes, its store, the other's store); infos[agent]["action_mask"]
    has one bool a hole, all False when it is not that agent's turn.

    reward="result" gives the winner 1 and the loser -1 at the end (0 each
    for a draw); reward="stores" gives each agent, at every move, the change
    of its store difference. rewards holds the last move's rewards;
    last() answers the selected agent's reward accumulated since it last
    acted. Once the round ends (terminations) or reaches max_turns moves
    (truncations), each agent still in agents is selected in turn and must
    step(None), which removes it; agents is then empty.
    """

    metadata = {"render_modes": ["ansi"], "name": "pitsow_v0", "is_parallelizable": False}
    possible_agents = ["player_1", "player_2"]

    def __init__(self, holes=6, bones=6, max_turns=300, reward="result", render_mode="ansi"):
        if reward not in ("result", "stores"):
            raise ValueError('reward must be "result" or "stores"')
        State(holes, bones)  # checks the board's size
        self.holes, self.bones, self.max_turns = holes, bones, max_turns
        self.reward_kind, self.render_mode = reward, render_mode
        self.action_spaces = {a: Discrete(holes, start=1) for a in self.possible_agents}
        self.observation_spaces = {a: Box(0, 2 * holes * bones, (2 * holes + 2,))
                                   for a in self.possible_agents}
        self.agents = []
        self.board = None
        self.np_random = random.Random()

    @property
    def unwrapped(self):
        return self

    @property
    def num_agents(self):
        return len(self.agents)

    @property
    def max_num_agents(self):
        return len(self.possible_agents)

    def observation_space(self, agent):
        return self.observation_spaces[agent]

    def action_space(self, agent):
        return self.action_spaces[agent]

    def reset(self, seed=None, options=None):
        """Starts a round (options={"state": s} from the position s)."""
        if seed is not None:
            self.np_random = random.Random(seed)
            for i, a in enumerate(self.possible_agents):
                self.action_spaces[a].seed(seed + i)
        start = (options or {}).get("state")
        self.board = start if start is not None else State(self.holes, self.bones)
        self.turns = 0
        self.agents = self.possible_agents[:]
        self.rewards = {a: 0.0 for a in self.agents}
        self._cumulative_rewards = {a: 0.0 for a in self.agents}
        over = self.board.is_over()
        self.terminations = {a: over for a in self.agents}
        self.truncations = {a: False for a in self.agents}
        self.agent_selection = self.possible_agents[self.board.to_move - 1]
        self._update_infos()

    def state(self):
        """The whole position, a State."""
        return self.board

    def observe(self, agent):
        mine = self.possible_agents.index(agent)
        holes, stores = self.board.holes, self.board.stores
        return holes[mine] + holes[1 - mine] + (stores[mine], stores[1 - mine])

    def last(self, observe=True):
        """(observation, reward, termination, truncation, info) of the
        selected agent."""
        a = self.agent_selection
        return (self.observe(a) if observe else None, self._cumulative_rewards[a],
                self.terminations[a], self.truncations[a], self.infos[a])

    def step(self, action):
        a = self.agent_selection
        if self.terminations[a] or self.truncations[a]:
            return self._dead_step(action)
        if not self.action_spaces[a].contains(action):
            raise ValueError(f"action {action!r} is not a hole 1 to {self.holes}")
        action = int(action)
        if not self.infos[a]["action_mask"][action - 1]:
            raise ValueError(f"action {action} is an empty hole")
        before = self._differences()
        self._cumulative_rewards[a] = 0.0
        self.board = self.board.play(action)
        self.turns += 1
        over = self.board.is_over()
        cut = not over and self.turns >= self.max_turns
        if self.reward_kind == "stores":
            after = self._differences()
            self.rewards = {x: float(after[x] - before[x]) for x in self.agents}
        else:
            self.rewards = {x: self._result(x) if over else 0.0 for x in self.agents}
        self.terminations = {x: over for x in self.agents}
        self.truncations = {x: cut for x in self.agents}
        if not (over or cut):
            self.agent_selection = self.possible_agents[self.board.to_move - 1]
        else:
            self.agent_selection = self.agents[0]
        for x in self.agents:
            self._cumulative_rewards[x] += self.rewards[x]
        self._update_infos()

    def agent_iter(self, max_iter=2**63):
        """The selected agent, while any is left, at most max_iter times."""
        for _ in range(max_iter):
            if not self.agents:
                return
            yield self.agent_selection

    def render(self):
        if self.render_mode is None or self.board is None:
            return None
        return render_text(self.board)

    def close(self):
        pass

    def _dead_step(self, action):
        if action is not None:
            raise ValueError("an agent whose round is over steps with None")
        a = self.agent_selection
        self.agents.remove(a)
        for table in (self.rewards, self._cumulative_rewards, self.terminations,
                      self.truncations, self.infos):
            del table[a]
        if self.agents:
            self.agent_selection = self.agents[0]
        for x in self.agents:
            self.rewards[x] = 0.0

    def _differences(self):
        s1, s2 = self.board.stores
        return {"player_1": s1 - s2, "player_2": s2 - s1}

    def _result(self, agent):
        winner = self.board.winner()
        if not winner:
            return 0.0
        return 1.0 if self.possible_agents[winner - 1] == agent else -1.0

    def _update_infos(self):
        legal = self.board.legal_moves()
        mover = self.possible_agents[self.board.to_move - 1]
        self.infos = {a: {"action_mask": [a == mover and h in legal
                                          for h in range(1, self.holes + 1)],
                          "turns": self.turns} for a in self.agents}
