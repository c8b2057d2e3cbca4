#!/usr/bin/env bash
# Benchmark of build/clearing against build/clearing-reference on generated
# networks: wall time, peak memory, rounds, report size, and whether the two
# reports are byte-identical. Prints a Markdown table, one row per network.
#
# usage: bench/run.sh [FAMILY...] [N...]
#   FAMILY: sparse cascade coreperiphery alldefault dense densecascade adversarial
#           (default: sparse cascade coreperiphery alldefault dense densecascade)
#   N:      node counts (default: 250 500 1000 2000 4000; alldefault 1000 2000
#           4000; densecascade 600 1000 1500, whose reports grow as n³: 23 GB)
# environment:
#   CLEARING, CLEARING_REFERENCE, GEN_NETWORK   binaries (default build/...)
#   CLEARING_BEFORE                   an older build of clearing: timed too, and
#                                     its report compared with clearing's
#   BENCH_SEED=1                      seed handed to gen-network
#   BENCH_TIMEOUT=600                 seconds before a run counts as "timeout"
#   BENCH_SKIP_REFERENCE_ABOVE=1000   no reference run above this n
#   BENCH_NO_REFERENCE=1              no reference run at all
# The elimination alone, in updates per second: build/bench-eliminacion.
set -u

# shellcheck source=tools/binarios.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tools/binarios.sh"
seed=${BENCH_SEED:-1}
limit=${BENCH_TIMEOUT:-600}
ref_above=${BENCH_SKIP_REFERENCE_ABOVE:-1000}
no_ref=${BENCH_NO_REFERENCE:-0}
known="sparse dense cascade coreperiphery alldefault densecascade adversarial"
before=${CLEARING_BEFORE:-}

usage() { sed -n '2,20p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

families=() sizes=()
for a in "$@"; do
    case $a in
        -h | --help) usage ;;
        '' | *[!0-9]*)
            [[ " $known " == *" $a "* ]] || { echo "unknown family: $a" >&2; usage; }
            families+=("$a") ;;
        *) sizes+=("$a") ;;
    esac
done
[ ${#families[@]} -gt 0 ] || families=(sparse cascade coreperiphery alldefault dense densecascade)
[ ${#sizes[@]} -gt 0 ] && mapfile -t sizes < <(printf '%s\n' "${sizes[@]}" | sort -n -u)

# family_sizes FAMILY: the sizes given, or the family's own.
family_sizes() {
    if [ ${#sizes[@]} -gt 0 ]; then printf '%s\n' "${sizes[@]}"; return; fi
    case $1 in
        alldefault) printf '%s\n' 1000 2000 4000 ;;
        densecascade) printf '%s\n' 600 1000 1500 ;;
        *) printf '%s\n' 250 500 1000 2000 4000 ;;
    esac
}

[ -x "$clearing" ] || { echo "no clearing binary at $clearing (build first)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs GNU time at /usr/bin/time" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/clearing-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ ! -x "$gen" ]; then  # not built yet: compile the generator on the side
    gen=$work/gen-network
    echo "compiling tools/gen_network.cpp into $gen" >&2
    ${CXX:-c++} -std=c++20 -O2 "$root/tools/gen_network.cpp" -o "$gen" || exit 2
fi
if [ "$no_ref" != 0 ]; then
    reference=""
elif [ ! -x "$reference" ]; then
    echo "no reference binary at $reference: reference columns left empty" >&2
    reference=""
fi
# Private copies, so that a rebuild during the run cannot change or break them.
cp "$clearing" "$work/clearing.bin" && clearing=$work/clearing.bin || exit 2
cp "$gen" "$work/gen.bin" && gen=$work/gen.bin || exit 2
if [ -n "$reference" ]; then cp "$reference" "$work/reference.bin" && reference=$work/reference.bin || exit 2; fi
if [ -n "$before" ]; then
    [ -x "$before" ] || { echo "no binary at CLEARING_BEFORE=$before" >&2; exit 2; }
    cp "$before" "$work/before.bin" && before=$work/before.bin || exit 2
fi

# run_in DIR BINARY: runs BINARY in DIR under time and timeout; leaves
# DIR/secs, DIR/kib, DIR/status and DIR/stdout.
run_in() {
    local dir=$1 bin=$2
    (cd "$dir" && /usr/bin/time -f '%e %M' -o time.txt \
        timeout -k 10 "$limit" "$bin" > stdout < /dev/null 2> stderr)
    echo $? > "$dir/status"
    read -r secs kib < <(tail -n 1 "$dir/time.txt")
    echo "${secs:-?}" > "$dir/secs"
    echo "${kib:-0}" > "$dir/kib"
}

mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# seconds cell: the time, "timeout", or the time with a nonzero exit status
seconds_cell() {
    local dir=$1 st
    st=$(cat "$dir/status")
    case $st in
        0) cat "$dir/secs" ;;
        124 | 137) echo timeout ;;
        *) echo "$(cat "$dir/secs") (exit $st)" ;;
    esac
}

