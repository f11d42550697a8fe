"""The environments as agents written for Gymnasium and PettingZoo meet
them: each run through a check written from that API's own documented
checker rules (the spaces, reset's and step's return shapes, seeding
determinism; the agent cycle's selection, dead steps and rewards), an
agent written against the single-agent API playing rounds unchanged, and
player libraries and .py players on the other side.
Arguments: Minimax.so, the Python examples' folder."""
import inspect
import os
import sys
import unittest

import pitsow

MINIMAX, EXAMPLES = sys.argv[1:3]


def check_space(t, space):
    """A space samples its own elements, seeded alike, and masks."""
    t.assertTrue(hasattr(space, "shape") and hasattr(space, "dtype"))
    space.seed(5)
    first = [space.sample() for _ in range(20)]
    space.seed(5)
    t.assertEqual(first, [space.sample() for _ in range(20)])
    t.assertTrue(all(space.contains(x) for x in first))


def check_env(t, env):
    """Gymnasium's environment checker, by its documented rules."""
    t.assertIsInstance(env.action_space, pitsow.Discrete)
    t.assertIsInstance(env.observation_space, pitsow.Box)
    check_space(t, env.action_space)
    check_space(t, env.observation_space)
    t.assertIn(env.render_mode, [None, *env.metadata["render_modes"]])
    params = inspect.signature(env.reset).parameters
    t.assertIn("seed", params)
    t.assertIn("options", params)
    obs, info = env.reset(seed=123)
    t.assertIn(obs, env.observation_space)
    t.assertIsInstance(info, dict)
    # Seeding: the same seed, the same episode under the same actions.
    episodes = []
    for _ in range(2):
        obs, info = env.reset(seed=123)
        env.action_space.seed(9)
        steps = [obs]
        for _ in range(400):
            action = env.action_space.sample(mask=info["action_mask"])
            result = env.step(action)
            t.assertEqual(len(result), 5)
            obs, reward, terminated, truncated, info = result
            t.assertIn(obs, env.observation_space)
            t.assertIsInstance(reward, float)
            t.assertIsInstance(terminated, bool)
            t.assertIsInstance(truncated, bool)
            t.assertIsInstance(info, dict)
            steps.append(result)
            if terminated or truncated:
                break
        t.assertTrue(terminated or truncated)
        episodes.append(steps)
    t.assertEqual(episodes[0], episodes[1])
    t.assertIsInstance(env.render(), str)
    env.close()


def check_aec(t, env):
    """PettingZoo's API test, by its documented rules."""
    env.reset(seed=4)
    t.assertTrue(set(env.agents) <= set(env.possible_agents))
    t.assertIn(env.agent_selection, env.agents)
    for agent in env.agents:
        check_space(t, env.action_space(agent))
        t.assertIs(env.action_space(agent), env.action_space(agent))
        t.assertIn(env.observe(agent), env.observation_space(agent))
    runs = []
    for _ in range(2):
        env.reset(seed=4)
        steps, extra = [], 0
        for agent in env.agent_iter(2000):
            obs, reward, termination, truncation, info = env.last()
            t.assertIn(obs, env.observation_space(agent))
            t.assertIsInstance(reward, float)
            t.assertEqual(set(env.rewards), set(env.agents))
            if termination or truncation:
                t.assertRaises(ValueError, env.step, 1)
                env.step(None)
                steps.append((agent, reward))
                continue
            t.assertEqual(info["action_mask"], [h in env.state().legal_moves()
                                                for h in range(1, env.holes + 1)])
            action = env.action_space(agent).sample(mask=info["action_mask"])
            env.step(action)
            if env.agents and env.agent_selection == agent and not env.terminations[agent]:
                extra += 1  # an extra move: the same agent acts again
                t.assertEqual(env.state().to_move, env.possible_agents.index(agent) + 1)
            steps.append((agent, action))
        t.assertEqual(env.agents, [])
        t.assertGreater(extra, 0)
        runs.append(steps)
    t.assertEqual(runs[0], runs[1])


