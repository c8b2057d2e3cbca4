"""Plots of a sweep: ``python3 -m clearing.plot DIR/sweep.csv`` or ``plot(sweep)``.

Three figures, each written as PNG and SVG:

- ``shock``: defaults (split into shock and contagion) and total loss
  against the shock, for a uniform sweep (scenario names that are numbers);
- ``systemic``: the nodes whose failure costs the most, for an each-node
  sweep (``systemic.csv``, or a ``Sweep`` whose scenario k zeroes node k's cash);
- ``defaults``: the histogram of the number of defaults over the scenarios
  of a random sweep (scenarios named 0, 1, …, k−1, at least three, and not
  one node's failure each);
- ``rounds``: a node × scenario heat map of default rounds, when both fit a
  readable picture (at most ``MAX_NODES`` nodes and ``MAX_SCENARIOS`` scenarios).

``plot_data`` gives the numbers each figure draws, so they can be checked
without looking at pixels. matplotlib is imported only when a figure is
drawn, with the Agg backend (no display needed).
"""

from __future__ import annotations

import csv
import math
import sys
from pathlib import Path
from typing import TYPE_CHECKING, Any, Callable, Sequence, Union

import numpy as np
import numpy.typing as npt

if TYPE_CHECKING:
    from ._sweep import Sweep

MAX_NODES = 60
MAX_SCENARIOS = 120
TOP = 20
FORMATS = ("png", "svg")

# One figure's numbers, by name; a sweep's files or its object.
Figure = dict[str, Any]
Source = Union[str, Path, "Sweep"]
Floats = npt.NDArray[np.float64]


def _read_csv(path: Path) -> list[dict[str, str]]:
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.DictReader(f))


def _number(text: str) -> float:
    return float(text) if text else math.nan


def _shock_of(names: Sequence[str]) -> Floats | None:
    """The shocks of a uniform sweep (its scenario names), or None."""
    try:
        shocks = np.array([float(name) for name in names])
    except ValueError:
        return None
    ok = len(shocks) > 1 and bool(np.all(np.diff(shocks) > 0)) and shocks[0] >= 0 and shocks[-1] <= 1
    return shocks if ok else None


def _is_random(names: Sequence[str], systemic: bool) -> bool:
    """Scenarios named 0, 1, …, k−1 (k ≥ 3) that are not each node's failure: random draws."""
    return not systemic and len(names) >= 3 and list(names) == [str(k) for k in range(len(names))]


def _histogram(defaults: Floats) -> Figure:
    """How many scenarios with a clearing vector end with d defaults, d = 0, 1, …, max."""
    counted = defaults[~np.isnan(defaults)].astype(np.int64)
    return {"defaults": np.arange(counted.max() + 1 if counted.size else 0),
            "scenarios": np.bincount(counted) if counted.size else np.zeros(0, dtype=np.int64)}


def _ranking(nodes: list[int], names: list[str], defaults: list[float], losses: list[float],
             top: int) -> Figure:
    """systemic.csv's order: total loss, then defaults, both descending, then node; NaN last."""
    keyed = sorted(range(len(nodes)), key=lambda k: (math.isnan(losses[k]), -np.nan_to_num(losses[k]),
                                                     -np.nan_to_num(defaults[k]), nodes[k]))[:top]
    return {"node": [nodes[k] for k in keyed], "name": [names[k] for k in keyed],
            "defaults": [defaults[k] for k in keyed], "total_loss": [losses[k] for k in keyed]}


