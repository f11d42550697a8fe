"""Real records of every kind checked with a standard JSON Schema validator
(python3-jsonschema) against the schemas in doc/: the referee's match record
in-process, isolated, with openings and with each kind of fault, and the
arena's results.jsonl with the match records of its referee runs. The
schemas themselves are checked against their meta-schema first.

usage: validate_records.py PITSOW PITSOW_ARENA TOSSEL_SO FAULTY_SO INIT_CRASH_SO DOC_DIR
"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

import jsonschema

PITSOW, ARENA, TOSSEL, FAULTY, INIT_CRASH, DOC = sys.argv[1:7]


def validator(name):
    with open(os.path.join(DOC, name), encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    assert schema["$id"].startswith("urn:pitsow:"), schema["$id"]
    return jsonschema.Draft202012Validator(schema)


def lines(path):
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f]


def check(validator_, path, first):
    record = lines(path)
    assert record and record[0]["type"] == first, f"{path}: starts with {record[:1]}"
    for number, line in enumerate(record, 1):
        errors = sorted(validator_.iter_errors(line), key=str)
        assert not errors, f"{path}, line {number}: {errors[0].message}"
    return record


def referee(folder, fault, *options):
    """One match of the faulty player (as player 1) against Tossel."""
    os.makedirs(folder)
    if fault:
        with open(os.path.join(folder, "fault1.txt"), "w") as f:
            f.write(fault + "\n")
    with open(os.path.join(folder, "openings.txt"), "w") as f:
        f.write("1 3\n$2, %101\n")
    args = [PITSOW, "--player1=" + FAULTY, "--player2=" + TOSSEL, "/R=3", "/L=00",
            "--quiet", "--results=r.jsonl", *options]
    subprocess.run(args, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=120, check=False)
    return os.path.join(folder, "r.jsonl")


def interrupted(match, folder):
    """A referee stopped by SIGINT mid-match ends its record with its end
    line (the rounds played, "interrupted"), exits 130 and prints its result
    line; every time in the record is a whole number of nanoseconds."""
    os.makedirs(folder)
    proc = subprocess.Popen([PITSOW, "--player1=" + TOSSEL, "--player2=" + TOSSEL,
                             "/R=100000", "/L=00", "--quiet", "--results=r.jsonl"],
                            cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            text=True)
    path = os.path.join(folder, "r.jsonl")
    # Wait until some rounds are on disk, then interrupt.
    for _ in range(600):
        if os.path.exists(path) and sum(1 for _ in open(path)) > 5:
            break
        time.sleep(0.05)
    proc.send_signal(signal.SIGINT)
    out, _ = proc.communicate(timeout=60)
    assert proc.returncode == 130, proc.returncode
    record = check(match, path, "match")
    end = record[-1]
    assert end["type"] == "end" and end.get("interrupted") is True and end["status"] == 130, end
    rounds = [line for line in record if line["type"] == "round"]
    assert end["rounds"] == len(rounds) and 0 < len(rounds) < 100000, (end, len(rounds))
    assert out.strip().splitlines()[-1].startswith("Player 1 won"), out
    for line in rounds:
        for t in line["time"]:
            assert abs(t * 1e9 - round(t * 1e9)) < 1e-3 and len(repr(t)) <= 14, line["time"]
    print(f"sigint: {len(record)} lines valid, ended after {len(rounds)} rounds")


def main():
    match = validator("match-record.schema.json")
    results = validator("results.schema.json")
    with tempfile.TemporaryDirectory() as tmp:
        kinds = {
            "in-process": ("", []),
            "isolated": ("", ["--isolate"]),
            "openings": ("", ["--isolate", "--openings=openings.txt"]),
            "crash-get-turn": ("segv PsGetTurn 1 3", ["--isolate"]),
            "crash-init": ("segv PsInit -1 0", ["--isolate"]),
            "crash-done": ("segv PsDone -1 0", ["--isolate"]),
            "hang": ("hang PsGetTurn 0 2", ["--isolate", "--move-time=0.2"]),
            "rejected": ("answer9 PsGetTurn 0 2", ["--isolate", "--forfeit"]),
        }
        for name, (fault, options) in kinds.items():
            record = check(match, referee(os.path.join(tmp, name), fault, *options), "match")
            assert record[-1]["type"] == "end", name
            assert name != "hang" or record[-3]["kind"] == "timeout", record
            assert name != "rejected" or any("rejected" in line for line in record), record
            print(f"{name}: {len(record)} lines valid")
        # A host that cannot load its library: match, fault (load) and end lines.
        folder = os.path.join(tmp, "load")
        os.makedirs(folder)
        with open(os.path.join(folder, "text.so"), "w") as f:
            f.write("not a library\n")
        subprocess.run([PITSOW, "--player1=./text.so", "--player2=" + TOSSEL, "--isolate",
                        "--results=r.jsonl"], cwd=folder, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=False)
        record = check(match, os.path.join(folder, "r.jsonl"), "match")
        assert [line["type"] for line in record] == ["match", "fault", "end"], record
        assert record[1]["call"] == "load" and record[2]["charged"] == 1, record
        print(f"load: {len(record)} lines valid")
        interrupted(match, os.path.join(tmp, "sigint"))
        out = os.path.join(tmp, "arena")
        subprocess.run([ARENA, "--out", out, "--pairs", "3", "--quiet", "--max-faults", "2",
                        "T=" + TOSSEL, "I=" + INIT_CRASH, "F=" + FAULTY],
                       stdout=subprocess.DEVNULL, timeout=300, check=True)
        record = check(results, os.path.join(out, "results.jsonl"), "tournament")
        assert any(line["type"] == "fault" for line in record)
        runs = 0
        for folder, _, files in os.walk(os.path.join(out, "matches")):
            if "match.jsonl" in files:
                check(match, os.path.join(folder, "match.jsonl"), "match")
                runs += 1
        print(f"arena: {len(record)} lines and {runs} referee records valid")


if __name__ == "__main__":
    main()
