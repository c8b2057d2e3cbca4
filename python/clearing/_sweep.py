"""Many outside-cash scenarios of one network, on every core."""

from __future__ import annotations

from typing import Any, Mapping, Sequence

import numpy as np
import numpy.typing as npt

from . import _native
from ._arrays import as_float_array, costs_of, network, threads_of
from ._clear import _names
from ._ensemble import Ensemble, EnsembleSummary, ensemble_arguments
from ._errors import InfeasibleTotals
from ._scenario import Scenario, cash_rows, flat_scenarios

_F = npt.NDArray[np.float64]
_I = npt.NDArray[np.int32]

STATUSES = ("ok", "indeterminate", "no_convergence")


class Sweep:
    """The clearings of k cash scenarios of one network of n nodes.

    Per scenario (arrays of length k): ``scenario`` (names), ``status`` (``"ok"``,
    ``"indeterminate"``, ``"no_convergence"``), ``defaults`` (nodes that
    default; -1 without a clearing vector), ``rounds`` (rounds run, or the
    round it failed in), ``total_payments`` (Σ p) and ``total_shortfall``
    (Σ total_obligations − p), NaN without a clearing vector. Per scenario and
    node (k×n): ``default_round`` (0: never; -1 without a clearing vector) and
    ``payment`` (p; NaN without a clearing vector). ``regular`` (bool, per
    scenario): ``Clearing.regular`` of the scenario's cash.

    What a scenario tells, per scenario: ``shock_defaults`` (nodes that default
    in round 1) and ``contagion_defaults`` (in later rounds), -1 without a
    clearing vector; ``total_capital`` (Σ capital) and ``total_loss`` (Σ loss).
    Per scenario and node (k×n): ``cash`` (the scenario's outside cash),
    ``capital`` (``Clearing.capital``), ``loss`` (what the node is owed,
    PIᵀ·total_obligations, minus what it receives, PIᵀ·p) and the property
    ``recovery_rate`` (payment / total_obligations, NaN for a node that owes
    nothing). The doubles are those of ``clear`` on each scenario's cash and
    of ``clearing-sweep``'s files.
    """

    # The columns appended to the files after regular, in their order.
    ADDED = ("shock_defaults", "contagion_defaults", "total_capital", "total_loss", "cash", "capital",
             "loss")

    __slots__ = ("scenario", "status", "defaults", "rounds", "total_payments", "total_shortfall",
                 "default_round", "payment", "total_obligations", "regular") + ADDED

    def __init__(self, scenario: list[str], status: npt.NDArray[np.str_], defaults: _I,
                 rounds: _I, total_payments: _F, total_shortfall: _F, default_round: _I,
                 payment: _F, total_obligations: _F, regular: npt.NDArray[np.bool_],
                 shock_defaults: _I, contagion_defaults: _I, total_capital: _F, total_loss: _F,
                 cash: _F, capital: _F, loss: _F) -> None:
        self.scenario = scenario
        self.status = status
        self.defaults = defaults
        self.rounds = rounds
        self.total_payments = total_payments
        self.total_shortfall = total_shortfall
        self.default_round = default_round
        self.payment = payment
        self.total_obligations = total_obligations
        self.regular = regular
        self.shock_defaults = shock_defaults
        self.contagion_defaults = contagion_defaults
        self.total_capital = total_capital
        self.total_loss = total_loss
        self.cash = cash
        self.capital = capital
        self.loss = loss

    @property
    def recovery_rate(self) -> _F:
        """k×n: payment / total_obligations; NaN for a node that owes nothing."""
        owes = np.broadcast_to(self.total_obligations, self.payment.shape)
        return np.divide(self.payment, owes, out=np.full(self.payment.shape, np.nan), where=owes != 0.0)

    def __len__(self) -> int:
        return len(self.scenario)

    def __repr__(self) -> str:
        failed = int(np.count_nonzero(self.status != "ok"))
        return f"<Sweep of {len(self)} scenarios of {self.payment.shape[1]} nodes, {failed} without a clearing>"

    def to_frames(self, names: Sequence[str] | None = None) -> tuple[Any, Any]:
        """Two pandas DataFrames with the columns of ``clearing-sweep``'s files.

        ``(summary, nodes)``: ``scenario, status, defaults, rounds,
        total_payments, total_shortfall, regular, shock_defaults,
        contagion_defaults, total_capital, total_loss`` (sweep.csv) and
        ``scenario, node, name, default_round, payment, cash, capital,
        recovery_rate, loss`` (sweep_nodes.csv). Values that the CSV leaves
        empty (no clearing vector; a recovery rate of a node that owes
        nothing) are missing (``<NA>``, NaN).
        """
        import pandas as pd

        k, n = self.payment.shape
        ok = self.status == "ok"
        summary = pd.DataFrame(
            {
                "scenario": list(self.scenario),
                "status": self.status,
                "defaults": pd.array(np.where(ok, self.defaults, 0), dtype="Int64"),
                "rounds": self.rounds,
                "total_payments": self.total_payments,
                "total_shortfall": self.total_shortfall,
                "regular": self.regular,
                "shock_defaults": pd.array(np.where(ok, self.shock_defaults, 0), dtype="Int64"),
                "contagion_defaults": pd.array(np.where(ok, self.contagion_defaults, 0), dtype="Int64"),
                "total_capital": self.total_capital,
                "total_loss": self.total_loss,
            }
        )
        summary.loc[~ok, ["defaults", "shock_defaults", "contagion_defaults"]] = pd.NA
        rounds = pd.array(self.default_round.reshape(-1), dtype="Int64")
        rounds[np.repeat(~ok, n)] = pd.NA
        nodes = pd.DataFrame(
            {
                "scenario": np.repeat(np.array(self.scenario, dtype=object), n),
                "node": np.tile(np.arange(n), k),
                "name": np.tile(np.array(_names(names, n), dtype=object), k),
                "default_round": rounds,
                "payment": self.payment.reshape(-1),
                "cash": self.cash.reshape(-1),
                "capital": self.capital.reshape(-1),
                "recovery_rate": self.recovery_rate.reshape(-1),
                "loss": self.loss.reshape(-1),
            }
        )
        return summary, nodes


