#!/usr/bin/env python3
"""Opens a match report in headless Chromium and checks the round viewer.

Builds a match record played by the rules (make_match), renders its report
(pitsow-report), opens the page in headless Chromium driven through the
DevTools protocol over a pipe, steps through rounds with the arrow keys and
compares the board in the DOM after every step with the position the rules
gave. Screenshots of the standings and of the viewer go to OUTDIR.

A second page, of a made-up 20,000-round tournament of three players,
checks the sampled viewer: rounds are chosen by pairing, pair and seat and
their last step shows the stores the rules gave; the load time is printed.
A third, of two players, shows the course charts.

Real tournaments of the arena (a sequential test, and a round robin with a
crashing player whose rounds are all kept) are then read at 1280 and 390
px: the verdict sentence is on top, no table makes the page wider than the
screen (tables scroll inside themselves), the test's decision is marked on
its chart, and a sample of the kept player's losses opens in the viewer.

usage: browser_test.py CHROMIUM MAKE_MATCH PITSOW_REPORT MAKE_TOURNAMENT OUTDIR
                       [PITSOW_ARENA STARTER_PLUS_SO STARTER_SO TOSSEL_SO CRASH40_SO]
"""
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zlib


class Browser:
    """Chromium with --remote-debugging-pipe: requests on fd 3, answers on fd 4."""

    def __init__(self, exe):
        self.profile = tempfile.mkdtemp(prefix="pitsow-chromium-")
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()

        def wire():
            a, b = os.dup(to_browser_r), os.dup(from_browser_w)
            os.dup2(a, 3)
            os.dup2(b, 4)

        args = [exe, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                "--no-first-run", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--hide-scrollbars",
                "--user-data-dir=" + self.profile, "--remote-debugging-pipe", "about:blank"]
        self.proc = subprocess.Popen(args, pass_fds=(3, 4), preexec_fn=wire,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buf = b""
        self.next_id = 0
        self.session = None

    def send(self, method, params=None, session=True):
        self.next_id += 1
        msg = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            msg["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(msg).encode() + b"\0")
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            while b"\0" not in self.buf:
                chunk = os.read(self.from_browser, 1 << 20)
                if not chunk:
                    raise RuntimeError("chromium closed the pipe")
                self.buf += chunk
            raw, self.buf = self.buf.split(b"\0", 1)
            reply = json.loads(raw)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})
        raise RuntimeError(f"{method}: no answer")

    def open(self, url, width=1100, height=1000):
        target = self.send("Target.createTarget", {"url": "about:blank"}, session=False)
        self.session = self.send("Target.attachToTarget",
                                 {"targetId": target["targetId"], "flatten": True},
                                 session=False)["sessionId"]
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.send("Page.enable")
        self.send("Page.navigate", {"url": url})
        for _ in range(200):
            if self.eval("document.readyState") == "complete":
                return
            time.sleep(0.05)
        raise RuntimeError("the page did not load")

    def eval(self, expr):
        r = self.send("Runtime.evaluate", {"expression": expr, "returnByValue": True})
        if "exceptionDetails" in r:
            raise RuntimeError(f"{expr}: {r['exceptionDetails']}")
        return r["result"].get("value")

    def key(self, name):
        codes = {"ArrowRight": 39, "ArrowLeft": 37, "Home": 36, "End": 35, "n": 78, "p": 80}
        for kind in ("keyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent",
                      {"type": kind, "key": name, "code": name,
                       "windowsVirtualKeyCode": codes[name], "nativeVirtualKeyCode": codes[name]})

    def screenshot(self, selector, path):
        box = self.eval(f"(() => {{ const e = document.querySelector('{selector}');"
                        "e.scrollIntoView(); const r = e.getBoundingClientRect();"
                        "return [r.x + scrollX, r.y + scrollY, r.width, r.height]; })()")
        shot = self.send("Page.captureScreenshot",
                         {"format": "png", "captureBeyondViewport": True,
                          "clip": {"x": box[0], "y": box[1], "width": box[2],
                                   "height": box[3], "scale": 1}})
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def close(self):
        try:
            self.send("Browser.close", session=False)
        except RuntimeError:
            pass
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


