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

    def run_pitsow(self, *args, env=None):
        r = subprocess.run([PITSOW, *args, "/L=10", "/L=20", "/F=log.txt", "--quiet"],
                           cwd=self.dir, capture_output=True, env=env)
        return r.returncode, r.stdout.decode(), r.stderr.decode()

    def log(self):
        with open(os.path.join(self.dir, "log.txt"), newline="") as f:
            return f.read()

    def traceback(self, n, shown=PLAYER):
        return (f"init {n}\npitsow: Python player {shown} failed in get_turn:\n"
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
        # The host is handed the module by its absolute path.
        self.assertEqual((status, err), (4, self.traceback(2, self.path) + crash + "\n"))
        self.assertIn(crash + "\r\n", self.log())

    def test_wrong_answer_types_are_faults(self):
        for param, call, entry, message in [
                (2, "get_turn", "PsGetTurn, round 0, turn 0", "get_turn returned str, not an int")]:
            status, _, err = self.run_pitsow(f"--player1={PLAYER}", f"/P=1={param}")
            self.assertEqual((status, err), (
                -6, f"init 1\npitsow: Python player {PLAYER} failed in {call}:\nTypeError: "
                f"{message}\npitsow: player 1 ({PLAYER}) crashed in {entry}: Aborted\n"))

    def test_init_answers_by_their_truth(self):
        status, out, _ = self.run_pitsow(f"--player1={PLAYER}", "/P=1=3", "/R=1")
        self.assertEqual(status, 0)
        self.assertIn("Player 1 Init         TRUE", out)
        status, out, _ = self.run_pitsow(f"--player1={PLAYER}", "/P=1=4", "/R=1")
        self.assertEqual((status, out), (1, "PsInfo size 352\r\nInit Player 1 ERROR!\r\n"
                                            "First Player Can't Play\r\n"))

    def test_the_interpreter_built_against_whatever_python3_comes_first(self):
        # Another python3 first on PATH, with a standard library of its own
        # that cannot start: the player still plays on the shim's Python,
        # bare-named, in every mode.
        other = os.path.join(self.dir, "other")
        lib = os.path.join(other, "lib", "python%d.%d" % sys.version_info[:2])
        os.makedirs(os.path.join(other, "bin"))
        os.makedirs(os.path.join(lib, "encodings"))
        for name in ("os.py", "encodings/__init__.py"):
            with open(os.path.join(lib, name), "w") as f:
                f.write("raise ImportError('the other Python')\n")
        exe = os.path.join(other, "bin", "python3")
        with open(exe, "w") as f:
            f.write("#!/bin/sh\nexit 1\n")
        os.chmod(exe, 0o755)
        env = dict(os.environ, PATH=os.path.join(other, "bin") + ":" + os.environ["PATH"])
        for mode in ([], ["--isolate"], ["--sandbox"]):
            status, _, err = self.run_pitsow(f"--player1={PLAYER}", f"--player2={TOSSEL}", "/R=1",
                                             *mode, env=env)
            # Sandboxed, the player's print() goes to its own output.txt.
            self.assertEqual((status, err), (0, "" if mode == ["--sandbox"] else "init 1\n"), mode)

    def test_an_import_error_says_so(self):
        with open(os.path.join(self.dir, "needs.py"), "w") as f:
            f.write("import no_such_helper\n")
        for mode in ([], ["--isolate"], ["--sandbox"]):
            status, out, err = self.run_pitsow("--player1=needs.py", *mode)
            self.assertEqual(status, 2)
            self.assertIn("ModuleNotFoundError: No module named 'no_such_helper'", err)
            self.assertNotIn("ELF", err)

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
