# The compiled module behind clearing: arguments already checked and
# converted by the package (C-contiguous float64, L n×n, e of n, finite).
from typing import Any

import numpy as np
import numpy.typing as npt

_F = npt.NDArray[np.float64]
_I = npt.NDArray[np.int32]

def clear(
    L: _F, e: _F, threads: int, alpha: float, beta: float
) -> tuple[_F, _I, _F, int, _F, list[list[int]]]: ...
def read_input(path: str) -> tuple[_F, _F]: ...
def write_report(path: str, L: _F, e: _F, threads: int) -> None: ...
def reconstruct(
    liabilities: _F, assets: _F, method: str, density: float, seed: int, network: int
) -> tuple[_F | None, str, int, str]: ...
def _test_control(system_root: str = "/", failing_allocation: int = -1) -> None: ...
def sweep(
    L: _F, e: _F, cash: _F | None, each_node: bool, shock: str, names: list[str], threads: int,
    alpha: float, beta: float, each_node_fails: float, groups: list[str], members: list[list[int]],
    each_group: bool, shocked: list[int], random: int, seed: int, loss_mean: float, loss_corr: float,
    cache_mb: float
) -> tuple[
    list[str], npt.NDArray[np.int8], _I, _I, _F, _F, _I, _F, _F, npt.NDArray[np.bool_], _I, _I, _F, _F,
    _F, _F, _F
]: ...
def sweep_scenarios(
    L: _F, e: _F, threads: int, alpha: float, beta: float, names: list[str], nodes: list[int],
    kinds: list[int], values: list[float], change_ends: list[int], debtors: list[int],
    creditors: list[int], amounts: list[float], obligation_ends: list[int], cache_mb: float
) -> tuple[Any, ...]: ...
def sweep_ensemble(
    names: list[str], liabilities: _F, assets: _F, cash: _F, external: _F | None, samples: int,
    density: float, seed: int, scenarios: _F | None, each_node: bool, shock: str, threads: int,
    alpha: float, beta: float
) -> tuple[Any, ...]: ...