def ink(png):
    """The share of a PNG's decoded bytes that are neither 0 nor 255: about 0
    for a blank (one-colour) picture, well above for one with text on it."""
    data, at = b"", 8
    while at < len(png):
        size = int.from_bytes(png[at:at + 4], "big")
        if png[at + 4:at + 8] == b"IDAT":
            data += png[at + 8:at + 8 + size]
        at += 12 + size
    raw = zlib.decompress(data)
    return sum(1 for b in raw if b not in (0, 255)) / max(1, len(raw))


def top_of_page(browser, check, path):
    """After load the page stays at its top, and the top is not blank."""
    time.sleep(0.3)  # anything the page might do after load
    check(browser.eval("scrollY") == 0, f"the page opens at the top, not at {browser.eval('scrollY')}")
    shot = base64.b64decode(browser.send("Page.captureScreenshot", {"format": "png"})["data"])
    with open(path, "wb") as f:
        f.write(shot)
    check(ink(shot) > 0.01, f"the top of the page shows something ({ink(shot):.4f} ink)")
    heading = browser.eval("document.querySelector('h1').getBoundingClientRect().top")
    check(0 <= heading < 200, f"the title is at the top: {heading}")


def rounds_table(browser, expected, board_js, check, outdir):
    """From a player's row in the standings one click lists its losses; a
    listed round opens in the viewer, its step list gives the stores of
    every step as the rules do, and N opens the next loss."""
    data = browser.eval("JSON.parse(document.getElementById('report-data').textContent)"
                        ".rounds.map((r) => [r.r, r.p1, r.p2, r.w])")
    losses = {}
    for rnd, p1, p2, w in data:
        if w:
            losses.setdefault(p2 if w == 1 else p1, []).append(rnd)
    player = max(losses, key=lambda p: len(losses[p]))
    browser.eval(f"[...document.querySelectorAll('button.show-losses')]"
                 f".find((b) => b.dataset.player === {json.dumps(player)}).click()")
    listed = browser.eval("[...document.querySelectorAll('#round-table tbody tr')]"
                          ".map((tr) => Number(tr.querySelector('th').textContent))")
    check(listed == losses[player], f"{player}'s losses listed: {listed}, recorded {losses[player]}")
    check(browser.eval("document.getElementById('f-result').value") == "loss", "filter: lost")
    browser.screenshot("#rounds", os.path.join(outdir, "rounds-losses.png"))
    if len(listed) < 2:
        return
    positions = {r["round"]: r["positions"] for r in expected["rounds"]}
    browser.eval("document.querySelectorAll('#round-table tbody button')[0].click()")
    for rnd in listed[:2]:
        title = browser.eval("document.getElementById('round-title').textContent")
        check(title.startswith(f"Round {rnd}:"), f"loss {rnd} opens in the viewer: {title}")
        want = [f"{p[-2]}:{p[-1]}" for p in positions[rnd]]
        got = browser.eval("[...document.querySelectorAll('#step-list li')].map((li) => li.dataset.stores)")
        check(got == want, f"round {rnd}: stores per step {got} != {want}")
        browser.eval("document.getElementById('board-wrap').focus()")
        browser.key("End")
        check(browser.eval(board_js) == positions[rnd][-1], f"round {rnd}: the end of the loss")
        browser.key("n")  # the next loss
    browser.key("p")
    browser.key("End")
    sweep = browser.eval("document.getElementById('step-text').textContent")
    check("Stores" in sweep, f"the last step says the stores: {sweep}")
    browser.screenshot("#viewer", os.path.join(outdir, "viewer-lost.png"))


# The board as the page shows it: player 1's holes, player 2's, the stores.
BOARD = """(() => {
  const v = (q) => Number(document.querySelector(q).querySelector('.n').textContent);
  const row = (p) => [...Array(D_HOLES).keys()].map(
      (i) => v(`td[data-player="${p}"][data-hole="${i + 1}"]`));
  return [...row(1), ...row(2), v('#store1'), v('#store2')];
})()"""


