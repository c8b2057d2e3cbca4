"""sweep against clear, scenario by scenario, and against clearing-sweep's files."""

from __future__ import annotations

import csv
import os
import shutil
import signal
import subprocess
import threading
import time

import numpy as np
import pytest

import clearing
from conftest import gen_network, program


def network(tmp_path, family="cascade", n=40, seed=5):
    (tmp_path / "input.txt").write_text(gen_network(family, n, seed))
    return clearing.read_input(tmp_path / "input.txt")


def assert_same_as_clear(s, L, cash, **costs):
    for k, row in enumerate(cash):
        try:
            c = clearing.clear(L, row, **costs)
        except (clearing.Indeterminate, clearing.NoConvergence) as error:
            want = "indeterminate" if isinstance(error, clearing.Indeterminate) else "no_convergence"
            assert (s.status[k], s.rounds[k]) == (want, error.round)
            assert np.isnan(s.payment[k]).all() and s.defaults[k] == -1
            continue
        assert s.status[k] == "ok" and s.rounds[k] == c.rounds
        assert s.regular[k] == c.regular
        assert s.payment[k].tobytes() == c.p.tobytes()
        assert s.default_round[k].tobytes() == c.default_round.tobytes()
        assert s.defaults[k] == np.count_nonzero(c.default_round)
        assert_what_a_scenario_tells(s, k, c, L, row)


def assert_what_a_scenario_tells(s, k, c, L, cash):
    """The columns beside the payments against their definitions."""
    assert s.cash[k].tobytes() == np.asarray(cash, dtype=float).tobytes()
    assert s.capital[k].tobytes() == c.capital.tobytes()  # the engine's own
    owes = c.total_obligations
    np.testing.assert_array_equal(s.recovery_rate[k][owes != 0], c.p[owes != 0] / owes[owes != 0])
    assert np.isnan(s.recovery_rate[k][owes == 0]).all()
    L = np.asarray(L, dtype=float)
    PI = np.divide(L, owes[:, None], out=np.zeros_like(L), where=owes[:, None] != 0)
    owed, received = PI.T @ owes, PI.T @ c.p
    scale = 1.0 + np.abs(owed) + np.abs(received)
    assert (np.abs(s.loss[k] - (owed - received)) <= 1e-9 * scale).all()
    assert (s.shock_defaults[k], s.contagion_defaults[k]) == (
        np.count_nonzero(c.default_round == 1), np.count_nonzero(c.default_round > 1))
    assert s.total_capital[k] == sum(s.capital[k].tolist(), 0.0)  # ascending node order
    assert s.total_loss[k] == sum(s.loss[k].tolist(), 0.0)


@pytest.mark.parametrize("family", ["cascade", "alldefault", "adversarial"])
def test_sweep_matches_clear_per_scenario(tmp_path, family):
    L, e = network(tmp_path, family)
    rng = np.random.default_rng(1)
    cash = e * rng.uniform(0.0, 1.5, size=(12, e.shape[0]))
    assert_same_as_clear(clearing.sweep(L, e, cash, threads=2), L, cash)
    shocked = clearing.sweep(L, e, uniform_shock=(0.0, 1.0, 0.125))
    factors = 1.0 - (0.0 + np.arange(9) * 0.125)
    assert_same_as_clear(shocked, L, e[None, :] * factors[:, None])
    costs = {"alpha": 0.9, "beta": 0.7}
    assert_same_as_clear(clearing.sweep(L, e, cash, threads=2, **costs), L, cash, **costs)


def test_scenarios_without_a_clearing_vector_are_rows_like_the_others():
    L = [[0, 10], [10, 0]]
    cash = [[-5, 0], [5, 0], [0, 0]]
    s = clearing.sweep(L, [0, 0], cash)
    assert list(s.status) == ["indeterminate", "ok", "ok"]
    assert list(s.regular) == [False, True, False]  # a two-bank circle, cash or none
    assert_same_as_clear(s, L, cash)


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.DictReader(f))


