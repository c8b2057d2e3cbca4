"""The package's exceptions: one base class to catch them all."""

from __future__ import annotations


class ClearingError(Exception):
    """Base class of the errors of this package."""

    group: tuple[int, ...] = ()
    """For ``Indeterminate``, the nodes that made the round's system singular:
    closed groups of defaulting nodes that owe only among themselves (empty when
    the system is singular for another reason). Empty for other errors."""


class _RoundError(ClearingError):
    round: int

    def __init__(self, message: str, round: int, group: tuple[int, ...] = ()) -> None:
        super().__init__(message)
        self.round = round
        """The round in which the clearing failed (1 is the first)."""
        self.group = tuple(int(k) for k in group)

    def __str__(self) -> str:
        return f"{self.args[0]} (round {self.round})"

    def __reduce__(self) -> tuple[type[_RoundError], tuple[str, int, tuple[int, ...]]]:  # picklable, for Dask
        return (type(self), (self.args[0], self.round, self.group))


class Indeterminate(_RoundError):
    """A round's linear system has no solution ("El sistema es indeterminado");
    ``group`` names the nodes that made it singular."""


class NoConvergence(_RoundError):
    """The default sets cycle and the rounds run out ("El algoritmo no converge")."""


class InputError(ClearingError, ValueError):
    """An input file breaks the grammar of input.txt; the message is the program's."""

    def __init__(self, message: str, round: int = 0) -> None:
        super().__init__(message)


class InfeasibleTotals(ClearingError, ValueError):
    """No network meets the given totals; the message says why."""

    def __init__(self, message: str, node: int | None = None) -> None:
        super().__init__(message)
        self.node = node
        """The node at fault (its index), or None for the totals as a whole."""

    def __reduce__(self) -> tuple[type[InfeasibleTotals], tuple[str, int | None]]:
        return (type(self), (self.args[0], self.node))
