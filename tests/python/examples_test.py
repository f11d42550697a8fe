"""The Python examples as an author meets them: each plays Tossel and passes
pitsow-check, the package found by the shim without PYTHONPATH; the arena
runs a Python player against a C one two matches at a time.
The Monte Carlo search beats greedy in the sandboxed arena, and its script
plays Minimax through LibraryPlayer.
Arguments: the folder of pitsow, pitsow-check and pitsow-arena; Tossel; the
examples' folder; Minimax built for any python3."""
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

BIN, TOSSEL, EXAMPLES, MINIMAX = sys.argv[1:5]


def run(*args, cwd):
    return subprocess.run(args, cwd=cwd, capture_output=True, text=True)


class ExamplesTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        os.environ.pop("PYTHONPATH", None)

    def tearDown(self):
        self.tmp.cleanup()

    def tally(self, example, rounds):
        r = run(f"{BIN}/pitsow", f"--player1={EXAMPLES}/{example}", f"--player2={TOSSEL}",
                f"/R={rounds}", "/L=10", "/L=20", "/F=log.txt", "--quiet", cwd=self.dir)
        self.assertEqual((r.returncode, r.stderr), (0, ""), example)
        with open(os.path.join(self.dir, "log.txt")) as f:
            log = f.read()
        self.assertNotIn("ERROR", log)
        last = re.findall(r"\(\s*(\d+):\s*(\d+)\)", log)[-1]
        return int(last[0])

    def test_each_plays_tossel_and_passes_the_checker(self):
        for example, rounds, least, check in [
                ("random_player.py", 50, 0, []),
                ("greedy.py", 200, 150, []),
                ("alphabeta.py", 40, 35, ["--rounds", "100", "--positions", "500"])]:
            self.assertGreaterEqual(self.tally(example, rounds), least, example)
            r = run(f"{BIN}/pitsow-check", f"{EXAMPLES}/{example}", *check, cwd=self.dir)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_arena_with_a_python_player(self):
        r = run(f"{BIN}/pitsow-arena", "--pairs", "4", "--concurrency", "2", "--quiet", "--out",
                "t", f"{EXAMPLES}/greedy.py", TOSSEL, cwd=self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(os.path.join(self.dir, "t", "results.jsonl")) as f:
            rounds = [json.loads(line) for line in f if '"type":"round"' in line]
        self.assertEqual(len(rounds), 8)
        self.assertTrue(all("fault" not in r or not r["fault"] for r in rounds), rounds)
        self.assertRegex(r.stdout, r"greedy +8 +\d+ +\d+ +\d+ .* 0\n")

    def test_mcts_beats_greedy_in_the_sandboxed_arena(self):
        # Bare names in the working folder, sandboxed, with another python3
        # first on PATH (one that cannot even start).
        for name in ("mcts.py", "greedy.py"):
            with open(os.path.join(EXAMPLES, name)) as f, \
                    open(os.path.join(self.dir, name), "w") as out:
                out.write(f.read())
        other = os.path.join(self.dir, "other")
        lib = os.path.join(other, "lib", "python%d.%d" % sys.version_info[:2])
        os.makedirs(os.path.join(lib, "encodings"))
        os.makedirs(os.path.join(other, "bin"))
        for name, text in [("bin/python3", "#!/bin/sh\nexit 1\n"),
                           (f"{lib}/os.py", "raise ImportError\n"),
                           (f"{lib}/encodings/__init__.py", "raise ImportError\n")]:
            with open(os.path.join(other, name), "w") as f:
                f.write(text)
        os.chmod(os.path.join(other, "bin", "python3"), 0o755)
        env = dict(os.environ, PATH=os.path.join(other, "bin") + ":" + os.environ["PATH"])
        r = subprocess.run([f"{BIN}/pitsow-arena", "--pairs", "3", "--concurrency", "2", "--quiet",
                            "--sandbox", "on", "--out", "t", "mcts.py", "greedy.py"],
                           cwd=self.dir, capture_output=True, text=True, env=env)
        self.assertEqual(r.returncode, 0, r.stderr)
        wins = dict(re.findall(r"^(mcts|greedy) +6 +(\d+)", r.stdout, re.M))
        self.assertGreater(int(wins["mcts"]), int(wins["greedy"]), r.stdout)
        script = subprocess.run(
            [sys.executable, os.path.join(EXAMPLES, "mcts_vs_minimax.py"),
             MINIMAX, "2", "1", "200"],
            cwd=self.dir, capture_output=True, text=True, env=dict(
                os.environ, PYTHONPATH=os.path.join(BIN, "..", "lib", "python3", "dist-packages")))
        self.assertEqual(script.returncode, 0, script.stderr)
        self.assertRegex(script.stdout, r"MCTS won \d, lost \d, drew \d against Minimax.so /P=1\n$")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
