"""clearing.plot: the numbers each figure draws, from the files and from a Sweep, and the
figures written without a display (Agg). Pixels are not compared."""

from __future__ import annotations

import subprocess
import sys

import numpy as np
import pytest

import clearing
from clearing import plot
from conftest import gen_network, program

pytest.importorskip("matplotlib", reason="matplotlib absent (Debian: python3-matplotlib)")


def swept(tmp_path, *arguments, family="coreperiphery", n=30):
    (tmp_path / "input.txt").write_text(gen_network(family, n, 4))
    subprocess.run([program("CLEARING_SWEEP"), *arguments], cwd=tmp_path, check=True)
    return clearing.read_input(tmp_path / "input.txt")


def assert_written(paths, figures):
    assert sorted(p.name for p in paths) == sorted(f"sweep_{f}.{x}" for f in figures for x in ("png", "svg"))
    for path in paths:
        head = path.read_bytes()[:512]
        assert head.startswith(b"\x89PNG") if path.suffix == ".png" else b"<svg" in head


def test_uniform_sweep_draws_defaults_and_loss_against_the_shock(tmp_path):
    L, e = swept(tmp_path, "--uniform-shock", "0:1:0.1")
    s = clearing.sweep(L, e, uniform_shock=(0, 1, 0.1))
    from_files = plot.plot_data(tmp_path / "sweep.csv")
    from_sweep = plot.plot_data(s)
    assert set(from_files) == set(from_sweep) == {"shock", "rounds"}
    for data in (from_files, from_sweep):
        np.testing.assert_array_equal(data["shock"]["shock"], [float(x) for x in s.scenario])
        np.testing.assert_array_equal(data["shock"]["shock_defaults"], s.shock_defaults)
        np.testing.assert_array_equal(data["shock"]["contagion_defaults"], s.contagion_defaults)
        np.testing.assert_array_equal(data["shock"]["total_loss"], s.total_loss)
        np.testing.assert_array_equal(data["rounds"]["rounds"], s.default_round.T)
    assert_written(plot.plot(tmp_path / "sweep.csv"), ["shock", "rounds"])
    out = tmp_path / "from_sweep"
    out.mkdir()
    assert_written(plot.plot(s, out), ["shock", "rounds"])


def test_each_node_ranking_is_systemic_csvs_and_the_sweeps(tmp_path):
    L, e = swept(tmp_path, "--each-node")
    s = clearing.sweep(L, e, each_node=True)
    from_files = plot.plot_data(tmp_path / "sweep.csv", top=10)["systemic"]
    from_sweep = plot.plot_data(s, top=10)["systemic"]
    assert from_files == from_sweep
    losses = from_files["total_loss"]
    assert losses == sorted(losses, reverse=True) and len(losses) == 10
    for node, defaults, loss in zip(from_files["node"], from_files["defaults"], losses):
        assert (defaults, loss) == (s.defaults[node], s.total_loss[node])
    result = subprocess.run([sys.executable, "-m", "clearing.plot", str(tmp_path / "sweep.csv")],
                            capture_output=True, text=True, check=True)
    assert len(result.stdout.splitlines()) == 4
    assert_written(list(tmp_path.glob("sweep_*.*g")), ["systemic", "rounds"])


def test_heat_map_only_up_to_a_readable_size():
    L = np.zeros((plot.MAX_NODES + 1, plot.MAX_NODES + 1))
    L[0, 1] = 1.0
    big = clearing.sweep(L, np.zeros(plot.MAX_NODES + 1), each_node=True)
    assert "rounds" not in plot.plot_data(big)
    assert "systemic" in plot.plot_data(big)


def test_random_sweep_draws_the_histogram_of_defaults(tmp_path):
    L, e = swept(tmp_path, "--random", "200", "--seed", "4", "--loss-mean", "0.05", "--loss-corr", "0.5",
                 family="sparse")
    s = clearing.sweep(L, e, random=200, seed=4, loss_mean=0.05, loss_corr=0.5)
    from_files = plot.plot_data(tmp_path / "sweep.csv")
    from_sweep = plot.plot_data(s)
    assert set(from_files) == set(from_sweep) == {"defaults"}
    counts = np.bincount(s.defaults)
    for data in (from_files, from_sweep):
        np.testing.assert_array_equal(data["defaults"]["defaults"], np.arange(len(counts)))
        np.testing.assert_array_equal(data["defaults"]["scenarios"], counts)
    assert counts.sum() == 200 and np.count_nonzero(counts) > 1  # correlated draws spread
    assert_written(plot.plot(tmp_path / "sweep.csv"), ["defaults"])
