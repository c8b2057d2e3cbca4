#!/usr/bin/env bash
# The stress scenarios' costs, in CPU seconds (user + system, which a loaded
# machine disturbs less than the wall clock), medians of interleaved passes:
#  1. a scenario that changes an exposure against one that changes a cash,
#     on a network of N nodes, S scenarios of each; each scenario sets its
#     entry (debtor k's first creditor) or its cash (node k's) to the value
#     it already has, so both clear the same network and the ratio is the
#     cost of patching the debtor's pBarra and PI row (and of the worker's
#     copy of PI, made once);
#  2. K random scenarios of a network of M nodes, on every core.
#
# usage: bench/estres.sh [N S M K]   (default: 1000 200 200 10000)
# environment: GEN_NETWORK, CLEARING_SWEEP (default build/...), PASSES (default 3)
set -u

# shellcheck source=tools/binarios.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tools/binarios.sh"
sweep=$(absolute "${CLEARING_SWEEP:-$root/build/clearing-sweep}")
for b in "$gen" "$sweep"; do
    [ -x "$b" ] || { echo "no binary at $b (build first)" >&2; exit 2; }
done
n=${1:-1000} s=${2:-200} m=${3:-200} k=${4:-10000}
passes=${PASSES:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/clearing-estres-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

cpu() { # command... : user + system seconds
    /usr/bin/time -f "%U %S" -o "$work/tiempo" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    awk '{ printf "%.2f", $1 + $2 }' "$work/tiempo"
}
mediana() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

mkdir -p "$work/a" "$work/b"
"$gen" sparse "$n" 1 > "$work/a/input.txt"
# Each scenario's entry and cash, as input.txt has them (awk keeps the text).
awk -v n="$n" -v s="$s" '
    { for (i = 1; i <= NF; ++i) t[++c] = $i }
    END {
        print "scenario,node,cash" > "cash.csv"
        print "scenario,debtor,creditor,amount" > "changes.csv"
        for (d = 0; d < s && d < n; ++d) {
            print "s" d ",#" d "," t[2 + n * n + d] > "cash.csv"
            c = 0
            while (c < n - 1 && (t[2 + d * n + c] + 0 == 0 || c == d)) ++c
            print "s" d ",#" d ",#" c "," t[2 + d * n + c] > "changes.csv"
        }
    }' "$work/a/input.txt"
mv cash.csv changes.csv "$work/a/"
efectivo=() exposicion=()
for ((p = 0; p < passes; ++p)); do
    efectivo+=("$(cd "$work/a" && cpu "$sweep" cash.csv)")
    exposicion+=("$(cd "$work/a" && cpu "$sweep" --obligations changes.csv)")
done
"$gen" sparse "$m" 2 > "$work/b/input.txt"
azar=()
for ((p = 0; p < passes; ++p)); do
    azar+=("$(cd "$work/b" && cpu "$sweep" --random "$k" --seed 7 --loss-mean 0.1 --loss-corr 0.3)")
done
ce=$(mediana "${efectivo[@]}") cx=$(mediana "${exposicion[@]}") ca=$(mediana "${azar[@]}")
echo "load: $(uptime | sed 's/.*load average: //')"
printf '| case | scenarios | CPU s (median of %d) | per scenario ms |\n|---|---:|---:|---:|\n' "$passes"
awk -v n="$n" -v s="$s" -v a="$ce" -v b="$cx" 'BEGIN {
    printf "| cash change, n = %d | %d | %s | %.2f |\n", n, s, a, 1000 * a / s
    printf "| exposure change, n = %d | %d | %s | %.2f |\n", n, s, b, 1000 * b / s
    printf "| ratio exposure / cash | | %.2f | |\n", b / a }'
awk -v m="$m" -v k="$k" -v c="$ca" 'BEGIN {
    printf "| random, n = %d | %d | %s | %.3f |\n", m, k, c, 1000 * c / k }'
