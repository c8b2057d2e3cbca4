#!/usr/bin/env bash
# Differential soak: runs build/clearing and build/clearing-reference on many
# generated networks (every family, n up to 1500, fresh seeds) until the time
# budget is spent, and compares report bytes, stdout bytes and exit status.
#
# usage: tools/soak.sh [SECONDS]   (default 600)
# environment:
#   CLEARING, CLEARING_REFERENCE, GEN_NETWORK   binaries (default build/...)
#   SOAK_SEED    first seed (default: the clock; printed so a run can be repeated)
#   SOAK_MAX_N   largest n tried (default 1500)
#   SOAK_KEEP    where inputs of mismatches are kept (default $TMPDIR/clearing-soak-failures)
# Ends with "N passed, M failed"; exit status 1 if any failed, 2 on bad usage.
set -u

# shellcheck source=tools/binarios.sh
source "$(dirname "${BASH_SOURCE[0]}")/binarios.sh"
budget=${1:-600}
seed=${SOAK_SEED:-$(date +%s)}
max_n=${SOAK_MAX_N:-1500}
keep=${SOAK_KEEP:-${TMPDIR:-/tmp}/clearing-soak-failures}

usage() { sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[[ $# -le 1 && $budget =~ ^[0-9]+$ && $seed =~ ^[0-9]+$ && $max_n =~ ^[0-9]+$ ]] || usage
for bin in "$clearing" "$reference"; do
    [ -x "$bin" ] || { echo "no binary at $bin (build first)" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/clearing-soak.XXXXXX")
trap 'rm -rf "$work"' EXIT
if [ ! -x "$gen" ]; then  # not built yet: compile the generator on the side
    gen=$work/gen-network
    ${CXX:-c++} -std=c++20 -O2 "$root/tools/gen_network.cpp" -o "$gen" || exit 2
fi
# Private copies, so that a rebuild during the run cannot change or break them.
cp "$clearing" "$work/clearing.bin" && clearing=$work/clearing.bin || exit 2
cp "$gen" "$work/gen.bin" && gen=$work/gen.bin || exit 2
cp "$reference" "$work/reference.bin" && reference=$work/reference.bin || exit 2

families=(adversarial sparse cascade coreperiphery alldefault dense)
tiers=(small small medium small adversarial large small medium)  # mostly cheap cases

# size_for TIER SEED: a node count for the tier, spread by the seed
size_for() {
    local lo hi
    case $1 in
        small) lo=1 hi=64 ;;
        medium) lo=65 hi=400 ;;
        *) lo=401 hi=$max_n ;;
    esac
    [ "$hi" -ge "$lo" ] || { echo "$max_n"; return; }
    echo $((lo + ($2 % 1000003 * 2654435761 % 1000003) % (hi - lo + 1)))
}

# run_in DIR BINARY SECONDS: runs BINARY in DIR; leaves DIR/stdout and DIR/status
run_in() {
    (cd "$1" && timeout -k 10 "$3" "$2" > stdout < /dev/null 2> /dev/null)
    echo $? > "$1/status"
}

# differ A B: the parts in which two runs differ, empty if none
differ() {
    local why=()
    cmp -s "$1/output.txt" "$2/output.txt" || why+=(report)
    cmp -s "$1/stdout" "$2/stdout" || why+=(stdout)
    [ "$(cat "$1/status")" = "$(cat "$2/status")" ] || why+=("status $(cat "$1/status")/$(cat "$2/status")")
    echo "${why[*]}"
}

echo "soak: ${budget} s from seed $seed, n up to $max_n" >&2
start=$SECONDS passed=0 failed=0 skipped=0 k=0
while [ $((SECONDS - start)) -lt "$budget" ]; do
    left=$((budget - (SECONDS - start)))
    fam=${families[k % ${#families[@]}]}
    tier=${tiers[(k / ${#families[@]}) % ${#tiers[@]}]}
    [ "$fam" = adversarial ] && tier=adversarial
    s=$((seed + k))
    if [ "$tier" = adversarial ]; then
        n=13  # above 12, gen-network draws n in 0..12 from the seed
    else
        n=$(size_for "$tier" "$s")
    fi
    # A reference run costs up to ~90 s at n = 1000 and grows as n³: no big case
    # that would not fit in what is left of the budget.
    if [ "$tier" = large ] && [ $((n * n * n * 9 / 100000000)) -gt "$left" ]; then
        n=$(size_for medium "$s")
    fi
    k=$((k + 1))
    a=$work/clearing b=$work/reference
    rm -rf "$a" "$b" && mkdir -p "$a" "$b"
    "$gen" "$fam" "$n" "$s" > "$a/input.txt" || { echo "generator failed: $fam $n $s" >&2; exit 2; }
    ln "$a/input.txt" "$b/input.txt"
    run_in "$b" "$reference" $((left > 60 ? left : 60))
    if [ "$(cat "$b/status")" = 124 ] || [ "$(cat "$b/status")" = 137 ]; then
        skipped=$((skipped + 1))  # the reference ran out of time: nothing to compare with
        continue
    fi
    run_in "$a" "$clearing" 600
    parts=$(differ "$a" "$b")
    if [ -z "$parts" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        mkdir -p "$keep" && cp "$a/input.txt" "$keep/$fam-$n-$s.txt"
        echo "MISMATCH family=$fam n=$n seed=$s: $parts (input kept in $keep/$fam-$n-$s.txt)"
    fi
done
[ "$skipped" -eq 0 ] || echo "$skipped skipped (reference out of time)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
