"""A stress scenario as a mapping of changes, and scenarios laid flat for the engine."""

from __future__ import annotations

import math
import numbers
from dataclasses import dataclass, field
from typing import Any, Hashable, Mapping, Union

import numpy as np
import numpy.typing as npt

# A node as a scenario names it: a name, a number, or group:NAME.
Node = Union[int, str]
# Scenarios laid flat: (nodes, kinds, values, change_ends, debtors,
# creditors, amounts, obligation_ends), as the engine takes them.
Flat = tuple[list[Any], list[Any], list[Any], list[int], list[Any], list[Any], list[Any], list[int]]

# The kinds of change, numbered as the engine numbers them.
CASH, SHOCK, FAIL = 0, 1, 2
_KINDS = (("cash", CASH), ("shock", SHOCK), ("fail", FAIL))
_GROUP = "group:"


@dataclass(frozen=True)
class Scenario:
    """What one scenario of ``sweep`` changes; every field is optional.

    - ``cash``: {node: value}, the node's outside cash set to value (at least 0);
    - ``shock``: {node: s}, the node loses the fraction s in [0, 1] of its cash;
    - ``fail``: {node: r}, the node is in default from round 1 and pays at
      most the fraction r in [0, 1] of what it owes;
    - ``obligations``: {(debtor, creditor): amount}, ``L[debtor, creditor]``
      set to amount (at least 0) for this scenario alone.

    A node is a name of ``sweep``'s ``names``, a number, or (for cash, shock
    and fail) ``"group:NAME"`` for every node of the group NAME of ``groups``,
    as in ``clearing-sweep``'s scenario and changes files; the numbers are the
    program's on the equivalent files. A node's cash is changed once at most
    (by ``cash`` or by ``shock``), and it fails once at most.
    """

    cash: Mapping[Node, float] = field(default_factory=dict)
    shock: Mapping[Node, float] = field(default_factory=dict)
    fail: Mapping[Node, float] = field(default_factory=dict)
    obligations: Mapping[tuple[Node, Node], float] = field(default_factory=dict)

    def changes_network(self) -> bool:
        """Whether the scenario clears a network other than the base one."""
        return bool(self.fail) or bool(self.obligations)


class _Nodes:
    """Node references to numbers: a name, a number, or group:NAME."""

    def __init__(self, n: int, names: list[str] | None, group_names: list[str],
                 members: list[list[int]]) -> None:
        self.n = n
        self.index = {name: k for k, name in enumerate(names or [])}
        self.groups = dict(zip(group_names, members))

    def one(self, label: str, node: Hashable) -> int:
        if isinstance(node, str) and node in self.index:
            return self.index[node]
        if isinstance(node, numbers.Integral) and not isinstance(node, bool) and 0 <= int(node) < self.n:
            return int(node)
        raise ValueError(f"scenario {label!r}: unknown node {node!r}")

    def many(self, label: str, node: Hashable) -> list[int]:
        if isinstance(node, str) and node.startswith(_GROUP) and node not in self.index:
            group = node[len(_GROUP):]
            if group not in self.groups:
                raise ValueError(f"scenario {label!r}: unknown group {group!r} (not in groups)")
            return self.groups[group]
        return [self.one(label, node)]


def _value(label: str, what: str, node: object, value: Any, low: float, high: float) -> float:
    x = float(value)
    if not (math.isfinite(x) and low <= x <= high):
        where = "at least 0" if high == math.inf else f"in [{low:g}, {high:g}]"
        raise ValueError(f"scenario {label!r}: {what} {value!r} of {node!r} is not {where}")
    return x


