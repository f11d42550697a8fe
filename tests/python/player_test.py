"""Python players through the shim, in the referee's process and isolated:
the record answered, faults named with their traceback, the refusals.
Arguments: the pitsow executable, Tossel, a deterministic opponent (the
last-hole player), the folder of the test players."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

PITSOW, TOSSEL, LAST_HOLE, PLAYERS = sys.argv[1:5]
PLAYER = "python_player.py"


def player_lines(n, name, creator, description):
    return "".join(f"Player {n} {k}\r\n" for k in [
        "Init         TRUE", "version      1", f"name        <{name}>",
        f"creator     <{creator}>", f"description <{description}>"])


TOSSEL_LINES = lambda n: player_lines(n, "Mopsy", "The Pitsow project", "Random Turn Player")
OURS = lambda n, param: player_lines(
    n, f"P{n} 6x6 L0 A{param} and a name too lon"[:31], "tests", "\u00e9" * 127)


class PythonPlayerTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        for name in (PLAYER, "python_partial.py"):
            shutil.copy(os.path.join(PLAYERS, name), self.dir)
        self.path = os.path.realpath(os.path.join(self.dir, PLAYER))
        with open(self.path) as f:
            self.raise_line = next(i for i, line in enumerate(f, 1) if "raise RuntimeError" in line)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_pitsow(self, *args):
        r = subprocess.run([PITSOW, *args, "/L=10", "/L=20", "/F=log.txt", "--quiet"],
                           cwd=self.dir, capture_output=True)
        return r.returncode, r.stdout.decode(), r.stderr.decode()

    def log(self):
        with open(os.path.join(self.dir, "log.txt"), newline="") as f:
            return f.read()

    def traceback(self, n):
        return (f"init {n}\npitsow: Python player {PLAYER} failed in get_turn:\n"
                "Traceback (most recent call last):\n"
                f'  File "{self.path}", line {self.raise_line}, in get_turn\n'
                '    raise RuntimeError("no move today")\nRuntimeError: no move today\n')

    def test_plays_and_answers_its_record(self):
        for isolate in ([], ["--isolate"]):
            status, out, err = self.run_pitsow(
                f"--player1={PLAYER}", f"--player2={TOSSEL}", "/P=1=5", "/R=5", *isolate)
            self.assertEqual((status, err), (0, "init 1\n"))
            # --quiet's last line, the result, says what the log says.
            head, result = out[:out.rindex("Player 1 won")], out[out.rindex("Player 1 won"):]
            self.assertEqual(head, "PsInfo size 352\r\n" + OURS(1, 5) + TOSSEL_LINES(2))
            self.assertRegex(result, r"^Player 1 won \d, player 2 won \d, \d drawn; .*\r\n$")
            self.assertEqual(self.log().count("ROUND"), 5)

    def test_exception_in_process_is_a_crash_with_its_traceback(self):
        status, _, err = self.run_pitsow(f"--player1={PLAYER}", f"--player2={LAST_HOLE}", "/P=1=1")
        crash = f"pitsow: player 1 ({PLAYER}) crashed in PsGetTurn, round 0, turn 3: Aborted"
        self.assertEqual((status, err), (-6, self.traceback(1) + crash + "\n"))
        self.assertTrue(self.log().endswith(crash + "\r\n"))

    def test_exception_isolated_loses_the_round(self):
        status, _, err = self.run_pitsow(
            f"--player1={LAST_HOLE}", f"--player2={PLAYER}", "/P=2=1", "/R=3", "--isolate")
        crash = f"pitsow: player 2 ({PLAYER}) crashed in PsGetTurn, round 0, turn 6: Aborted"
        self.assertEqual((status, err), (4, self.traceback(2) + crash + "\n"))
        self.assertIn(crash + "\r\n", self.log())

    def test_wrong_answer_types_are_faults(self):
        for param, call, entry, message in [
                (2, "get_turn", "PsGetTurn, round 0, turn 0", "get_turn returned str, not an int"),
                (3, "init", "PsInit", "init returned int, not a bool")]:
            status, _, err = self.run_pitsow(f"--player1={PLAYER}", f"/P=1={param}")
            self.assertEqual((status, err), (
                -6, f"init 1\npitsow: Python player {PLAYER} failed in {call}:\nTypeError: "
                f"{message}\npitsow: player 1 ({PLAYER}) crashed in {entry}: Aborted\n"))

    def test_refusals(self):
        for args, expected in [
                ([f"--player1={PLAYER}", f"--player2={PLAYER}"],
                 (64, "pitsow: two Python players need --isolate\n")),
                (["--player1=python_partial.py"],
                 (2, "pitsow: python_partial.py: function get_turn missing\n"))]:
            status, out, err = self.run_pitsow(*args)
            self.assertEqual((status, out, err), expected[:1] + ("",) + expected[1:])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