RANDOM = ["--random", "25", "--seed", "8", "--loss-mean", "0.2", "--loss-corr", "0.35"]
GROUPS = {"core": [0, 1, 2, 3], "rest": [7, 9, 20]}


@pytest.mark.parametrize(
    "arguments", [["--each-node"], ["--uniform-shock", "0:1:0.1"], ["--costs", "0.9:0.9", "--each-node"],
                  ["--each-node-fails", "0.3"], RANDOM, ["--groups", "g.csv", "--each-group"],
                  ["--groups", "g.csv", "--uniform-shock", "0:1:0.25", "--group", "rest"]]
)
def test_sweep_matches_clearing_sweeps_files(tmp_path, arguments):
    L, e = network(tmp_path, "coreperiphery", 30, 2)
    (tmp_path / "g.csv").write_text("node,group\n" + "".join(
        f"{node},{group}\n" for group, nodes in GROUPS.items() for node in nodes))
    subprocess.run([program("CLEARING_SWEEP"), *arguments], cwd=tmp_path, check=True)
    costs = {"alpha": 0.9, "beta": 0.9} if arguments[0] == "--costs" else {}
    if arguments[-1] == "--each-node":
        s = clearing.sweep(L, e, each_node=True, **costs)
    elif arguments[0] == "--each-node-fails":
        s = clearing.sweep(L, e, each_node_fails=0.3)
    elif arguments == RANDOM:
        s = clearing.sweep(L, e, random=25, seed=8, loss_mean=0.2, loss_corr=0.35)
    elif arguments[-1] == "--each-group":
        s = clearing.sweep(L, e, groups=GROUPS, each_group=True)
    elif arguments[-1] == "rest":
        s = clearing.sweep(L, e, groups=GROUPS, uniform_shock=(0, 1, 0.25), group="rest")
    else:
        s = clearing.sweep(L, e, uniform_shock=(0, 1, 0.1))
    assert_same_as_files(s, tmp_path)


def assert_same_as_files(s, directory):
    """Every column of clearing-sweep's sweep.csv and sweep_nodes.csv, to the double."""
    summary, nodes = s.to_frames()
    rows = read_csv(directory / "sweep.csv")
    assert list(summary.columns) == list(rows[0].keys())
    assert [r["scenario"] for r in rows] == list(s.scenario)
    for k, row in enumerate(rows):
        assert row["status"] == s.status[k] and int(row["rounds"]) == s.rounds[k]
        assert int(row["defaults"]) == s.defaults[k]
        assert float(row["total_payments"]) == s.total_payments[k]
        assert float(row["total_shortfall"]) == s.total_shortfall[k]
        assert row["regular"] == ("true" if s.regular[k] else "false")
    node_rows = read_csv(directory / "sweep_nodes.csv")
    assert list(nodes.columns) == list(node_rows[0].keys())
    assert [float(r["payment"]) for r in node_rows] == list(nodes["payment"])
    assert [int(r["default_round"]) for r in node_rows] == list(nodes["default_round"])
    for column in ("shock_defaults", "contagion_defaults", "total_capital", "total_loss"):
        assert [float(r[column]) for r in rows] == list(summary[column]), column
    for column in ("cash", "capital", "recovery_rate", "loss"):
        want = [float(r[column]) if r[column] else np.nan for r in node_rows]
        np.testing.assert_array_equal(want, nodes[column].to_numpy(), err_msg=column)


BANKS = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "bancos")
NORTE, SUR, RURAL = "Banco Norte", "Banco Sur", "Caja Rural, S.A."