def tournament(browser, make_tournament, outdir, check):
    big = os.path.join(outdir, "tournament.html")
    made = subprocess.run([make_tournament, "3", "20000", big], check=True,
                          capture_output=True, text=True)
    print("generator:", made.stdout.strip())
    start = time.monotonic()
    browser.open("file://" + os.path.abspath(big), 1400, 1200)
    browser.eval("document.getElementById('round-title').textContent")
    print(f"20000-round page: {os.path.getsize(big)} bytes, loaded and drawn in "
          f"{(time.monotonic() - start) * 1000:.0f} ms")
    top_of_page(browser, check, os.path.join(outdir, "tournament-top.png"))
    check(browser.eval("!!document.getElementById('sample-note')"), "the sampling is noted")
    browser.screenshot("#standings", os.path.join(outdir, "tournament-standings.png"))
    rounds = browser.eval("JSON.parse(document.getElementById('report-data').textContent)"
                          ".rounds.map((r) => [r.g, r.p, r.s, r.st, !!r.f])")
    check(len(rounds) == 3000, f"{len(rounds)} rounds kept of 20000")
    faulty = [r for r in rounds if r[4]]
    listed = browser.eval("document.querySelectorAll('#faults li a').length")
    check(len(faulty) == listed and listed > 0, f"faulty rounds kept: {len(faulty)} of {listed}")
    picks = faulty[:2] + rounds[::701]
    for g, p, seat, stores, _ in picks:
        took = browser.eval(f"""(() => {{
            document.getElementById('pick-pairing').value = '{g}';
            document.getElementById('pick-pair').value = '{p}';
            document.getElementById('pick-seat').value = '{seat}';
            const t = performance.now();
            document.querySelector('#chooser button[type=submit]').click();
            return performance.now() - t; }})()""")
        title = browser.eval("document.getElementById('round-title').textContent")
        check(title.startswith(f"Pairing {g}, pair {p}, seat {seat}:"), f"chosen {g}/{p}/{seat}: {title}")
        browser.eval("document.getElementById('board-wrap').focus()")
        browser.key("End")
        shown = browser.eval("[Number(document.querySelector('#store1 .n').textContent),"
                             " Number(document.querySelector('#store2 .n').textContent)]")
        check(shown == stores, f"round {g}/{p}/{seat} ends {shown}, recorded {stores}")
    print(f"choosing and drawing a round took {took:.1f} ms")
    # A round left out by the sampling is said to be so.
    browser.eval("""(() => { document.getElementById('pick-pair').value = '99999';
        document.querySelector('#chooser button[type=submit]').click(); })()""")
    check("sample" in browser.eval("document.getElementById('pick-message').textContent"),
          "a round left out says so")

    two = os.path.join(outdir, "course.html")
    subprocess.run([make_tournament, "2", "2000", two], check=True, stdout=subprocess.DEVNULL)
    browser.open("file://" + os.path.abspath(two))
    check(browser.eval("document.querySelectorAll('#course svg').length") == 3,
          "score, Elo and LLR charts")
    browser.screenshot("#course", os.path.join(outdir, "course.png"))


def fits(browser, width, check, what):
    """Nothing makes the page wider than the screen: a wide table scrolls
    inside its own box."""
    wide = browser.eval("document.documentElement.scrollWidth")
    check(wide <= width, f"{what} at {width} px: the page is {wide} px wide")
    outside = browser.eval(f"""[...document.querySelectorAll('table, pre, dl, svg, p, h1')]
        .filter((e) => e.getBoundingClientRect().width > 0)
        .filter((e) => {{ let b = e.parentElement;
            while (b && getComputedStyle(b).overflowX === 'visible') b = b.parentElement;
            const edge = b ? b.getBoundingClientRect().right : innerWidth;
            return Math.min(edge, innerWidth) < e.getBoundingClientRect().left || (!b &&
                e.getBoundingClientRect().right > {width} + 1); }})
        .map((e) => e.tagName + '#' + e.id + '.' + e.className)""")
    check(not outside, f"{what} at {width} px: beyond the screen: {outside}")


