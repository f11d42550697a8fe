"""The cheapest Python player: answers hole 1 at once."""


def init(info):
    return True


def get_turn(my_holes, opp_holes, my_store, opp_store):
    return 1


def opp_turn(hole):
    pass


def end_round(my, opp, turns):
    pass


def done():
    pass
