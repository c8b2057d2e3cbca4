"""The programs the module is compared with, from CTest's environment
(CLEARING, GEN_NETWORK, CLEARING_SWEEP), and helpers to run them."""

from __future__ import annotations

import os
import re
import subprocess
from pathlib import Path

import pytest

FAMILIES = ["sparse", "dense", "cascade", "coreperiphery", "alldefault", "densecascade", "adversarial"]

# Inputs of tests/golden/, as the end-to-end tests give them.
GOLDEN_INPUTS = {
    "cadena": "3\n0 10 0\n0 0 10\n0 0 0\n5 2 0\n",
    "vacio": "",
    "uno": "1\n4\n1\n",
    "mutuo": "2\n0 1\n1 0\n0 0\n",
    "indeterminado_mutuo": "2\n0 1\n1 0\n-0.5 -0.5\n",
    "indeterminado_uno": "1\n4\n-1\n",
    "dos_nodos_sin_solucion": "2\n0 10\n10 0\n-5 0\n",
    "ceros_negativos": "2\n0 0\n0 0\n0 -1\n",
    "capital_tol": "2\n0 0\n0 0\n1e-8 9.999999999999999e-09\n",
    "importes_grandes": "2\n333333333333.33331 333333333333.33331\n3000000000000 333333333333.33331\n"
    "1000000000000 500000000000\n",
    "no_converge": "3\n2 -2 1\n-2 0 -2\n3 1 -1\n0.5 2 0.5\n",
}
GOLDEN_DIR = Path(__file__).resolve().parent.parent / "golden"


def program(name: str) -> str:
    path = os.environ.get(name)
    if not path:
        pytest.skip(f"{name} is not set (CTest sets it to the built program)")
    return path


def run_clearing(text: str, directory: Path) -> tuple[str, int, bytes | None]:
    """The program on input.txt = text in directory: (stdout, status, output.txt)."""
    (directory / "input.txt").write_text(text, encoding="latin-1", newline="")
    done = subprocess.run([program("CLEARING")], cwd=directory, capture_output=True, check=False)
    report = directory / "output.txt"
    return done.stdout.decode("latin-1"), done.returncode, report.read_bytes() if report.exists() else None


def gen_network(family: str, n: int, seed: int) -> str:
    done = subprocess.run([program("GEN_NETWORK"), family, str(n), str(seed)], capture_output=True, check=True)
    return done.stdout.decode("ascii")


def report_section(report: bytes, title: str) -> list[str]:
    """The tokens of the line after `title` in a report."""
    lines = report.decode("latin-1").split("\r\n")
    k = lines.index(title)
    return lines[k + 2].split()


def as_report(x: float) -> str:
    """x as the report writes p and capital ("%-5.5le", three-digit exponent)."""
    return re.sub(r"e([+-])(\d\d)$", r"e\g<1>0\2", f"{x:.5e}")
