"""clear, read_input and write_report against the program: its report's
numbers, its bytes and its messages."""

from __future__ import annotations

import csv
import pickle
import subprocess
import sys
import threading

import numpy as np
import pytest

import clearing
from conftest import FAMILIES, GOLDEN_DIR, GOLDEN_INPUTS, as_report, gen_network, report_section, run_clearing

FAILING = {"indeterminado_mutuo", "indeterminado_uno", "dos_nodos_sin_solucion", "no_converge"}
NETWORKS = [(name, text) for name, text in GOLDEN_INPUTS.items()] + [
    (f"{family}-{n}", None) for family in FAMILIES for n in (7, 60)
]


def network_text(name: str, text: str | None) -> str:
    if text is not None:
        return text
    family, n = name.rsplit("-", 1)
    return gen_network(family, int(n), 3)


@pytest.mark.parametrize("name,text", NETWORKS, ids=[n for n, _ in NETWORKS])
def test_clear_and_write_report_match_the_program(tmp_path, name, text):
    stdout, status, report = run_clearing(network_text(name, text), tmp_path)
    if name in GOLDEN_INPUTS:
        assert report == (GOLDEN_DIR / f"{name}.txt").read_bytes()
    L, e = clearing.read_input(tmp_path / "input.txt")
    mine = tmp_path / "mine.txt"
    if status != 0:
        expected = {"El sistema es indeterminado\r\n": clearing.Indeterminate,
                    "El algoritmo no converge\r\n": clearing.NoConvergence}[stdout]
        with pytest.raises(expected) as raised:
            clearing.clear(L, e)
        # The report ends with the failing round's block.
        assert raised.value.round == report.count(b"Paso ")
        with pytest.raises(expected) as raised_too:
            clearing.write_report(mine, L, e)
        assert raised_too.value.round == raised.value.round
        assert mine.read_bytes() == report
        return
    c = clearing.clear(L, e)
    assert [as_report(x) for x in c.p] == report_section(report, "Vector de resolución (p):")
    assert [str(k) for k in c.default_round] == report_section(report, "Vector de pasos en los que quiebra cada nodo:")
    capital = ["0" if x < 1e-8 else as_report(x) for x in c.capital]
    assert capital == report_section(report, "Capital resultante de cada nodo:")
    assert c.rounds == report.count(b"Paso ")
    assert c.default_round.dtype == np.int32
    clearing.write_report(mine, L, e, threads=1)
    assert mine.read_bytes() == report


@pytest.mark.parametrize(
    "text",
    ["abc", "2 1 2 x 4 5 6", "1 1e999 1", "2 1 2 3 4 5", "1 1 " + "x" * 40, "-3", "\xef\xbb\xbf2 1"],
)
def test_read_input_fails_with_the_programs_message(tmp_path, text):
    stdout, status, _ = run_clearing(text, tmp_path)
    assert status == 1
    with pytest.raises((clearing.InputError, MemoryError)) as raised:
        clearing.read_input(tmp_path / "input.txt")
    assert str(raised.value) == stdout.removesuffix("\r\n")


def test_read_input_of_a_missing_file(tmp_path):
    with pytest.raises(OSError, match="^Error al abrir el documento de entrada$"):
        clearing.read_input(tmp_path / "absent.txt")


def test_write_report_to_a_directory_is_an_oserror(tmp_path):
    with pytest.raises(OSError, match="^Error en obrir el fitxer de sortida$"):
        clearing.write_report(tmp_path, [[0.0]], [1.0])


BASE_L = [[0, 10, 2], [3, 0, 10], [1, 1, 0]]
BASE_E = [5, 2, 1]


@pytest.mark.parametrize(
    "convert",
    [
        lambda a: a.tolist(),
        lambda a: a.astype(np.float32),
        lambda a: a.astype(np.int64),
        np.asfortranarray,
        lambda a: np.repeat(np.repeat(a, 2, axis=0), 2, axis=-1)[::2, ::2] if a.ndim == 2 else np.repeat(a, 2)[::2],
    ],
    ids=["lists", "float32", "int64", "fortran", "strided"],
)
def test_inputs_converted_give_the_same_bits(convert):
    L, e = np.array(BASE_L, dtype=float), np.array(BASE_E, dtype=float)
    want = clearing.clear(L, e)
    got = clearing.clear(convert(L), convert(e))
    for field in ("p", "capital", "default_round"):
        assert getattr(got, field).tobytes() == getattr(want, field).tobytes()


def test_a_c_contiguous_float64_network_is_not_copied():
    L, e = np.array(BASE_L, dtype=float), np.array(BASE_E, dtype=float)
    c = clearing.clear(L, e)
    assert c.L is L and c.e is e
    assert np.array_equal(c.payments(), np.array(BASE_L, dtype=float) / c.total_obligations[:, None] * c.p[:, None])


@pytest.mark.parametrize(
    "L,e,message",
    [
        ([[0, 1, 2]], [0], r"L must be square \(n×n\), got shape \(1, 3\)"),
        ([[0, 1], [1, 0]], [0], r"e must have one entry per node \(2\), got 1"),
        ([0, 1], [0, 1], r"L must have 2 dimension\(s\), got shape \(2,\)"),
        ([[0, 1], [np.nan, 0]], [0, 0], r"L\[1\]\[0\] is nan"),
        ([[0, 1], [1, 0]], [0, -np.inf], r"e\[1\] is -inf"),
        ([[0, np.inf], [-np.inf, 0]], [0, 0], r"L\[0\]\[1\] is inf"),
    ],
)
def test_bad_arguments_are_value_errors_naming_the_entry(L, e, message):
    with pytest.raises(ValueError, match=message):
        clearing.clear(L, e)