def sweep(
    L: npt.ArrayLike | None = None,
    e: npt.ArrayLike | None = None,
    scenarios: Mapping[str, Scenario | Mapping[int | str, float]] | npt.ArrayLike | None = None,
    *,
    each_node: bool = False,
    uniform_shock: tuple[float, float, float] | None = None,
    each_node_fails: float | None = None,
    groups: Mapping[str, Sequence[int | str]] | None = None,
    each_group: bool = False,
    group: str | None = None,
    random: int | None = None,
    seed: int = 0,
    loss_mean: float | None = None,
    loss_corr: float = 0.0,
    names: Sequence[str] | None = None,
    alpha: float = 1.0,
    beta: float = 1.0,
    threads: int | None = None,
    ensemble: Ensemble | None = None,
    cache_mb: float | None = None,
) -> Sweep:
    """Clears the network ``L``, ``e`` once per cash scenario, on every core.

    Exactly one source of scenarios:

    - ``scenarios``: a k×n array of cash vectors (scenario j's cash is row j,
      named ``"0"``, ``"1"``, …), or a mapping of scenario name → ``Scenario``
      (cash, shock, failed nodes and entries of L changed; nodes may be
      ``"group:NAME"`` of ``groups``) or → {node: cash}, where nodes not named
      keep their cash in ``e`` and a node is a name of ``names`` (looked up
      first) or a number;
    - ``each_node=True``: scenario k sets node k's cash to 0 (named by
      ``names[k]``, or k);
    - ``uniform_shock=(from, to, step)``: scenario k multiplies every cash by
      ``1 - s_k``, ``s_k = from + k*step`` while ``s_k <= to`` (named by s_k);
      with ``group=NAME`` only the cash of that group of ``groups``;
    - ``each_node_fails=r``: node k fails in scenario k: it is in default
      from round 1 and pays at most the fraction r of what it owes;
    - ``each_group=True``: scenario k sets the cash of the k-th group of
      ``groups`` (a mapping of group name → nodes) to 0 (named by the group);
    - ``random=K`` with ``seed``, ``loss_mean`` (M, in (0, 1)) and
      ``loss_corr`` (RHO, in [0, 1]): in scenario k node i loses the fraction
      Φ(Φ⁻¹(M) + √RHO·Z_k + √(1−RHO)·ε_ki) of its cash, Z and ε standard
      normal draws that depend on (seed, k) alone, the bits of
      ``clearing-sweep --random`` on every machine.

    Each scenario's numbers are those of ``clear(L, cash, alpha=alpha,
    beta=beta)``, with the default costs of ``clear``. The GIL is
    released meanwhile; Ctrl-C stops the sweep with ``KeyboardInterrupt``
    between scenarios. ``threads``: scenarios cleared at once (default: every
    core). ``cache_mb``: MiB of eliminated round systems kept for scenarios
    whose round has a default set seen before, as ``clearing-sweep
    --cache-mb`` (0: none; default: a quarter of the free memory); the
    results are the same bits whatever it is.

    ``ensemble=Ensemble(...)`` in place of ``L`` and ``e``: the scenarios
    are cleared on each network of the ensemble, as ``clearing-sweep
    --ensemble`` clears them, and the result is an ``EnsembleSweep``: the
    rows of network 0, then network 1, …, with the very doubles of the
    program's files. The scenarios' cash and node names are the ensemble's
    (``names`` is not given).
    """
    alpha, beta = costs_of(alpha, beta)
    if cache_mb is not None and not float(cache_mb) >= 0.0:
        raise ValueError(f"cache_mb must be at least 0, got {cache_mb!r}")
    cache = -1.0 if cache_mb is None else float(cache_mb)
    given = sum([scenarios is not None, bool(each_node), uniform_shock is not None,
                 each_node_fails is not None, bool(each_group), random is not None])
    if given != 1:
        raise ValueError("give exactly one of scenarios, each_node=True, uniform_shock, "
                         "each_node_fails, each_group=True and random")
    node_names: list[str] | None
    if ensemble is not None:
        if L is not None or e is not None or names is not None:
            raise ValueError("an ensemble sweep takes no L, e or names: they are the ensemble's")
        if each_node_fails is not None or groups is not None or random is not None:
            raise ValueError("an ensemble sweep takes scenarios, each_node or uniform_shock")
        arguments, node_names, base = ensemble_arguments(ensemble)
        matrix = None
    else:
        if L is None or e is None:
            raise ValueError("give L and e, or an ensemble")
        arguments = None
        matrix, base = network(L, e)
        node_names = None if names is None else _names(names, base.shape[0])
    n = base.shape[0]
    group_names, members = _groups_of(groups, node_names, n)
    if (each_group or group is not None) and groups is None:
        raise ValueError("each_group and group need groups")
    if group is not None and uniform_shock is None:
        raise ValueError("group goes with uniform_shock")
    if group is not None and group not in group_names:
        raise ValueError(f"unknown group {group!r}")
    if random is not None:
        if int(random) < 1 or loss_mean is None or not 0.0 < float(loss_mean) < 1.0:
            raise ValueError("random needs K >= 1 and loss_mean in (0, 1)")
        if not 0.0 <= float(loss_corr) <= 1.0:
            raise ValueError("loss_corr must be in [0, 1]")
    cash: _F | None = None
    shock, labels = "", None
    if isinstance(scenarios, Mapping) and matrix is not None:
        labels, flat = flat_scenarios(scenarios, n, node_names, group_names, members)
        result = _native.sweep_scenarios(matrix, base, threads_of(threads), alpha, beta, labels, *flat,
                                         cache_mb=cache)
        return _sweep_of(result, labels)
    if scenarios is not None:
        cash, labels = _cash_of(scenarios, base, node_names)
    elif uniform_shock is not None:
        first, last, step = (float(x) for x in uniform_shock)
        shock = f"{first!r}:{last!r}:{step!r}"
    if matrix is not None:
        shocked = members[group_names.index(group)] if group is not None else []
        result = _native.sweep(
            matrix, base, cash, bool(each_node), shock, node_names or [], threads_of(threads), alpha, beta,
            float("nan") if each_node_fails is None else float(each_node_fails), group_names,
            members, bool(each_group), shocked, 0 if random is None else int(random), int(seed),
            0.0 if loss_mean is None else float(loss_mean), float(loss_corr), cache)
        return _sweep_of(result, labels)
    assert ensemble is not None and arguments is not None
    result = _native.sweep_ensemble(*arguments, cash, bool(each_node), shock, threads_of(threads),
                                    alpha, beta)
    if result[0]:
        raise InfeasibleTotals(result[0])
    _, rows, network_of, all_names, summary = result
    per_network = labels or rows[0]
    return EnsembleSweep(network_of, EnsembleSummary(per_network, all_names, *summary),
                         *_fields_of(rows, per_network * int(ensemble.samples)))


