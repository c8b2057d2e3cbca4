"""The Python module beside the C++ it binds, as a Markdown table:

- clearing.clear against bench-motor (the engine called from C++, doing the
  same: L copied in, pBarra and PI, the rounds, the capital, the closed
  groups without cash), each side the best of four calls in a row
  (bench-motor's in a fresh process, whose first calls are slower: the
  heap's pages are not yet the run's);
- clearing.sweep against the clearing-sweep program on the same scenarios
  (each node's cash set to 0 in turn, the first SCENARIOS nodes), one call
  against one run of the program (which also reads input.txt and writes its
  files);
- CALLS calls of clearing.clear on n = 50: the memory before and after (a
  leak shows as growth) and the time per call, against n = 2 (the call's
  own overhead) and n = 2 with the system's memory files absent (the part
  of it that is the memory check's reading).

The two sides of a comparison run in PASSES interleaved pairs, the order
swapped from one pair to the next; the table gives each side's median and
the median of the pairs' ratios, of wall time and of processor time (every
thread's, and a program's as a child process), with the load average: on a
machine shared with other work the wall time is mostly waiting for a core,
and the processor time tells more.

usage: PYTHONPATH=build/python python3 bench/python.py [--small]
environment: BUILD (default build), PASSES (pairs, default 5)
--small runs tiny sizes, to check that the script works; its times mean nothing.
"""

from __future__ import annotations

import functools
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import clearing

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(os.environ.get("BUILD", ROOT / "build")).resolve()
PASSES = int(os.environ.get("PASSES", "5"))
SMALL = "--small" in sys.argv[1:]


def gen(family: str, n: int, where: Path) -> Path:
    where.mkdir(parents=True, exist_ok=True)
    text = subprocess.run([BUILD / "gen-network", family, str(n), "1"], capture_output=True, check=True).stdout
    (where / "input.txt").write_bytes(text)
    return where / "input.txt"


def seconds(run) -> tuple[float, float]:
    """(wall, processor) seconds of run(), the processor time this process's
    threads and its children's took."""
    wall, cpu, children = time.perf_counter(), time.process_time(), resource.getrusage(resource.RUSAGE_CHILDREN)
    run()
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    spent = after.ru_utime + after.ru_stime - children.ru_utime - children.ru_stime
    return time.perf_counter() - wall, time.process_time() - cpu + spent


def least(a: tuple[float, float], b: tuple[float, float]) -> tuple[float, float]:
    return min(a[0], b[0]), min(a[1], b[1])


def load() -> str:
    return " ".join(f"{x:.1f}" for x in os.getloadavg())


def paired(what: str, python, native, native_name: str) -> str:
    """PASSES interleaved pairs of python() and native(), each (wall,
    processor) seconds: the row of their medians and of the median ratios."""
    ours, theirs = [], []
    before = load()
    for k in range(PASSES):
        if k % 2 == 0:
            ours.append(python())
            theirs.append(native())
        else:
            theirs.append(native())
            ours.append(python())
    cells = []
    for j in (0, 1):
        ratios = [p[j] / n[j] for p, n in zip(ours, theirs)]
        cells.append(f"{statistics.median(p[j] for p in ours):.3f} | {statistics.median(n[j] for n in theirs):.3f} "
                     f"| {statistics.median(ratios):.3f} ({min(ratios):.2f}–{max(ratios):.2f})")
    return f"| {what} ({native_name}) | {cells[0]} | {cells[1]} | {before} → {load()} |"


def clear_rows(work: Path) -> list[str]:
    rows = []
    for family, n in ([("alldefault", 60), ("cascade", 80)] if SMALL else [("alldefault", 2000), ("cascade", 4000)]):
        path = gen(family, n, work / f"{family}{n}")
        L, e = clearing.read_input(path)
        clearing.clear(L, e)  # the pool's threads and the heap's pages, as bench-motor's first call has them

        def python() -> tuple[float, float]:
            return functools.reduce(least, (seconds(lambda: clearing.clear(L, e)) for _ in range(4)))

        def native() -> tuple[float, float]:
            done = subprocess.run([BUILD / "bench-motor", path, "4"], capture_output=True, check=True, text=True)
            wall, cpu = done.stdout.split()
            return float(wall), float(cpu)

        rows.append(paired(f"clear, {family} {n}", python, native, "bench-motor"))
    return rows


