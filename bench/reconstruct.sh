#!/usr/bin/env bash
# The reconstructions' table: build/bench-reconstruccion (maximum entropy at
# n = 1000, sparse at n = 10^4, the gravity model's z and one sample), then
# an ensemble sweep: K networks of n nodes made from random totals, each
# swept with --each-node (K·n clearings), timed once, and the same with one
# thread for the scaling with cores; wall and CPU seconds, and the load
# average before and after each.
#
# usage: bench/reconstruct.sh [N_ENTROPY N_SPARSE N_GRAVITY [K N]]
#        (default: 1000 10000 1000 1000 200)
# environment: BENCH_RECONSTRUCCION, CLEARING_SWEEP   binaries (default build/...)
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
banco=${BENCH_RECONSTRUCCION:-$root/build/bench-reconstruccion}
sweep=${CLEARING_SWEEP:-$root/build/clearing-sweep}
for b in "$banco" "$sweep"; do
  [ -x "$b" ] || { echo "no binary at $b (build first)" >&2; exit 2; }
done
"$banco" "${1:-1000}" "${2:-10000}" "${3:-1000}" || exit 1
redes=${4:-1000} n=${5:-200}

work=$(mktemp -d "${TMPDIR:-/tmp}/clearing-reconstruct-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Totals of a random network: each node owes 1 to 100 to three others.
awk -v n="$n" 'BEGIN {
  srand(7); print "node,liabilities,assets,cash"
  for (i = 0; i < n; i++) for (k = 0; k < 3; k++) {
    j = (i + 1 + int(rand() * (n - 1))) % n; x = 1 + int(rand() * 100); l[i] += x; a[j] += x }
  for (i = 0; i < n; i++) printf "n%d,%d,%d,%d\n", i, l[i], a[i], int(rand() * 60) }' >"$work/marginals.csv"

# threads: "wall cpu" seconds of the ensemble sweep (cpu: user + system of
# every thread; on a loaded machine the figure that holds).
segundos() {
  (cd "$work" && /usr/bin/time -o "$work/tiempo" -f '%e %U %S' "$sweep" --threads "$1" \
    --ensemble marginals.csv --sample "$redes" --density 0.05 --seed 1 --each-node) \
    >/dev/null 2>&1 || { echo "sweep failed" >&2; exit 1; }
  rm -f "$work"/sweep*.csv
  awk '{ printf "%.2f %.2f", $1, $2 + $3 }' "$work/tiempo"
}
carga() { cut -d' ' -f1 /proc/loadavg; }
hilos=$(nproc)
for h in "$hilos" 1; do
  antes=$(carga)
  read -r pared cpu <<<"$(segundos "$h")"
  printf '| ensemble sweep, %s thread(s) | %s | %s | %s | %s networks, %s clearings; load %s before, %s after |\n' \
    "$h" "$n" "$pared" "$cpu" "$redes" "$((redes * n))" "$antes" "$(carga)"
done
