#include "page_assets.h"

const char kPageStyle[] = R"CSS(
:root { --fg: #1a1a1a; --bg: #fff; --muted: #555; --line: #999; --accent: #1f5fbf; --band: #c9d8f0; }
* { box-sizing: border-box; }
[hidden] { display: none !important; }
body { font: 15px/1.45 system-ui, sans-serif; color: var(--fg); background: var(--bg); margin: 0 auto;
       max-width: 1000px; padding: 0 1rem 3rem; }
h1 { font-size: 1.5rem; margin: 1rem 0 .3rem; }
h2 { font-size: 1.2rem; margin: 2rem 0 .6rem; border-bottom: 1px solid var(--line); }
nav a, a { color: var(--accent); }
:focus-visible { outline: 3px solid var(--accent); outline-offset: 2px; }
table { border-collapse: collapse; margin: .6rem 0 1rem; }
.scroll { max-width: 100%; overflow-x: auto; }
.scroll > table { margin: .6rem 0 1rem; }
.verdict { font-size: 1.15rem; font-weight: bold; border-left: 6px solid var(--accent);
           padding: .4rem .8rem; background: #eef3fb; }
pre.output { max-height: 14rem; overflow: auto; background: #f6f6f6; border: 1px solid #ccc;
             padding: .3rem .5rem; font-size: .85rem; white-space: pre-wrap; overflow-wrap: anywhere; }
caption { text-align: left; color: var(--muted); padding-bottom: .2rem; }
th, td { border: 1px solid #ccc; padding: .2rem .5rem; }
table.num td { text-align: right; font-variant-numeric: tabular-nums; }
thead th { background: #f2f2f2; }
dl.settings { display: flex; flex-wrap: wrap; gap: .2rem 1.2rem; margin: .4rem 0; }
dl.settings div { display: flex; gap: .4rem; }
dl.settings dt { color: var(--muted); }
dl.settings dd { margin: 0; font-family: ui-monospace, monospace; overflow-wrap: anywhere; }
dl.settings div { max-width: 100%; }
figure { margin: .5rem 0 1rem; }
figcaption { color: var(--muted); }
svg.chart { width: 100%; max-width: 900px; height: auto; display: block; }
svg .grid { stroke: #ddd; } svg .grid.zero { stroke: #777; }
svg .tick, svg .label, svg .axis-label, svg .ref-label { font-size: 12px; fill: var(--fg); }
svg .label { font-size: 13px; }
svg .err { stroke: var(--fg); stroke-width: 2; }
svg .pt { fill: var(--accent); stroke: var(--fg); }
svg .line { fill: none; stroke: var(--accent); stroke-width: 2; }
svg .band { fill: var(--band); stroke: none; }
svg .ref { stroke: var(--fg); stroke-dasharray: 6 4; }
svg .decision { stroke: #a00; stroke-width: 2; } svg .decision-label { fill: #a00; font-weight: bold; }
ol.faults li { margin: .3rem 0; }
code { font-family: ui-monospace, monospace; white-space: pre-wrap; overflow-wrap: anywhere; }
.note { border-left: 4px solid var(--line); padding: .3rem .6rem; background: #f6f6f6; }
#chooser { display: flex; flex-wrap: wrap; gap: .4rem .8rem; align-items: end; margin-bottom: .6rem; }
#chooser label { display: flex; flex-direction: column; font-size: .85rem; color: var(--muted); }
input, select, button { font: inherit; padding: .2rem .4rem; }
button { cursor: pointer; }
#board-wrap { padding: .3rem; border: 2px solid transparent; display: inline-block; max-width: 100%;
              overflow-x: auto; }
#board-wrap:focus-visible { border-color: var(--accent); outline: none; }
table.board { margin: 0; }
table.board td, table.board th { width: 3.4rem; height: 3.2rem; text-align: center; font-size: 1.25rem;
       font-variant-numeric: tabular-nums; position: relative; }
table.board th { font-size: .8rem; font-weight: normal; color: var(--muted); width: 7rem; }
table.board td.store { background: #f2f2f2; font-weight: bold; }
table.board td.blank { border: none; }
table.board td.played { outline: 3px solid var(--fg); outline-offset: -3px; font-weight: bold; }
table.board td.captured { background: repeating-linear-gradient(45deg, #eee, #eee 4px, #fff 4px, #fff 8px); }
table.board .mark { position: absolute; top: 1px; right: 3px; font-size: .75rem; }
table.board .hn { position: absolute; bottom: 1px; left: 3px; font-size: .65rem; color: var(--muted); }
#step-text { min-height: 2.8em; font-size: 1.05rem; }
.controls { display: flex; flex-wrap: wrap; gap: .4rem; align-items: center; margin: .4rem 0; }
#step-list { max-height: 18rem; overflow: auto; border: 1px solid #ccc; padding: .3rem .3rem .3rem 2.6rem;
       font-size: .9rem; }
#step-list li { cursor: pointer; }
#step-list li[aria-current] { font-weight: bold; background: #eef3fb; }
#step-list li[aria-current]::before { content: "▶ "; }
.error { color: #a00; font-weight: bold; }
#round-filter { display: flex; flex-wrap: wrap; gap: .4rem .8rem; align-items: end; margin-bottom: .4rem; }
#round-filter label { display: flex; flex-direction: column; font-size: .85rem; color: var(--muted); }
#round-table-wrap { max-height: 24rem; overflow: auto; border: 1px solid #ccc; }
#round-table { margin: 0; width: 100%; }
#round-table thead th { position: sticky; top: 0; }
#round-table tr[aria-current] td, #round-table tr[aria-current] th { background: #eef3fb; font-weight: bold; }
button.link { border: none; background: none; color: var(--accent); text-decoration: underline; padding: 0; }
)CSS";

const char kRoundsMarkup[] = R"HTML(
<form id="round-filter" aria-label="Filter the rounds">
  <label>Player <select id="f-player"><option value="">any</option></select></label>
  <label>Result for that player <select id="f-result"><option value="">any</option>
    <option value="loss">lost</option><option value="draw">drawn</option><option value="win">won</option>
    <option value="egloss">lost by a mistake in a covered position</option></select></label>
  <label>Seat of that player <select id="f-seat"><option value="">any</option>
    <option value="1">player 1 (opens)</option><option value="2">player 2</option></select></label>
  <label>End <select id="f-end"><option value="">any</option></select></label>
</form>
<p id="round-count" role="status"></p>
<div id="round-table-wrap"><table class="num" id="round-table"><thead><tr>
  <th scope="col">Round</th><th scope="col">Player 1</th><th scope="col">Player 2</th>
  <th scope="col">Stores</th><th scope="col">Winner</th><th scope="col">End</th><th scope="col">Viewer</th>
</tr></thead><tbody></tbody></table></div>
)HTML";

const char kViewerMarkup[] = R"HTML(
<form id="chooser" aria-label="Choose a round">
  <span id="pick-tournament" hidden>
    <label>Pairing <select id="pick-pairing"></select></label>
    <label>Pair <input id="pick-pair" type="number" min="0" value="0" size="6"></label>
    <label>Seat <select id="pick-seat"><option value="0">0: first-named is player 1</option>
      <option value="1">1: second-named is player 1</option></select></label>
  </span>
  <label id="pick-match" hidden>Round <input id="pick-round" type="number" min="0" value="0" size="6"></label>
  <button type="submit">Show round</button>
  <button type="button" id="prev-round">Previous kept round</button>
  <button type="button" id="next-round">Next kept round</button>
</form>
<p id="pick-message" role="status"></p>
<h3 id="round-title">No round chosen</h3>
<p id="round-summary"></p>
<div id="board-wrap" tabindex="0" role="group" aria-label="Board: left and right arrow keys step back and forward, Home and End go to the start and the end">
<table class="board" id="board"><tbody><tr id="row2"></tr><tr id="row1"></tr></tbody></table>
</div>
<p id="step-text" aria-live="polite"></p>
<div class="controls">
  <button type="button" id="first" aria-label="First step">|◀ First</button>
  <button type="button" id="back" aria-label="Step back">◀ Back</button>
  <button type="button" id="fwd" aria-label="Step forward">Forward ▶</button>
  <button type="button" id="last" aria-label="Last step">Last ▶|</button>
  <button type="button" id="play" aria-pressed="false">Play</button>
  <label>Speed <select id="speed">
    <option value="1">1 step/s</option><option value="2" selected>2 steps/s</option>
    <option value="4">4 steps/s</option><option value="10">10 steps/s</option></select></label>
  <span id="step-count"></span>
</div>
<ol id="step-list" start="0" aria-label="Steps of the round"></ol>
)HTML";

const char kPageScript[] = R"JS(
(function () {
  "use strict";
  const D = JSON.parse(document.getElementById("report-data").textContent);
  const n = D.holes;
  const $ = (id) => document.getElementById(id);
  const DIG = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const KIND = ["start", "opening", "move", "sweep"];
  const cache = new Map();
  let cur = -1, step = 0, steps = [], timer = null;

  // The compact step string of a round: per step kind, player, hole, flags,
  // captured hole, player 1's holes, player 2's holes, the two stores.
  function decode(s) {
    const v = [];
    for (let i = 0; i < s.length;) {
      if (s[i] === "~") { const j = s.indexOf("~", i + 1); v.push(Number(s.slice(i + 1, j))); i = j + 1; }
      else { v.push(DIG.indexOf(s[i])); i++; }
    }
    const w = 5 + 2 * n + 2, out = [];
    for (let k = 0; k + w <= v.length; k += w) {
      out.push({ kind: KIND[v[k]], player: v[k + 1], hole: v[k + 2], pass: !!(v[k + 3] & 1),
        extra: !!(v[k + 3] & 2), over: !!(v[k + 3] & 4), captured: v[k + 4],
        row1: v.slice(k + 5, k + 5 + n), row2: v.slice(k + 5 + n, k + 5 + 2 * n),
        store1: v[k + 5 + 2 * n], store2: v[k + 6 + 2 * n] });
    }
    return out;
  }
  function stepsOf(i) {
    if (!cache.has(i)) cache.set(i, decode(D.rounds[i].x));
    return cache.get(i);
  }
  const name = (r, p) => (p === 1 ? r.p1 : r.p2);
  const winnerText = (r) => (r.w === 0 ? "a draw" : name(r, r.w) + " (player " + r.w + ") wins");
  function roundTitle(r) {
    return r.g >= 0 ? "Pairing " + r.g + ", pair " + r.p + ", seat " + r.s + ": " + r.p1 + " (player 1) vs " + r.p2 + " (player 2)"
                    : "Round " + r.r + ": " + r.p1 + " (player 1) vs " + r.p2 + " (player 2)";
  }
  function describe(r, s, i, moveNo) {
    if (s.kind === "start") return "Start: " + n + " holes of " + D.bones + " bones each; player 1 moves first.";
    if (s.kind === "sweep") {
      const before = steps[i - 1] || s, got1 = s.store1 - before.store1, got2 = s.store2 - before.store2;
      return "End-of-round sweep: the bones left in a row go to its owner's store: " +
        got1 + " to player 1 (" + r.p1 + "), " + got2 + " to player 2 (" + r.p2 + ").";
    }
    const who = "player " + s.player + " (" + name(r, s.player) + ")";
    let t = (s.kind === "opening" ? "Opening move " + i : "Move " + moveNo) + ": " + who + " plays hole " + s.hole;
    if (s.pass) t += ", which is empty: a pass";
    if (s.captured) t += "; the last bone lands in empty hole " + s.captured + " and captures it with the opposite hole " +
                         (n - s.captured + 1) + " of player " + (3 - s.player) + " (both marked ✕)";
    if (s.extra) t += "; the last bone falls into the store: extra move";
    if (s.over) t += ". The round is decided";
    return t + "." + (r.eg && r.eg[i] ? " " + r.eg[i] + "." : "");
  }

  function cell(cls, value, hole, mark, label) {
    const td = document.createElement("td");
    td.className = cls;
    if (hole) { const hn = document.createElement("span"); hn.className = "hn"; hn.textContent = hole; td.appendChild(hn); }
    const v = document.createElement("span"); v.className = "n"; v.textContent = value; td.appendChild(v);
    if (mark) { const m = document.createElement("span"); m.className = "mark"; m.textContent = mark; td.appendChild(m); }
    td.setAttribute("aria-label", label + ": " + value + (mark === "▼" ? ", played" : mark === "✕" ? ", captured" : ""));
    return td;
  }
  function head(text) { const th = document.createElement("th"); th.scope = "row"; th.textContent = text; return th; }
  function blank() { const td = document.createElement("td"); td.className = "blank"; return td; }

  function draw() {
    const r = D.rounds[cur], s = steps[step];
    const r2 = $("row2"), r1 = $("row1");
    r2.replaceChildren(); r1.replaceChildren();
    r2.appendChild(head("Player 2: " + r.p2));
    r2.appendChild(cell("store", s.store2, 0, "", "player 2 store"));
    // Player 2's row runs from hole n down to 1 above player 1's row.
    for (let h = n; h >= 1; h--) {
      const played = s.player === 2 && s.hole === h && s.kind !== "sweep";
      const capt = s.captured && (s.player === 2 ? s.captured === h : n - s.captured + 1 === h);
      const td = cell("hole" + (played ? " played" : "") + (capt ? " captured" : ""), s.row2[h - 1], h,
                      capt ? "✕" : played ? "▼" : "", "player 2 hole " + h);
      td.dataset.player = "2"; td.dataset.hole = h; r2.appendChild(td);
    }
    r2.appendChild(blank());
    r1.appendChild(head("Player 1: " + r.p1));
    r1.appendChild(blank());
    for (let h = 1; h <= n; h++) {
      const played = s.player === 1 && s.hole === h && s.kind !== "sweep";
      const capt = s.captured && (s.player === 1 ? s.captured === h : n - s.captured + 1 === h);
      const td = cell("hole" + (played ? " played" : "") + (capt ? " captured" : ""), s.row1[h - 1], h,
                      capt ? "✕" : played ? "▲" : "", "player 1 hole " + h);
      td.dataset.player = "1"; td.dataset.hole = h; r1.appendChild(td);
    }
    r1.appendChild(cell("store", s.store1, 0, "", "player 1 store"));
    r2.cells[1].id = "store2"; r1.cells[r1.cells.length - 1].id = "store1";

    let moveNo = 0;
    for (let k = 1; k <= step; k++) if (steps[k].kind === "move") moveNo++;
    let text = describe(r, s, step, moveNo) + " Stores " + s.store1 + " : " + s.store2 + ".";
    if (step === steps.length - 1) {
      text += " Round over (" + r.end + "): stores " + r.st[0] + " : " + r.st[1] + ", " + winnerText(r) + ".";
      if (r.rej) text += " Rejected: " + r.rej + ".";
      if (r.f) text += " Fault: " + r.f;
    }
    $("step-text").textContent = text;
    $("step-count").textContent = "Step " + step + " of " + (steps.length - 1);
    const list = $("step-list");
    const old = list.querySelector("[aria-current]");
    if (old) old.removeAttribute("aria-current");
    const li = list.children[step];
    if (li) { li.setAttribute("aria-current", "step"); reveal(list, li); }
    $("board").dataset.step = step;
  }

  // Scrolls the step list, never the page, so that its current step shows:
  // the page moves only when the user moves it.
  function reveal(list, li) {
    const lr = list.getBoundingClientRect(), ir = li.getBoundingClientRect();
    if (ir.top < lr.top) list.scrollTop -= lr.top - ir.top;
    else if (ir.bottom > lr.bottom) list.scrollTop += ir.bottom - lr.bottom;
  }

  function open(i) {
    stop();
    cur = i; step = 0; steps = stepsOf(i);
    const r = D.rounds[i];
    $("round-title").textContent = roundTitle(r);
    let sum = "Ended by " + r.end + "; final stores " + r.st[0] + " : " + r.st[1] + ", " + winnerText(r) + ". " +
      (steps.length - 1) + " steps (" + r.o + " opening).";
    $("round-summary").textContent = sum;
    if (r.err) {
      const e = document.createElement("span"); e.className = "error";
      e.textContent = " The record disagrees with the rules: " + r.err + "; the replay stops there.";
      $("round-summary").appendChild(e);
    }
    if (r.egd !== undefined) {
      const b = document.createElement("button"); b.type = "button"; b.id = "decisive";
      b.textContent = "Go to the decisive mistake (step " + r.egd + ")";
      b.addEventListener("click", () => { stop(); go(r.egd); });
      $("round-summary").append(" ", b);
    }
    const list = $("step-list");
    list.replaceChildren();
    let moveNo = 0;
    steps.forEach((s, k) => {
      if (s.kind === "move") moveNo++;
      const li = document.createElement("li");
      li.textContent = (s.captured ? "✕ " : "") + (s.extra ? "↻ " : "") + describe(r, s, k, moveNo) +
        " Stores " + s.store1 + " : " + s.store2 + ".";
      li.dataset.stores = s.store1 + ":" + s.store2;
      li.addEventListener("click", () => { stop(); step = k; draw(); });
      list.appendChild(li);
    });
    if (r.g >= 0) { $("pick-pairing").value = String(r.g); $("pick-pair").value = r.p; $("pick-seat").value = String(r.s); }
    else $("pick-round").value = r.r;
    mark();
    draw();
  }

  function go(k) { if (cur < 0) return; step = Math.max(0, Math.min(steps.length - 1, k)); draw(); }
  function stop() {
    if (timer) { clearInterval(timer); timer = null; }
    $("play").textContent = "Play"; $("play").setAttribute("aria-pressed", "false");
  }
  function play() {
    if (timer) { stop(); return; }
    if (step >= steps.length - 1) go(0);
    $("play").textContent = "Pause"; $("play").setAttribute("aria-pressed", "true");
    timer = setInterval(() => { if (step >= steps.length - 1) stop(); else go(step + 1); },
                        1000 / Number($("speed").value));
  }

  const byKey = new Map(), byId = new Map();
  const tournament = D.rounds.some((r) => r.g >= 0);
  D.rounds.forEach((r, i) => { byKey.set(tournament ? r.g + "/" + r.p + "/" + r.s : String(r.r), i); byId.set(String(r.id), i); });
  if (tournament) {
    $("pick-tournament").hidden = false;
    for (const [g, label] of D.pairings) {
      const o = document.createElement("option"); o.value = String(g); o.textContent = g + ": " + label;
      $("pick-pairing").appendChild(o);
    }
  } else {
    $("pick-match").hidden = false;
  }
  $("chooser").addEventListener("submit", (e) => {
    e.preventDefault();
    const key = tournament ? $("pick-pairing").value + "/" + Number($("pick-pair").value) + "/" + $("pick-seat").value
                           : String(Number($("pick-round").value));
    if (byKey.has(key)) { $("pick-message").textContent = ""; open(byKey.get(key)); }
    else $("pick-message").textContent = "That round is not in this report" +
      ($("sample-note") ? " (only a sample of the rounds is kept, see above)." : ".");
  });
  $("prev-round").addEventListener("click", () => { if (cur > 0) open(cur - 1); });
  $("next-round").addEventListener("click", () => { if (cur + 1 < D.rounds.length) open(cur + 1); });
  $("first").addEventListener("click", () => { stop(); go(0); });
  $("back").addEventListener("click", () => { stop(); go(step - 1); });
  $("fwd").addEventListener("click", () => { stop(); go(step + 1); });
  $("last").addEventListener("click", () => { stop(); go(steps.length - 1); });
  $("play").addEventListener("click", play);
  $("speed").addEventListener("change", () => { if (timer) { stop(); play(); } });
  document.addEventListener("keydown", (e) => {
    const t = e.target;
    if (t && (t.tagName === "INPUT" || t.tagName === "SELECT" || t.tagName === "TEXTAREA")) return;
    if (e.altKey || e.ctrlKey || e.metaKey || cur < 0) return;
    const keys = { ArrowRight: () => go(step + 1), ArrowLeft: () => go(step - 1),
                   Home: () => go(0), End: () => go(steps.length - 1) };
    if (keys[e.key] && (t === document.body || $("viewer").contains(t))) { e.preventDefault(); stop(); keys[e.key](); }
  });
  // The rounds table: every kept round, filtered by player, result and seat
  // from that player's side, and end; a row opens its round in the viewer,
  // and N and P step through the listed rounds (a player's losses, say).
  let listed = [];
  const winnerName = (r) => (r.w === 0 ? "" : name(r, r.w));
  function matches(r) {
    const who = $("f-player").value, res = $("f-result").value, seat = $("f-seat").value, end = $("f-end").value;
    if (end && r.end !== end) return false;
    if (res === "egloss" && !r.egp) return false;
    if (!who && res === "egloss") return !seat || Number(seat) === r.egp;
    if (!who) return (!res || (res === "draw") === (r.w === 0)) && (!seat);
    const at = r.p1 === who ? 1 : r.p2 === who ? 2 : 0;
    if (!at || (seat && Number(seat) !== at)) return false;
    if (res === "draw") return r.w === 0;
    if (res === "win") return r.w === at;
    if (res === "loss") return r.w !== 0 && r.w !== at;
    if (res === "egloss") return r.egp === at;
    return true;
  }
  function listRounds() {
    listed = [];
    D.rounds.forEach((r, i) => { if (matches(r)) listed.push(i); });
    const shown = listed.slice(0, 1000), body = $("round-table").tBodies[0];
    body.replaceChildren();
    for (const i of shown) {
      const r = D.rounds[i], tr = document.createElement("tr");
      tr.dataset.index = i;
      const td = (t) => { const c = document.createElement("td"); c.textContent = t; tr.appendChild(c); return c; };
      const th = document.createElement("th"); th.scope = "row";
      th.textContent = r.g >= 0 ? r.g + "/" + r.p + "/" + r.s : String(r.r); tr.appendChild(th);
      td(r.p1); td(r.p2); td(r.st[0] + " : " + r.st[1]); td(r.w === 0 ? "draw" : winnerName(r)); td(r.end);
      const b = document.createElement("button"); b.type = "button"; b.className = "link"; b.textContent = "view";
      b.setAttribute("aria-label", "view " + roundTitle(r));
      b.addEventListener("click", () => { open(i); $("board-wrap").focus({ preventScroll: true }); $("viewer").scrollIntoView(); });
      td("").appendChild(b);
      body.appendChild(tr);
    }
    const kept = D.rounds.length, total = D.total || kept;
    $("round-count").textContent = listed.length + " of " + (kept < total ? "the " + kept + " rounds kept of " + total + " played" : "the run's " + kept + " rounds") +
      " match the filter" + (listed.length > shown.length ? "; the first " + shown.length + " are listed" : "") +
      (listed.length ? ". N and P open the next and previous of them in the viewer." : ".");
    mark();
  }
  function mark() {
    if (!D.rounds.length) return;
    const body = $("round-table").tBodies[0];
    const old = body.querySelector("[aria-current]");
    if (old) old.removeAttribute("aria-current");
    const row = body.querySelector('tr[data-index="' + cur + '"]');
    if (row) row.setAttribute("aria-current", "true");
  }
  function stepListed(d) {
    if (!listed.length) return;
    const at = listed.indexOf(cur);
    const k = at < 0 ? (d > 0 ? 0 : listed.length - 1) : Math.max(0, Math.min(listed.length - 1, at + d));
    open(listed[k]);
  }
  if (D.rounds.length) {
    const players = new Set(), ends = new Set();
    D.rounds.forEach((r) => { players.add(r.p1); players.add(r.p2); ends.add(r.end); });
    for (const [sel, values] of [["f-player", players], ["f-end", ends]]) {
      for (const v of [...values].sort()) { const o = document.createElement("option"); o.value = o.textContent = v; $(sel).appendChild(o); }
    }
    for (const id of ["f-player", "f-result", "f-seat", "f-end"]) $(id).addEventListener("change", listRounds);
    document.querySelectorAll("button.show-losses, button.show-eg-losses").forEach((b) => b.addEventListener("click", () => {
      $("f-player").value = b.dataset.player; $("f-result").value = b.classList.contains("show-losses") ? "loss" : "egloss"; $("f-seat").value = ""; $("f-end").value = "";
      listRounds(); $("rounds").scrollIntoView();
    }));
    listRounds();
  }
  document.addEventListener("keydown", (e) => {
    const t = e.target;
    if (t && (t.tagName === "INPUT" || t.tagName === "SELECT" || t.tagName === "TEXTAREA")) return;
    if (e.altKey || e.ctrlKey || e.metaKey) return;
    if (e.key === "n" || e.key === "N") { e.preventDefault(); stepListed(1); }
    if (e.key === "p" || e.key === "P") { e.preventDefault(); stepListed(-1); }
  });

  function fromHash() {
    const m = /^#round-(.+)$/.exec(location.hash);
    if (m && byId.has(m[1])) { open(byId.get(m[1])); $("board-wrap").focus(); return true; }
    return false;
  }
  window.addEventListener("hashchange", fromHash);
  if (!fromHash() && D.rounds.length) open(0);
  if (!D.rounds.length) $("round-title").textContent = "No rounds were recorded.";
})();
)JS";
