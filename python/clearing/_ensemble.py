"""Sweeps over an ensemble of networks sampled from each node's totals."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Sequence

import numpy as np
import numpy.typing as npt

from ._arrays import as_float_array


@dataclass(frozen=True)
class Ensemble:
    """``samples`` networks of the density-corrected gravity model of the totals.

    Network k is the one ``reconstruct(liabilities, assets, "sample",
    density=density, seed=seed, network=k)`` makes and ``clearing-reconstruct
    --sample-one k`` writes for a MARGINALS.csv of the same rows: the same
    doubles. ``cash`` is each node's outside cash. ``external`` (optional):
    what each node owes outside the network, owed to one more node named
    ``"outside"``, as the file's ``external`` column. ``names``: the nodes'
    names (default ``"0"``, ``"1"``, …), as the file's ``node`` column.
    From a DataFrame of such a file: ``Ensemble(df.liabilities, df.assets,
    df.cash, samples=K, density=D, seed=S, names=df.node)``.
    """

    liabilities: npt.ArrayLike
    assets: npt.ArrayLike
    cash: npt.ArrayLike
    samples: int
    density: float
    seed: int
    external: npt.ArrayLike | None = None
    names: Sequence[str] | None = None


class EnsembleSummary:
    """Per scenario and node, across the networks: ``sweep_summary.csv``.

    ``scenario`` (the s scenario names) and ``networks`` (per scenario: the
    networks in which it has a clearing vector); s×n arrays
    ``default_probability``, ``mean_shortfall``, ``shortfall_p5``,
    ``shortfall_p50``, ``shortfall_p95`` (NaN where no network had a
    clearing vector); ``names``, the n node names.
    """

    COLUMNS = ("default_probability", "mean_shortfall", "shortfall_p5", "shortfall_p50",
               "shortfall_p95")

    __slots__ = ("scenario", "names", "networks") + COLUMNS

    default_probability: npt.NDArray[np.float64]
    mean_shortfall: npt.NDArray[np.float64]
    shortfall_p5: npt.NDArray[np.float64]
    shortfall_p50: npt.NDArray[np.float64]
    shortfall_p95: npt.NDArray[np.float64]

    def __init__(self, scenario: list[str], names: list[str], networks: npt.NDArray[np.int32],
                 *columns: npt.NDArray[np.float64]) -> None:
        self.scenario = scenario
        self.names = names
        self.networks = networks
        for name, column in zip(self.COLUMNS, columns):
            setattr(self, name, column)

    def to_frame(self) -> Any:
        """A pandas DataFrame with the columns of ``sweep_summary.csv``."""
        import pandas as pd

        s, n = self.default_probability.shape
        frame = {
            "scenario": np.repeat(np.array(self.scenario, dtype=object), n),
            "node": np.tile(np.arange(n), s),
            "name": np.tile(np.array(self.names, dtype=object), s),
            "networks": np.repeat(self.networks, n),
        }
        frame.update({name: getattr(self, name).reshape(-1) for name in self.COLUMNS})
        return pd.DataFrame(frame)


_F = npt.NDArray[np.float64]
# names, liabilities, assets, cash, external, samples, density, seed: sweep_ensemble's first.
Arguments = tuple[list[str], _F, _F, _F, _F | None, int, float, int]


def ensemble_arguments(ensemble: Ensemble) -> tuple[Arguments, list[str], _F]:
    """The ensemble's arrays checked, its names, and its cash with the node outside."""
    if not isinstance(ensemble, Ensemble):
        raise TypeError(f"ensemble must be a clearing.Ensemble, got {type(ensemble).__name__}")
    l = as_float_array(ensemble.liabilities, "liabilities", 1)
    n = l.shape[0]
    arrays = [l]
    for name in ("assets", "cash") + (("external",) if ensemble.external is not None else ()):
        a = as_float_array(getattr(ensemble, name), name, 1)
        if a.shape[0] != n:
            raise ValueError(f"{name} must have one entry per node ({n}), got {a.shape[0]}")
        arrays.append(a)
    external = arrays[3] if len(arrays) > 3 else None
    names = [str(k) for k in range(n)] if ensemble.names is None else [str(x) for x in ensemble.names]
    if len(names) != n:
        raise ValueError(f"names must name each of the {n} nodes, got {len(names)}")
    density = float(ensemble.density)
    if not 0.0 < density <= 1.0:
        raise ValueError(f"density must be above 0 and at most 1, got {density}")
    samples, seed = int(ensemble.samples), int(ensemble.seed)
    if not 0 < samples < 2**64 or not 0 <= seed < 2**64:
        raise ValueError("samples must be from 1, seed from 0, both below 2**64")
    # The scenarios' base cash and names include the node outside.
    all_names = names + (["outside"] if external is not None else [])
    cash = np.concatenate([arrays[2], [0.0]]) if external is not None else arrays[2]
    return (names, l, arrays[1], arrays[2], external, samples, density, seed), all_names, cash
