#!/usr/bin/env bash
# Memory of clearing-export against the size of the report it reads: for
# each generated network, runs clearing, then clearing-export under GNU time,
# and prints peak RSS beside the sizes of input.txt and output.txt. The
# export streams the report, so its memory should follow input.txt (the
# obligations it keeps) and not the report, which grows with the rounds.
#
# usage: bench/export.sh [FAMILY N SEED]...   (default: sparse 4000 1, cascade 4000 1)
# environment: CLEARING, GEN_NETWORK, CLEARING_EXPORT   binaries (default build/...)
set -u

# shellcheck source=tools/binarios.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tools/binarios.sh"
export_bin=$(absolute "${CLEARING_EXPORT:-$root/build/clearing-export}")
for b in "$clearing" "$gen" "$export_bin"; do
    [ -x "$b" ] || { echo "no binary at $b (build first)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "needs GNU time at /usr/bin/time" >&2; exit 2; }
[ $# -gt 0 ] || set -- sparse 4000 1 cascade 4000 1
work=$(mktemp -d "${TMPDIR:-/tmp}/clearing-export-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }

echo "| family | n | rounds | input.txt MiB | output.txt MiB | export s | export peak RSS MiB |"
echo "|---|---:|---:|---:|---:|---:|---:|"
while [ $# -ge 3 ]; do
    fam=$1 n=$2 seed=$3
    shift 3
    rm -f "$work"/*
    "$gen" "$fam" "$n" "$seed" > "$work/input.txt" || { echo "generator failed" >&2; exit 1; }
    (cd "$work" && "$clearing" > /dev/null) || { echo "clearing failed on $fam $n" >&2; exit 1; }
    (cd "$work" && /usr/bin/time -f '%e %M' -o time.txt "$export_bin") || {
        echo "clearing-export failed on $fam $n" >&2
        exit 1
    }
    read -r secs kib < "$work/time.txt"
    echo "| $fam | $n | $(grep -c '^Paso ' "$work/output.txt") | $(mib "$(stat -c %s "$work/input.txt")") |" \
         "$(mib "$(stat -c %s "$work/output.txt")") | $secs | $(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }') |"
done
