"""The sweep past one machine: chunks of scenarios on the workers of a
dask.distributed cluster (imported only here, and only when used)."""

from __future__ import annotations

from typing import Any, Mapping, Sequence

import numpy as np
import numpy.typing as npt

from ._arrays import costs_of, network, threads_of
from ._sweep import Sweep, _cash_of, sweep

_F = npt.NDArray[np.float64]


def _sweep_chunk(L: _F, e: _F, cash: _F, threads: int | None,
                 alpha: float, beta: float) -> Sweep:
    return sweep(L, e, cash, alpha=alpha, beta=beta, threads=threads)


def dask_sweep(
    client: Any,
    L: npt.ArrayLike,
    e: npt.ArrayLike,
    scenarios: Mapping[str, Mapping[int | str, float]] | npt.ArrayLike,
    *,
    chunk: int = 256,
    names: Sequence[str] | None = None,
    alpha: float = 1.0,
    beta: float = 1.0,
    threads: int | None = None,
) -> Sweep:
    """``sweep(L, e, scenarios)`` on the workers of a ``dask.distributed`` client.

    ``L`` and ``e`` are scattered once to every worker; the scenarios (a k×n
    array of cash vectors, or a mapping name → {node: cash} as in ``sweep``)
    go in chunks of ``chunk`` rows, each swept on a worker with ``threads``
    threads (default: the worker machine's cores), with the default costs
    ``alpha``, ``beta`` of ``sweep``. The result is the
    ``Sweep`` that ``sweep`` returns, bit for bit: every scenario is cleared
    alone, wherever it runs.
    """
    L, e = network(L, e)
    cash, labels = _cash_of(scenarios, e, None if names is None else list(names))
    threads_of(threads)
    costs_of(alpha, beta)
    if chunk < 1:
        raise ValueError(f"chunk must be at least 1, got {chunk}")
    L_there, e_there = client.scatter([L, e], broadcast=True)
    futures = [
        client.submit(_sweep_chunk, L_there, e_there, cash[start : start + chunk], threads, alpha, beta,
                      pure=False)
        for start in range(0, cash.shape[0], chunk)
    ]
    parts = client.gather(futures) or [sweep(L, e, cash, alpha=alpha, beta=beta, threads=1)]
    fields = ("status", "defaults", "rounds", "total_payments", "total_shortfall", "default_round", "payment")
    joined = [np.concatenate([getattr(part, field) for part in parts]) for field in fields]
    regular = np.concatenate([part.regular for part in parts])
    added = [np.concatenate([getattr(part, field) for part in parts]) for field in Sweep.ADDED]
    columns: list[Any] = [labels, *joined, parts[0].total_obligations, regular, *added]
    return Sweep(*columns)
