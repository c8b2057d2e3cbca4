"""clearing: networks of debts cleared by the fictitious-default iteration.

``clear(L, e)`` finds the clearing vector of the obligations ``L`` (n×n,
``L[i, j]`` is what node i owes node j) and the outside cash ``e``, with the
very doubles of the ``clearing`` program; ``sweep`` clears many cash
scenarios of one network on every core (or of each network of an
``Ensemble`` sampled from each node's totals), ``dask_sweep`` across a Dask
cluster, a ``Scenario`` in a sweep fails nodes, shocks their cash or sets
entries of L; ``read_input`` and ``write_report`` speak the program's files;
``reconstruct`` makes L from each node's totals when only those are known.
"""

from ._clear import Clearing, clear, read_input, write_report
from ._errors import ClearingError, Indeterminate, InfeasibleTotals, InputError, NoConvergence
from ._dask import dask_sweep
from ._reconstruct import reconstruct
from ._ensemble import Ensemble, EnsembleSummary
from ._scenario import Scenario
from ._sweep import EnsembleSweep, Sweep, sweep

__all__ = [
    "Clearing",
    "ClearingError",
    "Ensemble",
    "EnsembleSummary",
    "EnsembleSweep",
    "Indeterminate",
    "InfeasibleTotals",
    "InputError",
    "NoConvergence",
    "Scenario",
    "Sweep",
    "clear",
    "dask_sweep",
    "read_input",
    "reconstruct",
    "sweep",
    "write_report",
]