def sweep_rows(work: Path) -> list[str]:
    n, k = (40, 20) if SMALL else (600, 200)
    where = work / f"sweep{n}"
    L, e = clearing.read_input(gen("sparse", n, where))
    cash = np.repeat(e[None, :], k, axis=0)
    cash[np.arange(k), np.arange(k) % n] = 0.0  # scenario j: node j without cash
    (where / "scenarios.csv").write_text(
        "scenario,node,cash\n" + "".join(f"{j},{j % n},0\n" for j in range(k)))

    def python() -> tuple[float, float]:
        return seconds(lambda: clearing.sweep(L, e, cash))

    def native() -> tuple[float, float]:
        return seconds(lambda: subprocess.run([BUILD / "clearing-sweep", "scenarios.csv"], cwd=where, check=True))

    return [paired(f"sweep, {k} scenarios of sparse {n}", python, native, "clearing-sweep")]


def resident_mib() -> float:
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") / 2**20


def per_call(L, e, calls: int) -> tuple[float, float]:
    def loop() -> None:
        for _ in range(calls):
            clearing.clear(L, e)  # each result dropped at once

    wall, cpu = seconds(loop)
    return wall / calls * 1e6, cpu / calls * 1e6


def loop_rows(work: Path) -> list[str]:
    calls = 500 if SMALL else 10_000
    rng = np.random.default_rng(1)
    L50, e50 = rng.uniform(0, 1, (50, 50)), rng.uniform(0, 5, 50)
    L2, e2 = np.array([[0.0, 10.0], [0.0, 0.0]]), np.array([5.0, 0.0])
    for _ in range(100):
        clearing.clear(L50, e50)  # the allocator's pools settle first
    before, load_before = resident_mib(), load()
    per50 = per_call(L50, e50, calls)
    after = resident_mib()
    per2 = per_call(L2, e2, calls)
    try:
        clearing._native._test_control(system_root=str(work))  # no meminfo there: nothing to read
        bare = per_call(L2, e2, calls)
    finally:
        clearing._native._test_control()
    return [
        f"| {calls} calls of clear on n = 50: resident memory, MiB | {before:.1f} before | {after:.1f} after "
        f"| | | | | {load_before} |",
        f"| one call of clear, µs: n = 50 | {per50[0]:.0f} | | | {per50[1]:.0f} | | | |",
        f"| n = 2 (the call's overhead) | {per2[0]:.0f} | | | {per2[1]:.0f} | | | |",
        f"| n = 2 without the memory files (the overhead but the memory check's reading) "
        f"| {bare[0]:.0f} | | | {bare[1]:.0f} | | | {load()} |",
    ]


def main() -> None:
    for binary in ("gen-network", "bench-motor", "clearing-sweep"):
        if not (BUILD / binary).exists():
            sys.exit(f"no {BUILD / binary}: build first (cmake --build {BUILD})")
    with tempfile.TemporaryDirectory(prefix="clearing-python-bench.") as work:
        rows = clear_rows(Path(work)) + sweep_rows(Path(work)) + loop_rows(Path(work))
    print(f"Medians of {PASSES} interleaved pairs, seconds{' (--small: sizes too small to mean anything)' if SMALL else ''}.\n")
    print("| case | Python wall | C++ wall | ratio (range) | Python CPU | C++ CPU | ratio (range) | load average |")
    print("|---|---:|---:|---:|---:|---:|---:|---|")
    print("\n".join(rows))


if __name__ == "__main__":
    main()