def _fields_of(result: tuple[Any, ...], labels: list[str] | None) -> list[Any]:
    """A Sweep's fields from the native tuple: statuses as text, labels as given or made."""
    status = np.array(STATUSES, dtype=object)[result[1]].astype(str)
    return [labels or result[0], status, *result[2:]]


def _sweep_of(result: tuple[Any, ...], labels: list[str] | None) -> Sweep:
    return Sweep(*_fields_of(result, labels))


class EnsembleSweep(Sweep):
    """A ``Sweep`` over the networks of an ``Ensemble``: its k·s rows are
    network 0's s scenarios, then network 1's, …; ``network`` (per row) says
    whose; ``total_obligations`` is per row (k·s×n), each row's network's.
    ``summary`` (an ``EnsembleSummary``): ``sweep_summary.csv``'s figures.
    ``to_frames`` puts a ``network`` column first.
    """

    __slots__ = ("network", "summary")

    def __init__(self, network: _I, summary: EnsembleSummary, *fields: Any) -> None:
        super().__init__(*fields)
        self.network = network
        self.summary = summary

    def __repr__(self) -> str:
        k = int(self.network[-1]) + 1 if len(self.network) else 0
        failed = int(np.count_nonzero(self.status != "ok"))
        return (f"<EnsembleSweep of {len(self) // max(k, 1)} scenarios on each of {k} networks of "
                f"{self.payment.shape[1]} nodes, {failed} rows without a clearing>")

    def to_frames(self, names: Sequence[str] | None = None) -> tuple[Any, Any]:
        summary, nodes = super().to_frames(self.summary.names if names is None else names)
        n = self.payment.shape[1]
        summary.insert(0, "network", self.network)
        nodes.insert(0, "network", np.repeat(self.network, n))
        return summary, nodes


