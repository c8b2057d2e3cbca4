#!/usr/bin/env bash
# docs/python.md's code blocks, in order, in a scratch directory that looks
# like a clone's root (examples/ linked, docs/ empty): the page's examples
# run as written. Skipped (77) where matplotlib or pandas is missing.
# usage: python_doc.sh PYTHON SOURCE_DIR MODULE_DIR
set -eu
python=$1 fuente=$2 modulo=$3
"$python" -c 'import matplotlib, pandas' 2>/dev/null || { echo "matplotlib or pandas missing: skipped"; exit 77; }
trabajo=$(mktemp -d "${TMPDIR:-/tmp}/clearing-python-doc.XXXXXX")
trap 'rm -rf "$trabajo"' EXIT
ln -s "$fuente/examples" "$trabajo/examples"
mkdir "$trabajo/docs"
cd "$trabajo"
MPLBACKEND=Agg PYTHONPATH=$modulo "$python" "$fuente/tools/python_doc.py" "$fuente/docs/python.md"
[ -s docs/python_shock.png ] || { echo "no figure written"; exit 1; }