def test_stress_scenarios_match_clearing_sweeps_files(tmp_path):
    """Failures, shocks, cash, groups and entries of L of one mapping, against the same
    scenarios written as clearing-sweep's SCENARIOS.csv, CHANGES.csv and GROUPS.csv."""
    for name in ("input.txt", "nodes.txt", "groups.csv"):
        shutil.copy(os.path.join(BANKS, name), tmp_path / name)
    (tmp_path / "s.csv").write_text(
        "scenario,node,cash,shock,fail\n"
        "norte fails,Banco Norte,,,0.4\n"
        "banks lose a fifth,group:banks,,0.2,\n"
        'mixed,"Caja Rural, S.A.",1.5,,\n'
        "mixed,Banco Sur,,0.3,0.5\n"
        "plain,Banco Norte,3,,\n")
    (tmp_path / "c.csv").write_text(
        "scenario,debtor,creditor,amount\n"
        'mixed,Banco Sur,"Caja Rural, S.A.",2\n'
        "write-down,Banco Norte,Banco Sur,10\n"
        "mixed,#0,#3,0\n")
    subprocess.run([program("CLEARING_SWEEP"), "s.csv", "--obligations", "c.csv", "--groups",
                    "groups.csv"], cwd=tmp_path, check=True)
    L, e = clearing.read_input(tmp_path / "input.txt")
    scenarios = {
        "norte fails": clearing.Scenario(fail={NORTE: 0.4}),
        "banks lose a fifth": clearing.Scenario(shock={"group:banks": 0.2}),
        "mixed": clearing.Scenario(cash={RURAL: 1.5}, shock={SUR: 0.3}, fail={1: 0.5},
                                   obligations={(SUR, RURAL): 2, (0, 3): 0}),
        "plain": {NORTE: 3},
        "write-down": clearing.Scenario(obligations={(NORTE, SUR): 10}),
    }
    groups = {"banks": [NORTE, SUR], "rural": [RURAL]}
    s = clearing.sweep(L, e, scenarios, names=[NORTE, SUR, RURAL, "Depositors"], groups=groups,
                       threads=2)
    assert list(s.status) == ["ok"] * 5 and s.default_round[0][0] == 1
    assert_same_as_files(s, tmp_path)


@pytest.mark.parametrize(
    "arguments", [["--each-node"], ["--costs", "0.9:0.8", "--uniform-shock", "0:0.9:0.3"]]
)
def test_ensemble_sweep_matches_clearing_sweeps_files(tmp_path, arguments):
    """The bank example's totals (an external column: a node outside) over 12 networks."""
    marginals = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "bancos", "marginals.csv")
    sample = ["--sample", "12", "--density", "0.4", "--seed", "3"]
    subprocess.run([program("CLEARING_SWEEP"), "--ensemble", marginals, *sample, *arguments],
                   cwd=tmp_path, check=True)
    rows = read_csv(marginals)
    column = lambda name: [float(r[name]) for r in rows]
    ensemble = clearing.Ensemble(column("liabilities"), column("assets"), column("cash"), samples=12,
                                 density=0.4, seed=3, external=column("external"),
                                 names=[r["node"] for r in rows])
    costs = {"alpha": 0.9, "beta": 0.8} if arguments[0] == "--costs" else {}
    scenarios = {"each_node": True} if "--each-node" in arguments else {"uniform_shock": (0, 0.9, 0.3)}
    s = clearing.sweep(ensemble=ensemble, threads=3, **costs, **scenarios)
    summary, nodes = s.to_frames()
    for frame, name in ((summary, "sweep.csv"), (nodes, "sweep_nodes.csv")):
        want = read_csv(tmp_path / name)
        assert list(frame.columns) == list(want[0].keys())
        assert [int(r["network"]) for r in want] == list(frame["network"])
        assert [r["scenario"] for r in want] == list(frame["scenario"])
    want = read_csv(tmp_path / "sweep_nodes.csv")
    assert [float(r["payment"]) for r in want] == list(nodes["payment"])
    assert [r["name"] for r in want] == list(nodes["name"])
    figures = s.summary.to_frame()
    want = read_csv(tmp_path / "sweep_summary.csv")
    assert list(figures.columns) == list(want[0].keys())
    assert [int(r["networks"]) for r in want] == list(figures["networks"])
    for name in clearing.EnsembleSummary.COLUMNS:
        expected = [float(r[name]) if r[name] else np.nan for r in want]
        np.testing.assert_array_equal(expected, figures[name].to_numpy(), err_msg=name)