def _groups_of(groups: Mapping[str, Sequence[int | str]] | None, names: list[str] | None,
               n: int) -> tuple[list[str], list[list[int]]]:
    """The groups' names and each one's nodes as numbers, ascending."""
    if groups is None:
        return [], []
    index = {name: k for k, name in enumerate(names or [])}
    members: list[list[int]] = []
    for label, nodes in groups.items():
        numbers = sorted({index[node] if isinstance(node, str) and node in index else int(node)
                          for node in nodes})
        if any(not 0 <= k < n for k in numbers):
            raise ValueError(f"group {label!r}: a node out of range")
        members.append(numbers)
    return [str(label) for label in groups], members


def _cash_of(scenarios: Mapping[str, Any] | npt.ArrayLike, e: _F,
             names: list[str] | None) -> tuple[_F, list[str]]:
    """The scenarios as a k×n array of cash vectors and their names."""
    n = e.shape[0]
    if not isinstance(scenarios, Mapping):
        cash = as_float_array(scenarios, "scenarios", 2)
        if cash.shape[1] != n and cash.shape[0] > 0:
            raise ValueError(f"scenarios must have one column per node ({n}), got shape {cash.shape}")
        return cash.reshape(-1, n), [str(k) for k in range(cash.shape[0])]
    return cash_rows(scenarios, e, names), [str(label) for label in scenarios]
