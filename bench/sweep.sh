#!/usr/bin/env bash
# clearing-sweep against one clearing run per scenario, side by side, on the
# same scenarios: each scenario sets one node's outside cash to 0 (nodes 0,
# 1, …), or, for the large case, --uniform-shock. The passes alternate (sweep,
# runs, sweep, runs, …) so that a noisy machine weighs on both alike, and the
# table gives medians. A large case's runs are timed on RUNS scenarios spread
# evenly over the sweep (a heavy shock costs more rounds and larger blocks
# than a light one) and scaled to all of them. The sweep's rounds are checked
# against the timed runs' reports.
#
# usage: bench/sweep.sh [FAMILY N SCENARIOS RUNS]...
#        (default: sparse 600 200 200, sparse 2000 1000 10)
#        bench/sweep.sh --cache [FAMILY N SHOCKS]...
#        (default: cascade 2000 100, alldefault 2000 100)
# --cache times the sweep of SHOCKS uniform shocks (0, 1/SHOCKS, …) with no
# cache of eliminated blocks (--cache-mb 0) and with the default one, in
# interleaved pairs, and counts the round systems solved and the distinct
# ones (default sets that only grow, as with nonnegative data); the files
# of each pair are compared.
# environment: CLEARING, GEN_NETWORK, CLEARING_SWEEP   binaries (default build/...)
#              PASSES (default 3)
set -u

# shellcheck source=tools/binarios.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tools/binarios.sh"
sweep=$(absolute "${CLEARING_SWEEP:-$root/build/clearing-sweep}")
for b in "$clearing" "$gen" "$sweep"; do
    [ -x "$b" ] || { echo "no binary at $b (build first)" >&2; exit 2; }