def _from_files(path: Path, top: int) -> dict[str, Figure]:
    summary = _read_csv(path)
    nodes = _read_csv(path.with_name("sweep_nodes.csv"))
    scenarios = [row["scenario"] for row in summary]
    data: dict[str, Figure] = {}
    shocks = _shock_of(scenarios)
    if shocks is not None:
        data["shock"] = {
            "shock": shocks,
            "shock_defaults": np.array([_number(r["shock_defaults"]) for r in summary]),
            "contagion_defaults": np.array([_number(r["contagion_defaults"]) for r in summary]),
            "total_loss": np.array([_number(r["total_loss"]) for r in summary]),
        }
    systemic = path.with_name("systemic.csv")
    if systemic.exists():
        rows = _read_csv(systemic)[:top]
        data["systemic"] = {"node": [int(r["node"]) for r in rows], "name": [r["name"] for r in rows],
                            "defaults": [_number(r["defaults"]) for r in rows],
                            "total_loss": [_number(r["total_loss"]) for r in rows]}
    if _is_random(scenarios, "systemic" in data):
        data["defaults"] = _histogram(np.array([_number(r["defaults"]) for r in summary]))
    k = len(scenarios)
    n = len(nodes) // k if k else 0
    if 0 < n <= MAX_NODES and k <= MAX_SCENARIOS:
        rounds = np.array([_number(r["default_round"]) for r in nodes]).reshape(k, n)
        labels = [r["name"] or r["node"] for r in nodes[:n]]
        data["rounds"] = {"rounds": rounds.T, "scenario": scenarios, "node": labels}
    return data


def _from_sweep(s: Sweep, top: int, names: Sequence[str] | None) -> dict[str, Figure]:
    k, n = s.payment.shape
    given = [str(x) for x in names] if names is not None else [""] * n  # as sweep_nodes.csv's name
    labels = [name or str(i) for i, name in enumerate(given)]
    data: dict[str, Figure] = {}
    shocks = _shock_of(s.scenario)
    ok = s.status == "ok"
    if shocks is not None:
        data["shock"] = {"shock": shocks,
                         "shock_defaults": np.where(ok, s.shock_defaults, np.nan),
                         "contagion_defaults": np.where(ok, s.contagion_defaults, np.nan),
                         "total_loss": s.total_loss.copy()}
    # Each node's failure in turn: scenario k takes node k's cash away.
    if k == n and n > 0 and shocks is None and bool(np.all(np.diagonal(s.cash)[ok] == 0)):
        defaults = np.where(ok, s.defaults, np.nan).tolist()
        data["systemic"] = _ranking(list(range(n)), given, defaults, s.total_loss.tolist(), top)
    if _is_random(list(s.scenario), "systemic" in data):
        data["defaults"] = _histogram(np.where(ok, s.defaults, np.nan).astype(float))
    if 0 < n <= MAX_NODES and k <= MAX_SCENARIOS:
        rounds = np.where(ok[:, None], s.default_round, np.nan).astype(float)
        data["rounds"] = {"rounds": rounds.T, "scenario": list(s.scenario), "node": labels}
    return data


def plot_data(source: Source, *, top: int = TOP,
              names: Sequence[str] | None = None) -> dict[str, Figure]:
    """The numbers of each figure that ``source`` has, by figure name.

    ``source``: the path of a ``sweep.csv`` (``sweep_nodes.csv`` and, after
    ``--each-node``, ``systemic.csv`` beside it) or a ``Sweep``. ``"shock"``:
    arrays ``shock``, ``shock_defaults``, ``contagion_defaults``,
    ``total_loss``; ``"systemic"``: lists ``node``, ``name``, ``defaults``,
    ``total_loss`` of the ``top`` first nodes in ``systemic.csv``'s order;
    ``"defaults"``: arrays ``defaults`` (0, 1, …) and ``scenarios`` (how many
    scenarios end with that many defaults);
    ``"rounds"``: ``rounds`` (nodes × scenarios, NaN without a clearing
    vector), ``scenario`` and ``node`` labels. ``names``: a Sweep's node names.
    """
    if isinstance(source, (str, Path)):
        return _from_files(Path(source), top)
    return _from_sweep(source, top, names)


def _draw_shock(plt: Any, d: Figure) -> Any:
    fig, left = plt.subplots(figsize=(7, 4))
    left.stackplot(d["shock"], d["shock_defaults"], d["contagion_defaults"],
                   labels=["defaults in round 1 (shock)", "later defaults (contagion)"], alpha=0.7)
    left.set_xlabel("shock s (share of every node's cash lost)")
    left.set_ylabel("nodes in default")
    right = left.twinx()
    right.plot(d["shock"], d["total_loss"], color="black", label="total loss")
    right.set_ylabel("total loss")
    lines, labels = left.get_legend_handles_labels()
    more, more_labels = right.get_legend_handles_labels()
    left.legend(lines + more, labels + more_labels, loc="upper left")
    return fig


