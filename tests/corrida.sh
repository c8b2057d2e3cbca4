#!/usr/bin/env bash
# make run as on a fresh clone: an empty build directory, configured without
# the tests, builds only the program and what it links, and leaves the
# example's report where it says.
# usage: corrida.sh SOURCE_DIR
set -u
fuente=$1
trabajo=$(mktemp -d "${TMPDIR:-/tmp}/clearing-corrida.XXXXXX")
trap 'rm -rf "$trabajo"' EXIT
build=$trabajo/build
fallos=0
falla() {
  echo "FAIL $*"
  fallos=$((fallos + 1))
}

# Outside any make that runs this test; the packages are checked, not installed.
env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS DEPS=no make -C "$fuente" run BUILD="$build" >"$trabajo/log" 2>&1 ||
  { cat "$trabajo/log"; echo "make run failed"; exit 1; }

otros=$(sed -n 's/.*Built target //p' "$trabajo/log" | grep -vxE 'clearing_core|clearing')
[ -z "$otros" ] || falla "make run built more than the program: $otros"
objetivos=$(cmake --build "$build" --target help | grep -E 'unit_tests|robustez_tests|_replay|gtest' || true)
[ -z "$objetivos" ] || falla "make run configured the tests: $objetivos"
grep -q '^exit status 0$' "$trabajo/log" || falla "clearing did not end with status 0"
grep -q "^Report written to $build/run/output.txt\$" "$trabajo/log" || falla "make run did not say where the report is"
cmp -s "$build/run/output.txt" "$fuente/examples/cadena/expected/output.txt" || falla "the report differs"

[ "$fallos" -eq 0 ] || cat "$trabajo/log"
echo "$fallos failed"
[ "$fallos" -eq 0 ]
