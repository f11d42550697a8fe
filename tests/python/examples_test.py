"""The Python examples as an author meets them: each plays Tossel and passes
pitsow-check, the package found by the shim without PYTHONPATH; the arena
runs a Python player against a C one two matches at a time.
Arguments: the folder of pitsow, pitsow-check and pitsow-arena; Tossel; the
examples' folder."""
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

BIN, TOSSEL, EXAMPLES = sys.argv[1:4]


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


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
