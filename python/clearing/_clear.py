"""One network: its clearing, its input file and its report."""

from __future__ import annotations

import os
from typing import TYPE_CHECKING, Iterable, Sequence

import numpy as np
import numpy.typing as npt

from . import _native
from ._arrays import costs_of, network, threads_of

if TYPE_CHECKING:
    import pandas as pd

_F = npt.NDArray[np.float64]


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
    regular : bool
        Whether every node reaches, along obligations, a node with positive
        outside cash or one that owes nothing. For nonnegative L and e the
        clearing vector without costs is then the only one.
    cashless_groups : list of list of int
        Where it is not regular, the closed groups without cash: nodes whose
        obligations never leave the group, none of which has cash (any amount
        going round such a group clears it; ``p`` holds the greatest).
    """

    __slots__ = ("p", "default_round", "capital", "rounds", "total_obligations", "L", "e",
                 "cashless_groups")
    p: _F
    default_round: npt.NDArray[np.int32]
    capital: _F
    rounds: int
    total_obligations: _F
    L: _F
    e: _F
    cashless_groups: list[list[int]]

    def __init__(self, p: _F, default_round: npt.NDArray[np.int32], capital: _F, rounds: int,
                 total_obligations: _F, L: _F, e: _F, cashless_groups: Iterable[Iterable[int]] = ()) -> None:
        self.p = p
        self.default_round = default_round
        self.capital = capital
        self.rounds = rounds
        self.total_obligations = total_obligations
        self.L = L
        self.e = e
        self.cashless_groups = [list(g) for g in cashless_groups]

    @property
    def regular(self) -> bool:
        """True when the network has no closed group without cash."""
        return not self.cashless_groups

    def __repr__(self) -> str:
        defaults = int(np.count_nonzero(self.default_round))
        return f"<Clearing of {self.p.shape[0]} nodes: {defaults} default(s), {self.rounds} round(s)>"

    def payments(self) -> _F:
        """The n×n matrix of payments, ``PI[i, j] * p[i]`` (the report's "Matriz de pagos").

        ``PI`` is L divided row by row by ``total_obligations``; a row that owes
        exactly 0 pays nothing.
        """
        owes = self.total_obligations[:, None]
        PI: _F = np.divide(self.L, owes, out=np.zeros_like(self.L), where=owes != 0.0)
        paid: _F = PI * self.p[:, None]
        return paid

    def to_frame(self, names: Sequence[str] | None = None) -> pd.DataFrame:
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


def clear(L: npt.ArrayLike, e: npt.ArrayLike, *, alpha: float = 1.0, beta: float = 1.0,
          threads: int | None = None) -> Clearing:
    """Clears the network of obligations ``L`` (n×n, ``L[i, j]`` owed by i to j)
    and outside cash ``e`` (n) by the fictitious-default iteration.

    ``alpha``, ``beta``: default costs, each above 0 and at most 1. A node in
    default pays ``alpha`` of its outside cash plus ``beta`` of what the others
    pay it; the result is the greatest clearing vector with those costs. The
    default, 1 and 1, is the clearing without costs, to the bit. With
    ``beta < 1`` no round is indeterminate (for nonnegative L).

    The doubles are the very ones the ``clearing`` program computes for the same
    numbers. ``L`` and ``e`` may be anything numpy converts to float64; a
    C-contiguous float64 array is used without a copy. ``threads``: the threads
    a round's elimination is shared among (default: every core); the result
    does not depend on it. The GIL is released while it runs.

    Raises
    ------
    ValueError
        A wrong shape, an entry that is NaN or infinite (named), or costs
        outside (0, 1].
    Indeterminate, NoConvergence
        No clearing vector; ``.round`` says in which round, and
        ``Indeterminate.group`` which nodes made its system singular.
    MemoryError
        The engine's matrices would not fit in the memory the system has free
        (checked before they are allocated).
    """
    L, e = network(L, e)
    alpha, beta = costs_of(alpha, beta)
    p, rounds_of, capital, rounds, owes, cashless = _native.clear(L, e, threads_of(threads), alpha, beta)
    return Clearing(p, rounds_of, capital, rounds, owes, L, e, cashless)


def read_input(path: str | os.PathLike[str]) -> tuple[_F, _F]:
    """``(L, e)`` read from a file in the grammar of ``input.txt``, by the program's reader.

    Raises ``InputError`` (a ``ValueError``) with the program's message for a
    malformed or missing number, ``OSError`` when the file cannot be opened or
    read, ``MemoryError`` for a network that would not fit (or a negative dim).
    """
    return _native.read_input(os.fsdecode(path))


def write_report(path: str | os.PathLike[str], L: npt.ArrayLike, e: npt.ArrayLike, *,
                 threads: int | None = None) -> None:
    """Writes the program's report (output.txt) of the network ``L``, ``e`` to ``path``.

    The bytes are those ``clearing`` writes for an input.txt holding the same
    doubles. On a failure (``Indeterminate``, ``NoConvergence``, ``MemoryError``,
    ``OSError``) the report is left as the program leaves it, as far as it got,
    and the error is raised.
    """
    L, e = network(L, e)
    _native.write_report(os.fsdecode(path), L, e, threads_of(threads))