done
cache=0
if [ "${1:-}" = --cache ]; then
    cache=1
    shift
    [ $# -gt 0 ] || set -- cascade 2000 100 alldefault 2000 100
fi
[ $# -gt 0 ] || set -- sparse 600 200 200 sparse 2000 1000 10
passes=${PASSES:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/clearing-sweep-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

segundos() { # command... : wall seconds
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}
mediana() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# input.txt of scenario k in dir: the network's with e[k] = 0 when the sweep
# zeroes nodes, or every e[i] × (1 − s_k) for a uniform shock (awk's doubles:
# the same product as the sweep's).
escribeEscenario() { # n k mode dir
    awk -v n="$1" -v k="$2" -v modo="$3" -v paso="$5" '
        { for (i = 1; i <= NF; ++i) t[++c] = $i }
        END {
            for (i = 1; i <= 1 + n * n; ++i) printf "%s%s", t[i], (i % 64 ? " " : "\n")
            printf "\n"
            for (i = 0; i < n; ++i) {
                v = t[2 + n * n + i]
                if (modo == "node") printf "%s ", (i == k ? "0" : v)
                else printf "%.17g ", v * (1 - k * paso)
            }
            printf "\n"
        }' "$work/input.txt" > "$4/input.txt"
}

# Wall and CPU (user + system) seconds of a sweep in $work, with the budget
# MIB (empty: the default); the files are left in $work/cache-MIB.
cronometra() { # mib args...
    local mib=$1 t
    shift
    t=$(cd "$work" && /usr/bin/time -f '%e %U %S' "$sweep" ${mib:+--cache-mb "$mib"} "$@" 2>&1 >/dev/null | tail -1) ||
        { echo "failed: clearing-sweep $*" >&2; exit 1; }
    cat "$work/sweep.csv" "$work/sweep_nodes.csv" > "$work/cache-$mib"
    awk '{ printf "%s %.2f", $1, $2 + $3 }' <<< "$t"
}

# Round systems solved and distinct default sets among them: round r of a
# scenario solves for the nodes whose default round is at most r.
sistemas() {
    awk -F, '
        FNR == NR { if (FNR > 1 && $2 == "ok") rondas[$1] = $4; next }
        FNR > 1 && ($1 in rondas) { n = $2 + 1 > n ? $2 + 1 : n; ronda[$1, $2] = $4 }
        END {
            for (s in rondas) {
                delete dentro
                for (r = 1; r <= rondas[s]; ++r) {
                    clave = ""
                    for (i = 0; i < n; ++i) {
                        if (ronda[s, i] == r) dentro[i] = 1
                        clave = clave (i in dentro ? "1" : "0")
                    }
                    ++resueltos
                    distintos += !(clave in visto)
                    visto[clave] = 1
                }
            }
            print resueltos, distintos
        }' "$work/sweep.csv" "$work/sweep_nodes.csv"
}

tablaCache() {
    uptime | sed 's/^/load before: /' >&2
    echo "| family | n | scenarios | systems solved | distinct systems | no cache s wall (CPU) | cache s wall (CPU) | ratio wall (CPU) |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|"
    while [ $# -ge 3 ]; do
        local fam=$1 n=$2 k=$3 p paso sin con a b
        shift 3
        rm -rf "${work:?}"/*
        "$gen" "$fam" "$n" 1 > "$work/input.txt"
        paso=$(awk -v k="$k" 'BEGIN { printf "%.17g", 1 / k }')
        local choque=(--uniform-shock "0:$(awk -v k="$k" -v p="$paso" 'BEGIN { printf "%.17g", (k - 1) * p }'):$paso")
        local sw=() sc=() cw=() cc=()
        for ((p = 0; p < passes; ++p)); do
            read -r a b <<< "$(cronometra 0 "${choque[@]}")"
            sw+=("$a") sc+=("$b")
            read -r a b <<< "$(cronometra "" "${choque[@]}")"
            cw+=("$a") cc+=("$b")
            cmp -s "$work/cache-0" "$work/cache-" || { echo "$fam $n: the files differ with the cache" >&2; exit 1; }
        done
        sin="$(mediana "${sw[@]}") ($(mediana "${sc[@]}"))"
        con="$(mediana "${cw[@]}") ($(mediana "${cc[@]}"))"
        read -r a b <<< "$(sistemas)"
        echo "| $fam | $n | $k | $a | $b | $sin | $con | $(awk -v a="$(mediana "${sw[@]}")" -v b="$(mediana "${cw[@]}")" -v c="$(mediana "${sc[@]}")" -v d="$(mediana "${cc[@]}")" 'BEGIN { printf "%.1f (%.1f)", a / b, c / d }') |"
    done
    uptime | sed 's/^/load after: /' >&2
}

if [ "$cache" = 1 ]; then
    tablaCache "$@"
    exit
fi

runs() { # runs
    local j
    for ((j = 0; j < $1; ++j)); do (cd "$work/r$j" && "$clearing") || return 1; done
}

# The scenario the j-th timed run stands for.
muestra() { echo $(($1 * escenarios / corridas)); }

echo "| family | n | scenarios | sweep s (median) | clearing runs s (median) | runs timed | ratio | threads |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
while [ $# -ge 4 ]; do
    fam=$1 n=$2 escenarios=$3 corridas=$4
    shift 4
    rm -rf "${work:?}"/*
    "$gen" "$fam" "$n" 1 > "$work/input.txt"
    if [ "$corridas" -ge "$escenarios" ]; then
        modo=node paso=0 argumentos=("$work/escenarios.csv")
        { echo "scenario,node,cash"
          for ((k = 0; k < escenarios; ++k)); do echo "z$k,$k,0"; done; } > "$work/escenarios.csv"
    else
        modo=shock paso=$(awk -v s="$escenarios" 'BEGIN { printf "%.17g", 1 / s }')
        argumentos=(--uniform-shock "0:$(awk -v s="$escenarios" -v p="$paso" 'BEGIN { printf "%.17g", (s - 1) * p }'):$paso")
    fi
    for ((j = 0; j < corridas; ++j)); do
        mkdir -p "$work/r$j"
        escribeEscenario "$n" "$(muestra "$j")" "$modo" "$work/r$j" "$paso"
    done
    ts=() tr=()
    for ((p = 0; p < passes; ++p)); do
        ts+=("$(cd "$work" && segundos "$sweep" "${argumentos[@]}")")
        tr+=("$(segundos runs "$corridas")")
    done
    filas=$(($(wc -l < "$work/sweep.csv") - 1))
    [ "$filas" -eq "$escenarios" ] || { echo "sweep.csv has $filas scenarios, not $escenarios" >&2; exit 1; }
    for ((j = 0; j < corridas; ++j)); do # the rounds of the timed scenarios agree
        k=$(muestra "$j")
        rondas=$(grep -c '^Paso ' "$work/r$j/output.txt")
        fila=$(sed -n "$((k + 2))p" "$work/sweep.csv" | awk -F, '{ print $4 }')
        [ "$rondas" = "$fila" ] || { echo "scenario $k: $fila rounds in the sweep, $rondas in clearing" >&2; exit 1; }
    done
    s=$(mediana "${ts[@]}")
    r=$(mediana "${tr[@]}")
    total=$(awk -v r="$r" -v c="$corridas" -v e="$escenarios" 'BEGIN { printf "%.2f", r * e / c }')
    echo "| $fam | $n | $escenarios | $s | $total$([ "$corridas" -lt "$escenarios" ] && echo " (scaled)") | $corridas | $(awk -v a="$total" -v b="$s" 'BEGIN { printf "%.1f", a / b }') | $(nproc) |"
done