def greedy_agent(env, obs, info):
    """An agent written for a Gymnasium environment with an action mask:
    the legal hole that gains the most for its store at once."""
    holes = env.action_space.n
    legal = [a + env.action_space.start for a in range(holes) if info["action_mask"][a]]
    return max(legal, key=lambda h: (obs[h - 1] == holes + 1 - h, -h))


class EnvTest(unittest.TestCase):
    def test_single_agent_check(self):
        for kwargs in [{}, {"holes": 3, "bones": 2, "seat": 2, "reward": "stores"},
                       {"max_turns": 5}]:
            check_env(self, pitsow.Env(**kwargs))

    def test_two_agent_check(self):
        check_aec(self, pitsow.AECEnv())
        check_aec(self, pitsow.AECEnv(holes=4, bones=3, reward="stores"))

    def test_observation_and_mask_from_the_agents_side(self):
        for seat in (1, 2):
            env = pitsow.Env(holes=4, bones=3, seat=seat)
            obs, info = env.reset(seed=seat)
            done = False
            while True:
                s, me = env.state, seat - 1
                self.assertEqual(obs, s.holes[me] + s.holes[1 - me] + (s.stores[me],
                                                                         s.stores[1 - me]))
                legal = s.legal_moves() if s.to_move == seat else []
                self.assertEqual(info["action_mask"], [h in legal for h in range(1, 5)])
                if done:
                    break
                obs, _, terminated, truncated, info = env.step(legal[-1])
                done = terminated or truncated

    def test_rewards_and_truncation(self):
        env = pitsow.Env(reward="stores")
        obs, info = env.reset(seed=1)
        total, done = 0.0, False
        while not done:
            obs, reward, terminated, truncated, info = env.step(info["action_mask"].index(True) + 1)
            total += reward
            done = terminated or truncated
        self.assertEqual(total, obs[-2] - obs[-1])  # the store difference, summed
        env = pitsow.Env(max_turns=3)
        env.reset(seed=1)
        _, _, terminated, truncated, _ = env.step(1)
        _, _, terminated, truncated, _ = env.step(env.legal_actions()[0])
        self.assertEqual((terminated, truncated), (False, True))
        for bad in (0, 7, True, 1.5):
            env.reset(seed=1)
            self.assertRaises(ValueError, env.step, bad)

    def test_an_agent_beats_players_from_files(self):
        # Minimax.so through the referee's binding, a .py player through the
        # shim's rules, and a policy: a whole round each, the player told
        # every move (Minimax's answer depends on the position alone).
        for opponent in [pitsow.LibraryPlayer(MINIMAX, param=1),
                         pitsow.LibraryPlayer(os.path.join(EXAMPLES, "greedy.py")),
                         lambda state: state.legal_moves()[-1]]:
            env = pitsow.Env(holes=6, bones=4, seat=2, opponent=opponent)
            obs, info = env.reset()
            done = False
            while not done:
                obs, reward, terminated, truncated, info = env.step(greedy_agent(env, obs, info))
                done = terminated or truncated
            self.assertTrue(terminated)
            env.close()
        lib = pitsow.LibraryPlayer(MINIMAX)
        self.assertRaisesRegex(ValueError, "already playing", pitsow.LibraryPlayer, MINIMAX)
        self.assertTrue(lib.init(1, 6, 4))
        first = lib.get_turn(pitsow.State(6, 4))
        self.assertIn(first, range(1, 7))
        self.assertEqual(lib.get_turn(pitsow.State(6, 4)), first)  # the position alone decides
        lib.done()
        self.assertRaisesRegex(ValueError, "cannot load", pitsow.LibraryPlayer, "nowhere.so")

    def test_clone(self):
        env = pitsow.Env()
        env.reset(seed=2)
        other = env.clone()
        self.assertEqual(env.step(1), other.step(1))
        self.assertRaises(TypeError, pitsow.Env(opponent=pitsow.LibraryPlayer(MINIMAX)).clone)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
