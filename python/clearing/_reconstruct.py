"""A network from each node's totals: clearing-reconstruct's methods on arrays."""

from __future__ import annotations

import numpy as np
import numpy.typing as npt

from . import _native
from ._arrays import as_float_array
from ._errors import InfeasibleTotals

_METHODS = ("max_entropy", "sparse", "sample")


def reconstruct(
    liabilities: npt.ArrayLike,
    assets: npt.ArrayLike,
    method: str = "max_entropy",
    *,
    density: float | None = None,
    seed: int | None = None,
    network: int = 0,
) -> npt.NDArray[np.float64]:
    """The obligations matrix L (n×n) of a network of which only the totals are known.

    The same code and the same doubles as ``clearing-reconstruct``: row i of
    the result sums to ``liabilities[i]`` (what node i owes inside the
    network) and column j to ``assets[j]`` (what node j is owed), and the
    diagonal is 0. Grand totals within 1e-9 of each other are made one by
    scaling the assets.

    Parameters
    ----------
    liabilities, assets : array_like of float, shape (n,)
        Each node's totals, 0 or more, finite.
    method : {"max_entropy", "sparse", "sample"}
        ``"max_entropy"``: every pair linked, the matrix closest in relative
        entropy to the product of the totals (fitted to 1e-12 of the total).
        ``"sparse"``: at most 2n − 1 links, greedily from the largest totals.
        ``"sample"``: network ``network`` of the density-corrected gravity
        model of seed ``seed``, ``density``·n(n − 1) links expected; its sums
        hold in expectation only.
    density : float, for ``"sample"``
        Above 0 and at most 1.
    seed, network : int, for ``"sample"``
        The network depends on (seed, network) alone: ``clearing-reconstruct
        --sample-one NETWORK --seed SEED`` writes the same numbers.

    Returns
    -------
    ndarray of float64, shape (n, n)

    Raises
    ------
    InfeasibleTotals
        No network meets the totals (negative totals, grand totals that
        differ by more than 1e-9 relative, a node that owes more than all the
        others are owed), or the fitting or the density cannot be met;
        ``node`` is the node at fault, or None.
    ValueError
        A wrong argument: shapes, a non-finite total, an unknown method, a
        missing or out-of-range density or seed.

    Examples
    --------
    >>> import clearing
    >>> L = clearing.reconstruct([12.5, 8, 4], [4, 12.5, 8], "sparse")
    >>> L.tolist()
    [[0.0, 12.5, 0.0], [0.0, 0.0, 8.0], [4.0, 0.0, 0.0]]
    """
    l = as_float_array(liabilities, "liabilities", 1)
    a = as_float_array(assets, "assets", 1)
    if a.shape != l.shape:
        raise ValueError(
            f"assets must have one entry per node ({l.shape[0]}), got {a.shape[0]}"
        )
    if method not in _METHODS:
        raise ValueError(f"method must be one of {', '.join(_METHODS)}, got {method!r}")
    if method == "sample":
        if density is None or seed is None:
            raise ValueError('method "sample" needs density and seed')
        density = float(density)
        if not 0.0 < density <= 1.0:
            raise ValueError(f"density must be above 0 and at most 1, got {density}")
        seed, network = int(seed), int(network)
        if not 0 <= seed < 2**64 or not 0 <= network < 2**64:
            raise ValueError("seed and network must be whole numbers from 0 to 2**64 - 1")
    L, error, node, _ = _native.reconstruct(
        l, a, method, float(density or 0.0), int(seed or 0), int(network)
    )
    if error:
        raise InfeasibleTotals(error, None if node < 0 else node)
    assert L is not None  # made whenever there is no error
    return L
