#!/usr/bin/env bash
# The run against its floor: build/clearing against build/bench-suelo (the
# input converted and the report's bytes written, the default matrices as
# the constant text they are, on two threads) on generated networks. Runs
# each pair interleaved, PAIRS times, and prints a Markdown table of the
# medians, wall and CPU (user + system) time; the ratio columns are the
# medians of the pairs' own ratios. "same size" says whether the floor wrote
# as many bytes as the report, or how many more: a payment may differ in a
# last digit (the floor multiplies by the clearing vector as the report
# prints it), and "%g" drops trailing zeros.
#
# usage: bench/suelo.sh [FAMILY:N ...]
#   (default: sparse:2000 cascade:4000 alldefault:4000 densecascade:1000)
# environment:
#   CLEARING, GEN_NETWORK, BENCH_SUELO, BENCH_MOTOR   binaries (default build/...)
#   PAIRS=5                              interleaved pairs per network
#   BENCH_SEED=1                         seed handed to gen-network
#   TMPDIR=/dev/shm                      where the inputs and reports go
set -u

# shellcheck source=tools/binarios.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tools/binarios.sh"
suelo=$(absolute "${BENCH_SUELO:-$root/build/bench-suelo}")
motor=$(absolute "${BENCH_MOTOR:-$root/build/bench-motor}")
pairs=${PAIRS:-5}
seed=${BENCH_SEED:-1}
[ $# -gt 0 ] || set -- sparse:2000 cascade:4000 alldefault:4000 densecascade:1000
for b in "$clearing" "$suelo" "$gen" "$motor"; do
    [ -x "$b" ] || { echo "no binary at $b (build first)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "needs GNU time at /usr/bin/time" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/dev/shm}/clearing-suelo.XXXXXX")
trap 'rm -rf "$work"' EXIT

# seconds BINARY [ARG]: runs it in $work, prints its wall and CPU time.
seconds() {
    (cd "$work" && /usr/bin/time -f '%e %U %S' -o time.txt "$@" > /dev/null 2>&1) || echo failed >&2
    tail -n 1 "$work/time.txt" | awk '{ printf "%s %.2f\n", $1, $2 + $3 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# ratios COLUMN: the median of the pairs' ratios in that column (1 wall, 2 CPU).
ratios() {
    for ((k = 0; k < pairs; ++k)); do
        awk -v a="${c[k]}" -v b="${s[k]}" -v f="$1" \
            'BEGIN { split(a, x, " "); split(b, y, " "); if (y[f] > 0) print x[f] / y[f] }'
    done | median | xargs printf '%.2f'
}
column() { printf '%s\n' "${@:2}" | awk -v f="$1" '{ print $f }' | median; }
# result HEADING: the line of the report two below HEADING.
result() { LC_ALL=C grep -a -m1 -A2 "^$1" "$work/output.txt" | tail -n 1; }

echo "| family | n | rounds | report MB | same size | clearing s | floor s | wall ratio | clearing CPU s | floor CPU s | CPU ratio | engine CPU s |"
echo "|---|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|---:|"
for net in "$@"; do
    fam=${net%%:*} n=${net#*:}
    "$gen" "$fam" "$n" "$seed" > "$work/input.txt" || { echo "generator failed: $net" >&2; continue; }
    # A first run, untimed: the rounds, the size and the result lines the floor copies.
    (cd "$work" && "$clearing" > /dev/null 2>&1)
    rounds=$(grep -c '^Paso ' "$work/output.txt")
    bytes=$(stat -c %s "$work/output.txt")
    { result 'Vector de resoluci'; result 'Vector de pasos'; result 'Capital resultante'; } > "$work/suelo.txt"
    rm -f "$work/output.txt"
    (cd "$work" && "$suelo" "$rounds" > /dev/null 2>&1)
    floor_bytes=$(stat -c %s "$work/output.txt" 2> /dev/null || echo 0)
    same=yes
    [ "$floor_bytes" = "$bytes" ] || same="$((floor_bytes - bytes)) B"
    rm -f "$work/output.txt"
    c=() s=()
    for ((k = 0; k < pairs; ++k)); do
        c+=("$(seconds "$clearing")")
        rm -f "$work/output.txt"
        s+=("$(seconds "$suelo" "$rounds")")
        rm -f "$work/output.txt"
    done
    engine=$("$motor" "$work/input.txt" 3 | awk '{ printf "%.2f", $2 }')
    echo "$fam n=$n: clearing ${c[*]}; floor ${s[*]}" >&2
    mb=$(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1e6 }')
    echo "| $fam | $n | $rounds | $mb | $same | $(column 1 "${c[@]}") | $(column 1 "${s[@]}") | $(ratios 1)" \
        "| $(column 2 "${c[@]}") | $(column 2 "${s[@]}") | $(ratios 2) | $engine |"
done