def test_finite_entries_whose_sum_overflows_are_taken():
    assert clearing.clear([[0, 1e308], [1e308, 0]], [1e308, 1e308]).p.tolist() == [1e308, 1e308]


def test_memory_short_is_a_memory_error_never_a_crash(tmp_path):
    (tmp_path / "proc").mkdir()
    (tmp_path / "proc/meminfo").write_text("MemTotal: 8192 kB\nMemAvailable: 64 kB\nSwapFree: 0 kB\n")
    L, e = np.ones((50, 50)), np.ones(50)
    try:
        clearing._native._test_control(system_root=str(tmp_path))
        with pytest.raises(MemoryError, match="^Memoria insuficient$"):
            clearing.clear(L, e)
        clearing._native._test_control()
        # Every allocation of a run failed in turn: an exception each time, then a result.
        for k in range(200):
            clearing._native._test_control(failing_allocation=k)
            try:
                clearing.clear(L, e)
                break
            except MemoryError:
                pass
        else:
            pytest.fail("200 allocations were not enough")
    finally:
        clearing._native._test_control()


def test_each_call_reads_the_figures_again(tmp_path):
    # The group's folder is found once; what it and meminfo say is read at every call.
    files = {
        "proc/meminfo": "MemTotal: 8388608 kB\nMemAvailable: 4194304 kB\nSwapFree: 0 kB\n",
        "proc/self/cgroup": "0::/a\n",
        "sys/fs/cgroup/a/memory.max": "1073741824",
        "sys/fs/cgroup/a/memory.current": "0",
    }
    for name, text in files.items():
        (tmp_path / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / name).write_text(text)
    L, e = np.ones((50, 50)), np.ones(50)
    try:
        clearing._native._test_control(system_root=str(tmp_path))
        for name, short in [("sys/fs/cgroup/a/memory.max", "65536"), ("proc/meminfo", "MemAvailable: 64 kB\n")]:
            clearing.clear(L, e)
            (tmp_path / name).write_text(short)
            with pytest.raises(MemoryError, match="^Memoria insuficient$"):
                clearing.clear(L, e)
            (tmp_path / name).write_text(files[name])
    finally:
        clearing._native._test_control()


def test_threads_do_not_change_the_bits():
    L = np.array([[0, 10, 2], [3, 0, 10], [1, 1, 0]], dtype=float)
    want = clearing.clear(L, [1, 2, 0.5], threads=1)
    results = [None] * 4

    def run(k):
        results[k] = clearing.clear(L, [1, 2, 0.5], threads=k + 1)

    workers = [threading.Thread(target=run, args=(k,)) for k in range(4)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    assert all(r.p.tobytes() == want.p.tobytes() for r in results)


def test_to_frame_holds_the_exports_results_csv():
    bancos = GOLDEN_DIR.parent.parent / "examples" / "bancos"
    names = (bancos / "nodes.txt").read_text(encoding="utf-8").splitlines()
    frame = clearing.clear(*clearing.read_input(bancos / "input.txt")).to_frame(names)
    with open(bancos / "expected" / "results.csv", newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    assert list(frame.columns) == list(rows[0].keys())
    for k, row in enumerate(rows):
        for column, text in row.items():
            value = frame[column][k]
            assert (np.isnan(value) if text == "" else str(value) == text or float(text) == value), column


def test_the_module_imports_and_clears_without_pandas_or_dask():
    code = ("import sys; sys.modules['pandas'] = sys.modules['distributed'] = None; "
            "import clearing; print(clearing.clear([[0, 10], [0, 0]], [5, 0]).p)")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert done.stdout == "[5. 0.]\n"


@pytest.mark.parametrize(
    "name,group", [("indeterminado_mutuo", (0, 1)), ("indeterminado_uno", (0,)), ("dos_nodos_sin_solucion", (0, 1))]
)
def test_an_indeterminate_round_names_its_group_and_beta_below_one_clears(tmp_path, name, group):
    (tmp_path / "input.txt").write_text(GOLDEN_INPUTS[name])
    L, e = clearing.read_input(tmp_path / "input.txt")
    with pytest.raises(clearing.Indeterminate) as raised:
        clearing.clear(L, e)
    assert raised.value.group == group
    assert pickle.loads(pickle.dumps(raised.value)).group == group
    clearing.clear(L, e, alpha=0.9, beta=0.9)


def test_costs_on_the_bank_example_as_documented():
    bancos = GOLDEN_DIR.parent.parent / "examples" / "bancos"
    L, e = clearing.read_input(bancos / "input.txt")
    c = clearing.clear(L, e, alpha=0.9, beta=0.9)
    assert c.p.tolist() == [9.9, 9.62027027027027, 7.0, 0.0]
    assert c.default_round.tolist() == [1, 2, 0, 0]
    assert c.regular and c.cashless_groups == []
    plain = clearing.clear(L, e)
    assert clearing.clear(L, e, alpha=1, beta=1).p.tobytes() == plain.p.tobytes()
    circle = clearing.clear([[0, 10], [10, 0]], [0, 0])
    assert not circle.regular and circle.cashless_groups == [[0, 1]]


@pytest.mark.parametrize("costs", [{"alpha": 0}, {"beta": 1.5}, {"alpha": float("nan")}])
def test_costs_outside_0_1_are_value_errors(costs):
    with pytest.raises(ValueError, match="must be above 0 and at most 1"):
        clearing.clear([[0, 1], [0, 0]], [1, 0], **costs)