def test_two_python_threads_sweep_at_once_with_any_cache(tmp_path):
    L, e = network(tmp_path, "sparse", 60, 9)
    want = clearing.sweep(L, e, uniform_shock=(0, 1, 0.02), threads=1, cache_mb=0)
    results = [None, None]

    def run(k):
        results[k] = clearing.sweep(L, e, uniform_shock=(0, 1, 0.02), threads=2,
                                    cache_mb=[None, 0.001][k])

    workers = [threading.Thread(target=run, args=(k,)) for k in range(2)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    for r in results:
        assert r.payment.tobytes() == want.payment.tobytes()
        assert r.total_shortfall.tobytes() == want.total_shortfall.tobytes()


def test_ctrl_c_stops_a_sweep_between_scenarios(tmp_path):
    L, e = network(tmp_path, "cascade", 200, 4)
    timer = threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        clearing.sweep(L, e, uniform_shock=(0, 1, 1e-6))  # a million scenarios
    # Well within the minutes a sweep of this size would take; loose, as a
    # loaded machine may be slow to deliver the signal.
    assert time.monotonic() - start < 10
    timer.join()


S = clearing.Scenario


@pytest.mark.parametrize(
    "kwargs,message",
    [
        ({}, "exactly one of"),
        ({"scenarios": [[1, 2]], "each_node": True}, "exactly one of"),
        ({"scenarios": {"a": {"nobody": 1}}}, "scenario 'a': unknown node 'nobody'"),
        ({"scenarios": {"a": {2: 1}}}, "scenario 'a': unknown node 2"),
        ({"scenarios": [[1, 2, 3]]}, r"one column per node \(2\)"),
        ({"uniform_shock": (1, 0, 0.1)}, "uniform_shock"),
        ({"each_node_fails": 1.5}, "each_node_fails"),
        ({"random": 3, "loss_mean": 1.0}, "loss_mean"),
        ({"uniform_shock": (0, 1, 0.5), "group": "g"}, "need groups"),
        ({"each_node": True, "cache_mb": -1}, "cache_mb must be at least 0"),
        ({"scenarios": {"a": {0: -1}}}, "scenario 'a': cash -1 of 0 is not at least 0"),
        ({"scenarios": {"a": S(shock={0: 1.5})}}, r"shock 1.5 of 0 is not in \[0, 1\]"),
        ({"scenarios": {"a": S(fail={1: -0.1})}}, r"fail -0.1 of 1 is not in \[0, 1\]"),
        ({"scenarios": {"a": S(obligations={(0, 1): -2})}}, r"amount -2 of \(0, 1\) is not at least 0"),
        ({"scenarios": {"a": S(obligations={(1, 1): 2})}}, "1 does not owe itself"),
        ({"scenarios": {"a": S(obligations={(0, 7): 2})}}, "scenario 'a': unknown node 7"),
        ({"scenarios": {"a": S(shock={"group:x": 0.1})}, "groups": {"g": [0]}}, "unknown group 'x'"),
        ({"scenarios": {"a": S(cash={0: 1}, shock={"group:g": 0.1})}, "groups": {"g": [0, 1]}},
         "node 0 has its cash changed .* twice"),
    ],
)
def test_bad_scenarios_are_value_errors(kwargs, message):
    with pytest.raises(ValueError, match=message):
        clearing.sweep([[0, 1], [0, 0]], [1, 1], **kwargs)


def test_dask_sweep_on_a_local_cluster_gives_the_same_bits(tmp_path):
    distributed = pytest.importorskip("distributed", reason="dask.distributed absent (Debian: python3-distributed)")
    L, e = network(tmp_path, "densecascade", 30, 7)
    cash = e * np.random.default_rng(3).uniform(0.0, 1.2, size=(50, e.shape[0]))
    want = clearing.sweep(L, e, cash)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            got = clearing.dask_sweep(client, L, e, cash, chunk=8)
    assert got.scenario == want.scenario
    for field in ("status", "defaults", "rounds", "total_payments", "total_shortfall", "default_round", "payment",
                  *clearing.Sweep.ADDED):
        assert getattr(got, field).tobytes() == getattr(want, field).tobytes(), field