def _draw_systemic(plt: Any, d: Figure) -> Any:
    labels = [name or str(node) for node, name in zip(d["node"], d["name"])]
    fig, ax = plt.subplots(figsize=(7, 0.35 * len(labels) + 1.2))
    y = np.arange(len(labels))
    ax.barh(y, d["total_loss"], color="tab:red")
    ax.set_yticks(y, labels)
    ax.invert_yaxis()
    for k, defaults in enumerate(d["defaults"]):
        if not math.isnan(defaults):
            ax.annotate(f" {int(defaults)} defaults", (np.nan_to_num(d["total_loss"][k]), k), va="center",
                        fontsize=8)
    ax.set_xlabel("total loss when the node fails")
    fig.tight_layout()
    return fig


def _draw_rounds(plt: Any, d: Figure) -> Any:
    rounds = np.ma.masked_invalid(d["rounds"])  # type: ignore[no-untyped-call]
    n, k = rounds.shape
    fig, ax = plt.subplots(figsize=(min(12, 2 + 0.15 * k), min(12, 1.5 + 0.2 * n)))
    image = ax.imshow(rounds, aspect="auto", interpolation="nearest", cmap="magma_r")
    fig.colorbar(image, ax=ax, label="default round (0: never)")
    ax.set_xlabel("scenario")
    ax.set_ylabel("node")
    step = max(1, k // 20)
    ax.set_xticks(range(0, k, step), d["scenario"][::step], rotation=90, fontsize=7)
    ax.set_yticks(range(n), d["node"], fontsize=7)
    fig.tight_layout()
    return fig


def _draw_defaults(plt: Any, d: Figure) -> Any:
    fig, ax = plt.subplots(figsize=(7, 4))
    ax.bar(d["defaults"], d["scenarios"], width=0.9, color="tab:blue")
    ax.set_xlabel("nodes in default")
    ax.set_ylabel("scenarios")
    ax.set_title(f"defaults over {int(np.sum(d['scenarios']))} random scenarios")
    fig.tight_layout()
    return fig


_DRAW: dict[str, Callable[[Any, Figure], Any]] = {"shock": _draw_shock, "systemic": _draw_systemic, "defaults": _draw_defaults,
         "rounds": _draw_rounds}


def plot(source: Source, directory: str | Path | None = None, *, prefix: str = "sweep_",
         formats: Sequence[str] = FORMATS, top: int = TOP,
         names: Sequence[str] | None = None) -> list[Path]:
    """Draws every figure ``source`` has and returns the files written.

    Each figure ``F`` goes to ``directory/{prefix}F.{format}`` (the directory
    of ``sweep.csv`` by default, the working directory for a ``Sweep``).
    """
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    data = plot_data(source, top=top, names=names)
    if directory is None:
        directory = Path(source).parent if isinstance(source, (str, Path)) else Path(".")
    written = []
    for figure, numbers in data.items():
        fig = _DRAW[figure](plt, numbers)
        for fmt in formats:
            path = Path(directory) / f"{prefix}{figure}.{fmt}"
            fig.savefig(path, dpi=100)
            written.append(path)
        plt.close(fig)
    return written


def main(argv: list[str]) -> int:
    if len(argv) != 1 or argv[0] in ("-h", "--help"):
        print("usage: python3 -m clearing.plot DIR/sweep.csv\n"
              "Draws the sweep's figures beside it: sweep_shock, sweep_systemic,\n"
              "sweep_defaults and sweep_rounds, as PNG and SVG, those the sweep has.",
              file=sys.stderr)
        return 0 if argv and argv[0] in ("-h", "--help") else 2
    try:
        written = plot(argv[0])
    except OSError as error:
        print(f"clearing.plot: {error}", file=sys.stderr)
        return 1
    for path in written:
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
