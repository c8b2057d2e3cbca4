"""One network: its clearing, its input file and its report."""

from __future__ import annotations

import os
from typing import Sequence

import numpy as np

from . import _native
from ._arrays import network, threads_of


class Clearing:
    """The clearing of one network, as the program computes it.

    Attributes
    ----------
    p : ndarray of float64, shape (n,)
        The clearing vector: what each node pays in all.
    default_round : ndarray of int32, shape (n,)
        The round in which each node first defaults; 0 for a node that never does.
    capital : ndarray of float64, shape (n,)
        What each node receives plus its outside cash, minus what it pays.
    rounds : int
        The rounds run (the report's "Paso" blocks).
    total_obligations : ndarray of float64, shape (n,)
        Row sums of L (summed in column order, as the program does).
    L, e : ndarray of float64
        The network, as converted for the engine.
    """

    __slots__ = ("p", "default_round", "capital", "rounds", "total_obligations", "L", "e")

    def __init__(self, p, default_round, capital, rounds, total_obligations, L, e) -> None:
        self.p = p
        self.default_round = default_round
        self.capital = capital
        self.rounds = rounds
        self.total_obligations = total_obligations
        self.L = L
        self.e = e

    def __repr__(self) -> str:
        defaults = int(np.count_nonzero(self.default_round))
        return f"<Clearing of {self.p.shape[0]} nodes: {defaults} default(s), {self.rounds} round(s)>"

    def payments(self) -> np.ndarray:
        """The n×n matrix of payments, ``PI[i, j] * p[i]`` (the report's "Matriz de pagos").

        ``PI`` is L divided row by row by ``total_obligations``; a row that owes
        exactly 0 pays nothing.
        """
        owes = self.total_obligations[:, None]
        PI = np.divide(self.L, owes, out=np.zeros_like(self.L), where=owes != 0.0)
        return PI * self.p[:, None]

    def to_frame(self, names: Sequence[str] | None = None):
        """A pandas DataFrame with the columns of ``clearing-export``'s results.csv.

        ``node, name, total_obligations, outside_cash, payment, recovery_rate,
        default_round, capital``: one row per node; ``recovery_rate`` is NaN for
        a node that owes nothing, ``name`` empty without ``names``.
        """
        import pandas as pd

        n = self.p.shape[0]
        owes = self.total_obligations
        rate = np.divide(self.p, owes, out=np.full(n, np.nan), where=owes != 0.0)
        return pd.DataFrame(
            {
                "node": np.arange(n),
                "name": _names(names, n),
                "total_obligations": owes,
                "outside_cash": self.e,
                "payment": self.p,
                "recovery_rate": rate,
                "default_round": self.default_round,
                "capital": self.capital,
            }
        )


def _names(names: Sequence[str] | None, n: int) -> list[str]:
    if names is None:
        return [""] * n
    names = [str(x) for x in names]
    if len(names) != n:
        raise ValueError(f"names must name each of the {n} nodes, got {len(names)}")
    return names


def clear(L, e, *, threads: int | None = None) -> Clearing:
    """Clears the network of obligations ``L`` (n×n, ``L[i, j]`` owed by i to j)
    and outside cash ``e`` (n) by the fictitious-default iteration.

    The doubles are the very ones the ``clearing`` program computes for the same
    numbers. ``L`` and ``e`` may be anything numpy converts to float64; a
    C-contiguous float64 array is used without a copy. ``threads``: the threads
    a round's elimination is shared among (default: every core); the result
    does not depend on it. The GIL is released while it runs.

    Raises
    ------
    ValueError
        A wrong shape, or an entry that is NaN or infinite (named).
    Indeterminate, NoConvergence
        No clearing vector; ``.round`` says in which round.
    MemoryError
        The engine's matrices would not fit in the memory the system has free
        (checked before they are allocated).
    """
    L, e = network(L, e)
    p, rounds_of, capital, rounds, owes = _native.clear(L, e, threads_of(threads))
    return Clearing(p, rounds_of, capital, rounds, owes, L, e)


def read_input(path: str | os.PathLike) -> tuple[np.ndarray, np.ndarray]:
    """``(L, e)`` read from a file in the grammar of ``input.txt``, by the program's reader.

    Raises ``InputError`` (a ``ValueError``) with the program's message for a
    malformed or missing number, ``OSError`` when the file cannot be opened or
    read, ``MemoryError`` for a network that would not fit (or a negative dim).
    """
    return _native.read_input(os.fsdecode(path))


def write_report(path: str | os.PathLike, L, e, *, threads: int | None = None) -> None:
    """Writes the program's report (output.txt) of the network ``L``, ``e`` to ``path``.

    The bytes are those ``clearing`` writes for an input.txt holding the same
    doubles. On a failure (``Indeterminate``, ``NoConvergence``, ``MemoryError``,
    ``OSError``) the report is left as the program leaves it, as far as it got,
    and the error is raised.
    """
    L, e = network(L, e)
    _native.write_report(os.fsdecode(path), L, e, threads_of(threads))