def page_shot(browser, path, height):
    shot = browser.send("Page.captureScreenshot",
                        {"format": "png", "captureBeyondViewport": True,
                         "clip": {"x": 0, "y": 0, "height": height, "scale": 1,
                                  "width": browser.eval("innerWidth")}})
    with open(path, "wb") as f:
        f.write(base64.b64decode(shot["data"]))


def arena_pages(browser, arena, plus, starter, tossel, crasher, outdir, check):
    sprt = os.path.join(outdir, "sprt")
    rr = os.path.join(outdir, "round-robin")
    for d in (sprt, rr):
        shutil.rmtree(d, ignore_errors=True)
    subprocess.run([arena, "--out", sprt, "--batch", "10", "--quiet", "--sprt", "elo0=0,elo1=10",
                    "Plus=" + plus, "Starter=" + starter], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([arena, "--out", rr, "--pairs", "10", "--quiet", "--concurrency", "2",
                    "--time-control", "5+0.1", "--move-time", "0.5", "--max-faults", "6",
                    "--keep-rounds", "crasher", "Tossel=" + tossel, "starter=" + starter,
                    "crasher=" + crasher], check=True, stdout=subprocess.DEVNULL)
    verdict = "document.querySelector('#verdict .verdict').textContent"
    for width in (1280, 390):
        browser.open("file://" + os.path.abspath(os.path.join(sprt, "report.html")), width, 900)
        said = browser.eval(verdict)
        check(re.fullmatch(r"Plus is stronger than Starter: H1 \(at least \+10 Elo\) accepted at "
                           r"pair \d+, α = β = 0\.05; estimate \+\d+ ± \d+ over \d+ pairs\.", said),
              f"the SPRT verdict: {said}")
        check(browser.eval("document.querySelectorAll('#course-llr-title ~ .decision').length") == 1,
              "the LLR chart marks the decision")
        settings = browser.eval("document.querySelector('dl.settings').textContent")
        for word in ("sequential test", "α = 0.05", "move time", "memory", "sandbox", "seed",
                     "machine", "program"):
            check(word in settings, f"the SPRT page's settings name {word}: {settings}")
        fits(browser, width, check, "the SPRT page")
        page_shot(browser, os.path.join(outdir, f"sprt-{width}.png"), 900 if width > 400 else 1400)

        browser.open("file://" + os.path.abspath(os.path.join(rr, "report.html")), width, 900)
        said = browser.eval(verdict)
        check(said.startswith("Ranking by Bradley–Terry rating (mean 0, 95 %): 1. "),
              f"the round robin's verdict: {said}")
        settings = browser.eval("document.querySelector('dl.settings').textContent")
        check("5+0.1" in settings and "0.5 s" in settings, f"time limits on the page: {settings}")
        check(browser.eval("document.getElementById('pick-match').offsetParent") is None,
              "a tournament's chooser hides the match's Round field")
        faults = browser.eval("document.getElementById('faults').textContent")
        check("Retired: crasher after 6 faults" in faults and ", pair " in faults,
              f"the faults say where and why the retirement: {faults[:300]}")
        fits(browser, width, check, "the round-robin page")
        page_shot(browser, os.path.join(outdir, f"round-robin-{width}.png"), 900 if width > 400 else 1400)
        browser.screenshot("#faults", os.path.join(outdir, f"round-robin-faults-{width}.png"))

    # A Python player that raises: its traceback beside its fault.
    py = os.path.join(outdir, "python")
    shutil.rmtree(py, ignore_errors=True)
    player = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "players",
                          "python_player.py")
    subprocess.run([arena, "--out", py, "--pairs", "2", "--quiet", "--param", "Py=1",
                    "Py=" + player, "Tossel=" + tossel], check=True, stdout=subprocess.DEVNULL)
    browser.open("file://" + os.path.abspath(os.path.join(py, "report.html")), 1280, 900)
    shown = browser.eval("[...document.querySelectorAll('#faults li')].map((li) => "
                         "[li.textContent, li.querySelector('pre.output') && "
                         "li.querySelector('pre.output').textContent])")
    check(shown and all(out and "Traceback (most recent call last)" in out and
                        "RuntimeError: no move today" in out and "crashed in PsGetTurn" in text
                        for text, out in shown), f"the traceback beside each fault: {shown[:1]}")
    browser.eval("document.querySelector('#faults details').open = true")
    browser.screenshot("#faults", os.path.join(outdir, "python-faults.png"))

    # Every round of the kept player is on the page; a sample of its losses
    # opens from the chooser and ends as recorded.
    browser.open("file://" + os.path.abspath(os.path.join(rr, "report.html")), 1280, 900)
    recorded = [json.loads(line) for line in open(os.path.join(rr, "results.jsonl"))]
    losses = [r for r in recorded if r["type"] == "round" and "crasher" in r["players"]
              and r["winner"] and r[f"player{r['winner']}"] != "crasher"
              and r["end"] != "retired"]  # scored, never played
    kept = browser.eval("JSON.parse(document.getElementById('report-data').textContent)"
                        ".rounds.filter((r) => r.p1 === 'crasher' || r.p2 === 'crasher').length")
    mine = sum(1 for r in recorded if r["type"] == "round" and "crasher" in r["players"])
    check(kept == mine and losses, f"all {mine} rounds of the kept player are on the page: {kept}")
    for r in losses[::max(1, len(losses) // 6)]:
        browser.eval(f"""(() => {{
            document.getElementById('pick-pairing').value = '{r["pairing"]}';
            document.getElementById('pick-pair').value = '{r["pair"]}';
            document.getElementById('pick-seat').value = '{r["seat"]}';
            document.querySelector('#chooser button[type=submit]').click(); }})()""")
        title = browser.eval("document.getElementById('round-title').textContent")
        check(title.startswith(f"Pairing {r['pairing']}, pair {r['pair']}, seat {r['seat']}:"),
              f"the kept loss {r['pairing']}/{r['pair']}/{r['seat']} opens: {title}")
        browser.eval("document.getElementById('board-wrap').focus()")
        browser.key("End")
        shown = browser.eval("[Number(document.querySelector('#store1 .n').textContent),"
                             " Number(document.querySelector('#store2 .n').textContent)]")
        check(shown == r["stores"], f"the loss ends {shown}, recorded {r['stores']}")


def main():
    chromium, make_match, report, make_tournament, outdir = sys.argv[1:6]
    os.makedirs(outdir, exist_ok=True)
    record = os.path.join(outdir, "match.jsonl")
    expected_file = os.path.join(outdir, "expected.json")
    html = os.path.join(outdir, "report.html")
    subprocess.run([make_match, record, expected_file], check=True)
    subprocess.run([report, "--match", record, "--output", html], check=True,
                   stdout=subprocess.DEVNULL)
    expected = json.load(open(expected_file))
    holes = expected["holes"]
    board_js = BOARD.replace("D_HOLES", str(holes))

    page = open(html, encoding="utf-8").read()
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)
            print("FAIL:", what)

    # Self-contained: nothing is loaded from elsewhere.
    check(not re.search(r"<(link|img|iframe)\b|\bsrc=|url\(", page), "the page loads a resource")
    check("Beta &amp; co" in page and "Alpha &lt;1&gt;" in page, "player names are escaped")

    browser = Browser(chromium)
    try:
        browser.open("file://" + os.path.abspath(html), 1400, 1200)
        top_of_page(browser, check, os.path.join(outdir, "top.png"))
        check(browser.eval("document.querySelectorAll('#standings tbody tr').length") >= 2,
              "the standings table has the two players")
        browser.screenshot("#standings", os.path.join(outdir, "standings.png"))

        steps_checked = 0
        for rnd in expected["rounds"]:
            positions = rnd["positions"]
            browser.eval(f"location.hash = '#round-{rnd['round']}'")
            browser.eval("document.getElementById('board-wrap').focus()")
            title = browser.eval("document.getElementById('round-title').textContent")
            check(title.startswith(f"Round {rnd['round']}:"), f"round {rnd['round']} opens: {title}")
            browser.key("Home")
            got = browser.eval(board_js)
            check(got == positions[0], f"round {rnd['round']} start: {got} != {positions[0]}")
            # Forward through the whole round, one arrow key per step.
            for i in range(1, len(positions)):
                browser.key("ArrowRight")
                got = browser.eval(board_js)
                check(got == positions[i],
                      f"round {rnd['round']} step {i}: {got} != {positions[i]}")
                steps_checked += 1
            browser.key("ArrowRight")  # past the end: stays on the last step
            check(browser.eval(board_js) == positions[-1], f"round {rnd['round']}: past the end")
            # And back a few steps.
            for i in range(len(positions) - 2, max(len(positions) - 5, -1), -1):
                browser.key("ArrowLeft")
                got = browser.eval(board_js)
                check(got == positions[i], f"round {rnd['round']} back to {i}: {got}")
            browser.key("End")
            check(browser.eval(board_js) == positions[-1], f"round {rnd['round']}: End")

        # The fault list links to its round.
        link = browser.eval("document.querySelector('#faults a') && "
                            "document.querySelector('#faults a').getAttribute('href')")
        check(link is not None, "a fault links to its round")
        if link:
            browser.eval(f"document.querySelector('#faults a[href=\"{link}\"]').click()")
            title = browser.eval("document.getElementById('round-title').textContent")
            check(title.startswith("Round " + link.split("-")[-1] + ":"), f"fault link opens {title}")
        browser.screenshot("#faults", os.path.join(outdir, "faults.png"))

        # The viewer on the first capture of the match, marked on the board.
        for rnd in expected["rounds"]:
            browser.eval(f"location.hash = '#round-{rnd['round']}'")
            at = browser.eval("[...document.querySelectorAll('#step-list li')]"
                              ".findIndex((li) => li.textContent.includes('capture'))")
            if at >= 0:
                break
        check(at >= 0, "some step captures")
        browser.eval("document.getElementById('board-wrap').focus()")
        browser.key("Home")
        for _ in range(at):
            browser.key("ArrowRight")
        marks = browser.eval("document.querySelector('#board').textContent")
        check("✕" in marks, "the capturing hole is marked")
        browser.screenshot("#viewer", os.path.join(outdir, "viewer.png"))
        # Play at 10 steps a second, then pause.
        before = int(browser.eval("document.getElementById('board').dataset.step"))
        browser.eval("document.getElementById('speed').value = '10';"
                     "document.getElementById('play').click()")
        time.sleep(0.6)
        browser.eval("document.getElementById('play').click()")
        after = int(browser.eval("document.getElementById('board').dataset.step"))
        check(after > before, f"playing moves on: step {before} -> {after}")
        time.sleep(0.3)
        check(int(browser.eval("document.getElementById('board').dataset.step")) == after,
              "pause stops")
        print(f"{steps_checked} steps of {len(expected['rounds'])} rounds checked in the DOM")
        rounds_table(browser, expected, board_js, check, outdir)
        tournament(browser, make_tournament, outdir, check)
        for width in (390,):
            for page_file in (html, os.path.join(outdir, "tournament.html")):
                browser.open("file://" + os.path.abspath(page_file), width, 900)
                fits(browser, width, check, os.path.basename(page_file))
        browser.open("file://" + os.path.abspath(html), 1280, 900)
        said = browser.eval("document.querySelector('#verdict .verdict').textContent")
        check(re.search(r"(is stronger than|are not yet separated).*LOS", said),
              f"the match's verdict: {said}")
        if len(sys.argv) > 6:
            arena_pages(browser, *sys.argv[6:11], outdir, check)
    finally:
        browser.close()
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
