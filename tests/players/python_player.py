"""A Python player for the shim's tests. With Param 0 it behaves: it
answers its first non-empty hole and names itself after its settings;
Param 1 raises in its third get_turn, 2 answers a str, 3 answers 1 from
init instead of True, 4 answers [] (false) from init."""
calls = 0
mode = 0


def init(info):
    global mode
    mode = info.Param
    print("init", info.Player)  # goes to stderr, never the referee's console
    info.name = f"P{info.Player} {info.NumHoles}x{info.NumBones} L{info.LogLevel} A{info.Param} and a name too long for its room"
    info.creator = "tests"
    info.description = "\u00e9" * 200
    return {3: 1, 4: []}.get(mode, True)


def get_turn(my_holes, opp_holes, my_store, opp_store):
    global calls
    calls += 1
    if mode == 1 and calls == 3:
        raise RuntimeError("no move today")
    if mode == 2:
        return "3"
    return next(i + 1 for i, bones in enumerate(my_holes) if bones > 0)


def opp_turn(hole):
    pass


def end_round(my, opp, turns):
    pass


def done():
    pass
