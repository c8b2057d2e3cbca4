"""Arguments to arrays: each converted once, checked before the engine sees it."""

from __future__ import annotations

import numpy as np
import numpy.typing as npt


def as_float_array(x: npt.ArrayLike, name: str, ndim: int) -> npt.NDArray[np.float64]:
    """x as a C-contiguous float64 array of ndim dimensions, finite throughout.

    An array that already is one is used as it is (no copy); anything else
    (lists, float32, Fortran order, strided views) is converted once.
    """
    a = np.ascontiguousarray(x, dtype=np.float64)
    if a.size == 0 and a.ndim != ndim:
        a = a.reshape((0,) * ndim)
    if a.ndim != ndim:
        raise ValueError(f"{name} must have {ndim} dimension(s), got shape {a.shape}")
    with np.errstate(all="ignore"):
        total = a.sum()  # finite only when every entry is: one pass, no n×n temporary
    if not np.isfinite(total) and not np.isfinite(a).all():
        where = tuple(int(k) for k in np.argwhere(~np.isfinite(a))[0])
        index = "".join(f"[{k}]" for k in where)
        raise ValueError(f"{name}{index} is {a[where]!r}: every entry must be finite")
    return a


def network(L: npt.ArrayLike, e: npt.ArrayLike) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """(L, e) checked: L square n×n, e of length n, both finite float64."""
    L = as_float_array(L, "L", 2)
    if L.shape[0] != L.shape[1]:
        raise ValueError(f"L must be square (n×n), got shape {L.shape}")
    e = as_float_array(e, "e", 1)
    if e.shape[0] != L.shape[0]:
        raise ValueError(f"e must have one entry per node ({L.shape[0]}), got {e.shape[0]}")
    return L, e


def costs_of(alpha: float, beta: float) -> tuple[float, float]:
    """The default costs (alpha, beta) checked: each above 0 and at most 1."""
    alpha, beta = float(alpha), float(beta)
    for name, value in (("alpha", alpha), ("beta", beta)):
        if not 0.0 < value <= 1.0:
            raise ValueError(f"{name} must be above 0 and at most 1, got {value!r}")
    return alpha, beta


def threads_of(threads: int | None) -> int:
    """The engine's thread count: 0 (every core) for None."""
    if threads is None:
        return 0
    threads = int(threads)
    if threads < 1:
        raise ValueError(f"threads must be at least 1, got {threads}")
    return threads
