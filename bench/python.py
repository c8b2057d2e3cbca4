"""The Python module beside the C++ it binds, as a Markdown table:

- clearing.clear against bench-motor (the engine called from C++, doing the
  same: L copied in, pBarra and PI, the rounds, the capital), best of PASSES;
- clearing.sweep against the clearing-sweep program on the same scenarios
  (each node's cash set to 0 in turn, the first SCENARIOS nodes), best of PASSES;
- CALLS calls of clearing.clear on n = 50: the memory before and after (a
  leak shows as growth) and the time per call, against n = 2 (the call's
  own overhead).

usage: PYTHONPATH=build/python python3 bench/python.py [--small]
environment: BUILD (default build), PASSES (default 3)
--small runs tiny sizes, to check that the script works; its times mean nothing.
"""

from __future__ import annotations

import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import clearing

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(os.environ.get("BUILD", ROOT / "build")).resolve()
PASSES = int(os.environ.get("PASSES", "3"))
SMALL = "--small" in sys.argv[1:]


def gen(family: str, n: int, where: Path) -> Path:
    where.mkdir(parents=True, exist_ok=True)
    text = subprocess.run([BUILD / "gen-network", family, str(n), "1"], capture_output=True, check=True).stdout
    (where / "input.txt").write_bytes(text)
    return where / "input.txt"


def best(run) -> float:
    times = []
    for _ in range(PASSES):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def row(what: str, python: float, native: float, native_name: str) -> str:
    return f"| {what} | {python:.4f} | {native:.4f} ({native_name}) | {python / native:.3f} |"


def clear_rows(work: Path) -> list[str]:
    rows = []
    for family, n in ([("alldefault", 60), ("cascade", 80)] if SMALL else [("alldefault", 2000), ("cascade", 4000)]):
        path = gen(family, n, work / f"{family}{n}")
        L, e = clearing.read_input(path)
        python = best(lambda: clearing.clear(L, e))
        native = float(subprocess.run([BUILD / "bench-motor", path, str(PASSES)], capture_output=True,
                                      check=True, text=True).stdout)
        rows.append(row(f"clear, {family} {n}", python, native, "bench-motor"))
    return rows


def sweep_rows(work: Path) -> list[str]:
    n, k = (40, 20) if SMALL else (600, 200)
    where = work / f"sweep{n}"
    L, e = clearing.read_input(gen("sparse", n, where))
    cash = np.repeat(e[None, :], k, axis=0)
    cash[np.arange(k), np.arange(k) % n] = 0.0  # scenario j: node j without cash
    (where / "scenarios.csv").write_text(
        "scenario,node,cash\n" + "".join(f"{j},{j % n},0\n" for j in range(k)))
    python = best(lambda: clearing.sweep(L, e, cash))
    native = best(lambda: subprocess.run([BUILD / "clearing-sweep", "scenarios.csv"], cwd=where, check=True))
    return [row(f"sweep, {k} scenarios of sparse {n}", python, native, "clearing-sweep")]


def resident_mib() -> float:
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") / 2**20


def loop_rows() -> list[str]:
    calls = 500 if SMALL else 10_000
    rng = np.random.default_rng(1)
    L50, e50 = rng.uniform(0, 1, (50, 50)), rng.uniform(0, 5, 50)
    L2, e2 = np.array([[0.0, 10.0], [0.0, 0.0]]), np.array([5.0, 0.0])
    for _ in range(100):
        clearing.clear(L50, e50)  # the allocator's pools settle first
    before = resident_mib()
    start = time.perf_counter()
    for _ in range(calls):
        clearing.clear(L50, e50)
    per50 = (time.perf_counter() - start) / calls
    after = resident_mib()
    start = time.perf_counter()
    for _ in range(calls):
        clearing.clear(L2, e2)
    per2 = (time.perf_counter() - start) / calls
    return [
        f"| {calls} calls of clear on n = 50: resident memory | {before:.1f} MiB before | {after:.1f} MiB after | |",
        f"| one call of clear: n = 50, n = 2 (the call's overhead) | {per50 * 1e6:.1f} µs | {per2 * 1e6:.1f} µs | |",
    ]


def main() -> None:
    for binary in ("gen-network", "bench-motor", "clearing-sweep"):
        if not (BUILD / binary).exists():
            sys.exit(f"no {BUILD / binary}: build first (cmake --build {BUILD})")
    with tempfile.TemporaryDirectory(prefix="clearing-python-bench.") as work:
        rows = clear_rows(Path(work)) + sweep_rows(Path(work)) + loop_rows()
    print(f"Best of {PASSES}, seconds{' (--small: sizes too small to mean anything)' if SMALL else ''}.\n")
    print("| case | Python | C++ | ratio |")
    print("|---|---:|---:|---:|")
    print("\n".join(rows))


if __name__ == "__main__":
    main()