def _changes(label: str, scenario: Scenario, nodes: _Nodes) -> list[tuple[int, int, float]]:
    """The scenario's (node, kind, value), each node's cash and failure changed once at most."""
    changes: list[tuple[int, int, float]] = []
    seen: set[tuple[int, bool]] = set()
    for what, kind in _KINDS:
        for node, value in getattr(scenario, what).items():
            x = _value(label, what, node, value, 0.0, math.inf if kind == CASH else 1.0)
            for k in nodes.many(label, node):
                slot = (k, kind == FAIL)
                if slot in seen:
                    change = "fails" if kind == FAIL else "has its cash changed (cash or shock)"
                    raise ValueError(f"scenario {label!r}: node {k} {change} twice")
                seen.add(slot)
                changes.append((k, kind, x))
    return changes


def _obligations(label: str, scenario: Scenario, nodes: _Nodes) -> list[tuple[int, int, float]]:
    entries: list[tuple[int, int, float]] = []
    seen: set[tuple[int, int]] = set()
    for pair, amount in scenario.obligations.items():
        if not isinstance(pair, tuple) or len(pair) != 2:
            raise ValueError(f"scenario {label!r}: obligations are keyed (debtor, creditor), got {pair!r}")
        debtor, creditor = (nodes.one(label, node) for node in pair)
        if debtor == creditor:
            raise ValueError(f"scenario {label!r}: {pair[0]!r} does not owe itself")
        if (debtor, creditor) in seen:
            raise ValueError(f"scenario {label!r}: a second amount for {pair[0]!r} owing {pair[1]!r}")
        seen.add((debtor, creditor))
        entries.append((debtor, creditor, _value(label, "amount", pair, amount, 0.0, math.inf)))
    return entries


def as_scenario(changes: Scenario | Mapping[Node, float]) -> Scenario:
    """A Scenario as it is, or a plain {node: cash} mapping as one."""
    if isinstance(changes, Scenario):
        return changes
    if isinstance(changes, Mapping):
        return Scenario(cash=changes)
    raise ValueError(f"a scenario is a Scenario or a mapping node → cash, got {type(changes).__name__}")


def flat_scenarios(scenarios: Mapping[Any, Any], n: int, names: list[str] | None,
                   group_names: list[str],
                   members: list[list[int]]) -> tuple[list[str], Flat]:
    """The scenarios' names and their changes laid flat for the engine:
    (nodes, kinds, values, change_ends, debtors, creditors, amounts, obligation_ends)."""
    nodes = _Nodes(n, names, group_names, members)
    labels = [str(label) for label in scenarios]
    changes: list[tuple[int, int, float]] = []
    entries: list[tuple[int, int, float]] = []
    change_ends: list[int] = []
    obligation_ends: list[int] = []
    for label, value in scenarios.items():
        scenario = as_scenario(value)
        changes += _changes(str(label), scenario, nodes)
        entries += _obligations(str(label), scenario, nodes)
        change_ends.append(len(changes))
        obligation_ends.append(len(entries))
    columns = [list(column) for column in zip(*changes)] or [[], [], []]
    entry_columns = [list(column) for column in zip(*entries)] or [[], [], []]
    return labels, (columns[0], columns[1], columns[2], change_ends, entry_columns[0],
                    entry_columns[1], entry_columns[2], obligation_ends)


def cash_rows(scenarios: Mapping[Any, Any], e: npt.NDArray[np.float64],
              names: list[str] | None) -> npt.NDArray[np.float64]:
    """The scenarios as a k×n array of cash vectors: cash set, shock taken as the engine
    takes it (cash · (1 − s)); a scenario that fails nodes or sets entries of L has none."""
    _, (nodes, kinds, values, ends, *_rest) = flat_scenarios(scenarios, e.shape[0], names, [], [])
    cash = np.repeat(e[None, :], len(scenarios), axis=0)
    row = 0
    for m, (label, value) in enumerate(scenarios.items()):
        if as_scenario(value).changes_network():
            raise ValueError(f"scenario {label!r}: only cash and shock here (fail and obligations "
                             "need clearing.sweep on one network)")
        for c in range(row, ends[m]):
            if kinds[c] == CASH:
                cash[m, nodes[c]] = values[c]
            else:
                cash[m, nodes[c]] *= 1.0 - values[c]
        row = ends[m]
    return cash