# same_run A B: "yes" when both runs left the same report, stdout and status
same_run() {
    local a=$1 b=$2 why=()
    cmp -s "$a/output.txt" "$b/output.txt" || why+=(report)
    cmp -s "$a/stdout" "$b/stdout" || why+=(stdout)
    [ "$(cat "$a/status")" = "$(cat "$b/status")" ] || why+=(status)
    if [ ${#why[@]} -eq 0 ]; then echo yes; else echo "NO (${why[*]})"; fi
}

# The columns of the older build, when there is one.
before_head="" before_rule=""
[ -n "$before" ] && before_head=" before s | before RSS MiB | same as before |" before_rule="---:|---:|---|"
echo "| family | n | rounds | clearing s | clearing RSS MiB |$before_head reference s | reference RSS MiB | speed-up | report MiB | identical |"
echo "|---|---:|---:|---:|---:|$before_rule---:|---:|---:|---:|---|"
for fam in "${families[@]}"; do
    prev_n=0 prev_secs=0 prev_rounds=1  # last reference run of this family, for the estimate
    for n in $(family_sizes "$fam"); do
        a=$work/clearing b=$work/reference o=$work/before
        rm -rf "$a" "$b" "$o" && mkdir -p "$a" "$b"
        if ! "$gen" "$fam" "$n" "$seed" > "$a/input.txt"; then
            echo "| $fam | $n | generator failed | | | | | | | |"
            continue
        fi
        echo "$fam n=$n: clearing" >&2
        run_in "$a" "$clearing"
        rounds=$(grep -c '^Paso ' "$a/output.txt" 2> /dev/null)
        rounds=${rounds:-0}
        report=$(stat -c %s "$a/output.txt" 2> /dev/null || echo 0)
        c_secs=$(seconds_cell "$a")
        c_mib=$(mib "$(cat "$a/kib")")
        before_cells=""
        if [ -n "$before" ]; then
            echo "$fam n=$n: before" >&2
            mkdir -p "$o" && ln "$a/input.txt" "$o/input.txt"
            run_in "$o" "$before"
            before_cells=" $(seconds_cell "$o") | $(mib "$(cat "$o/kib")") | $(same_run "$a" "$o") |"
            rm -f "$o/output.txt"  # the large reports would otherwise pile up
        fi
        r_secs="" r_mib="" speed="" same="-"
        if [ -n "$reference" ] && [ "$n" -gt "$ref_above" ]; then
            r_secs="skipped"
        elif [ -n "$reference" ]; then
            # The reference does Θ(n³) work per round: scale its last time here
            # (by the last round count when this one's run was cut short).
            r=$rounds
            [ "$c_secs" = timeout ] && [ "$r" -lt "$prev_rounds" ] && r=$prev_rounds
            est=$(awk -v t="$prev_secs" -v n="$n" -v p="$prev_n" -v r="$r" -v q="$prev_rounds" \
                -v lim="$limit" 'BEGIN { e = p ? t * (n / p) ^ 3 * (r > 0 ? r : 1) / q : 0
                                         printf "%s %.0f", (e > lim ? "skip" : "run"), e }')
            if [ "${est% *}" = skip ]; then
                r_secs="skipped (~${est#* } s)"
            else
                echo "$fam n=$n: reference" >&2
                ln "$a/input.txt" "$b/input.txt"
                run_in "$b" "$reference"
                r_secs=$(seconds_cell "$b")
                r_mib=$(mib "$(cat "$b/kib")")
                if [ "$r_secs" = timeout ]; then
                    prev_n=$n prev_secs=$limit prev_rounds=$((rounds > 0 ? rounds : 1))  # larger n: skip
                else
                    same=$(same_run "$a" "$b")
                    speed=$(awk -v r="$(cat "$b/secs")" -v c="$(cat "$a/secs")" \
                        'BEGIN { if (c > 0) printf "%.1fx", r / c; else print "-" }')
                    prev_n=$n prev_secs=$(cat "$b/secs") prev_rounds=$((rounds > 0 ? rounds : 1))
                fi
            fi
        fi
        echo "| $fam | $n | $rounds | $c_secs | $c_mib |$before_cells $r_secs | $r_mib | $speed | $(mib $((report / 1024))) | $same |"
    done
done
