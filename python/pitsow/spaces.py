"""The two spaces the environments need, in the shape of Gymnasium's
spaces.Discrete and spaces.Box (the same attributes and methods), with the
standard library only: a Box's points are tuples of ints, not arrays."""
import operator
import random


class Discrete:
    """The integers start to start + n - 1."""

    def __init__(self, n, start=0, seed=None):
        if n < 1:
            raise ValueError("n must be positive")
        self.n, self.start = int(n), int(start)
        self.shape, self.dtype = (), int
        self.seed(seed)

    def seed(self, seed=None):
        self.np_random = random.Random(seed)
        return [seed]

    def sample(self, mask=None):
        """A random element; with mask (n values, 1 for the allowed), a random
        allowed one, or start when none is allowed."""
        if mask is None:
            return self.start + self.np_random.randrange(self.n)
        if len(mask) != self.n:
            raise ValueError(f"a mask needs {self.n} values")
        allowed = [i for i, m in enumerate(mask) if m]
        return self.start + (self.np_random.choice(allowed) if allowed else 0)

    def contains(self, x):
        if isinstance(x, bool):
            return False
        try:
            x = operator.index(x)
        except TypeError:
            return False
        return self.start <= x < self.start + self.n

    __contains__ = contains

    def __eq__(self, other):
        return isinstance(other, Discrete) and (self.n, self.start) == (other.n, other.start)

    def __repr__(self):
        return f"Discrete({self.n}" + (f", start={self.start})" if self.start else ")")


class Box:
    """Tuples of shape[0] ints, each from low to high."""

    def __init__(self, low, high, shape, dtype=int, seed=None):
        self.low, self.high, self.shape, self.dtype = low, high, tuple(shape), dtype
        self.seed(seed)

    def seed(self, seed=None):
        self.np_random = random.Random(seed)
        return [seed]

    def sample(self, mask=None):
        return tuple(self.np_random.randint(self.low, self.high) for _ in range(self.shape[0]))

    def contains(self, x):
        return (isinstance(x, tuple) and len(x) == self.shape[0] and
                all(isinstance(v, int) and self.low <= v <= self.high for v in x))

    __contains__ = contains

    def __eq__(self, other):
        return isinstance(other, Box) and (self.low, self.high, self.shape) == \
            (other.low, other.high, other.shape)

    def __repr__(self):
        return f"Box({self.low}, {self.high}, {self.shape}, int)"
