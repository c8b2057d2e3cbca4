"""reconstruct against clearing-reconstruct: the same numbers from the same
totals, the defining sums, and the refusals as exceptions."""

from __future__ import annotations

import subprocess

import numpy as np
import pytest

import clearing
from conftest import program

TOTALS = {"A": (30, 10, 5), "B": (12.5, 40, 1), "C": (7, 3, 0), "D": (20, 16.5, 2), "E": (0.5, 0.5, 0)}


def from_program(tmp_path, *arguments):
    """L of input.txt that clearing-reconstruct writes for TOTALS."""
    rows = "".join(f"{name},{l},{a},{c}\n" for name, (l, a, c) in TOTALS.items())
    (tmp_path / "m.csv").write_text("node,liabilities,assets,cash\n" + rows)
    subprocess.run([program("CLEARING_RECONSTRUCT"), *arguments, "m.csv"], cwd=tmp_path, check=True,
                   capture_output=True)
    return clearing.read_input(tmp_path / "input.txt")[0]


@pytest.mark.parametrize(
    "method, arguments, keywords",
    [
        ("max_entropy", ["--max-entropy"], {}),
        ("sparse", ["--sparse"], {}),
        ("sample", ["--sample-one", "3", "--density", "0.4", "--seed", "77"],
         {"density": 0.4, "seed": 77, "network": 3}),
    ],
)
def test_the_same_doubles_as_the_program(tmp_path, method, arguments, keywords):
    l = [t[0] for t in TOTALS.values()]
    a = [t[1] for t in TOTALS.values()]
    L = clearing.reconstruct(l, a, method, **keywords)
    assert L.dtype == np.float64 and L.shape == (5, 5)
    np.testing.assert_array_equal(L, from_program(tmp_path, *arguments))
    assert np.all(np.diag(L) == 0)
    if method != "sample":
        np.testing.assert_allclose(L.sum(axis=1), l, rtol=0, atol=1e-12 * sum(l))
        np.testing.assert_allclose(L.sum(axis=0), a, rtol=0, atol=1e-12 * sum(l))


@pytest.mark.parametrize(
    "l, a, node, start",
    [
        ([1, -1], [0, 0], 1, "the liabilities of node 1 are negative"),
        ([10, 5], [5, 9], None, "the liabilities add up to 15 and the assets to 14"),
        ([12, 4, 4], [9, 6, 5], 0, "node 0 owes 12 but all the other nodes are owed 11"),
    ],
)
def test_infeasible_totals_raise_with_the_node(l, a, node, start):
    with pytest.raises(clearing.InfeasibleTotals) as caught:
        clearing.reconstruct(l, a, "sparse")
    assert caught.value.node == node
    assert str(caught.value).startswith(start)
    assert isinstance(caught.value, ValueError)


def test_wrong_arguments_are_value_errors():
    with pytest.raises(ValueError, match="one entry per node"):
        clearing.reconstruct([1, 1], [1, 1, 0])
    with pytest.raises(ValueError, match="liabilities\\[1\\] is nan"):
        clearing.reconstruct([1, float("nan")], [1, 1])
    with pytest.raises(ValueError, match="method must be one of"):
        clearing.reconstruct([1, 1], [1, 1], "gravity")
    with pytest.raises(ValueError, match="needs density and seed"):
        clearing.reconstruct([1, 1], [1, 1], "sample", density=0.5)
    with pytest.raises(clearing.InfeasibleTotals, match="asks for 3 links"):
        clearing.reconstruct([1, 1, 0], [1, 1, 0], "sample", density=0.5, seed=1)
