#!/usr/bin/env bash
# The run against its floor: build/clearing against build/bench-suelo (the
# input converted and as many report cells written, on two threads, with no
# arithmetic) on generated networks. Runs each pair interleaved, PAIRS
# times, and prints a Markdown table of the medians (the last column: the
# median of the pairs' ratios).
#
# usage: bench/suelo.sh [FAMILY:N ...]   (default: sparse:2000 cascade:4000 alldefault:4000)
# environment:
#   CLEARING, GEN_NETWORK, BENCH_SUELO   binaries (default build/...)
#   PAIRS=5                              interleaved pairs per network
#   BENCH_SEED=1                         seed handed to gen-network
#   TMPDIR=/dev/shm                      where the inputs and reports go
set -u

# shellcheck source=tools/binarios.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tools/binarios.sh"
suelo=$(absolute "${BENCH_SUELO:-$root/build/bench-suelo}")
pairs=${PAIRS:-5}
seed=${BENCH_SEED:-1}
[ $# -gt 0 ] || set -- sparse:2000 cascade:4000 alldefault:4000
for b in "$clearing" "$suelo" "$gen"; do
    [ -x "$b" ] || { echo "no binary at $b (build first)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "needs GNU time at /usr/bin/time" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/dev/shm}/clearing-suelo.XXXXXX")
trap 'rm -rf "$work"' EXIT

# seconds BINARY [ARG]: runs it in $work, prints its wall time.
seconds() {
    (cd "$work" && /usr/bin/time -f '%e' -o time.txt "$@" > /dev/null 2>&1) || echo failed >&2
    tail -n 1 "$work/time.txt"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "| family | n | rounds | report cells | clearing s | floor s | clearing / floor |"
echo "|---|---:|---:|---:|---:|---:|---:|"
for net in "$@"; do
    fam=${net%%:*} n=${net#*:}
    "$gen" "$fam" "$n" "$seed" > "$work/input.txt" || { echo "generator failed: $net" >&2; continue; }
    # A first run, untimed: the report's cells (its words, near enough) and rounds.
    (cd "$work" && "$clearing" > /dev/null 2>&1)
    cells=$(wc -w < "$work/output.txt")
    rounds=$(grep -c '^Paso ' "$work/output.txt")
    rm -f "$work/output.txt"
    c=() s=()
    for ((k = 0; k < pairs; ++k)); do
        c+=("$(seconds "$clearing")")
        rm -f "$work/output.txt"
        s+=("$(seconds "$suelo" "$cells")")
        rm -f "$work/output.txt"
    done
    echo "$fam n=$n: clearing ${c[*]}; floor ${s[*]}" >&2
    mc=$(printf '%s\n' "${c[@]}" | median)
    ms=$(printf '%s\n' "${s[@]}" | median)
    # The median of each pair's own ratio: the machine's pace moves between pairs.
    ratio=$(for ((k = 0; k < pairs; ++k)); do
        awk -v a="${c[k]}" -v b="${s[k]}" 'BEGIN { if (b > 0) print a / b }'
    done | median)
    ratio=$(printf '%.2f' "$ratio")
    echo "| $fam | $n | $rounds | $cells | $mc | $ms | $ratio |"
done
