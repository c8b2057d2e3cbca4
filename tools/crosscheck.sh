#!/usr/bin/env bash
# tools/crosscheck.sh: the Windows build (under Wine), the aarch64 build
# (under qemu-aarch64) and the 32-bit x86 build (under qemu-i386) against the
# native build, byte for byte: the report, standard output and the exit status
# of each input, each in a fresh directory; gen-network's networks from
# each build; and a seeded network of the gravity model (gen-gravity, the
# sampler behind clearing-reconstruct, which the cross builds lack for want
# of libcsv) against the pinned tests/golden/muestra_gravedad.txt.
#
# Inputs: examples/*/input.txt, the plain seeds of fuzz/corpus/fuzz_run (those
# whose first byte is even: the rest is the input), and REDES networks of
# each family of gen-network (sizes 5 to 60).
#
#   cmake --preset windows && cmake --build --preset windows
#   cmake --preset aarch64 && cmake --build --preset aarch64
#   cmake --preset i686 && cmake --build --preset i686
#   tools/crosscheck.sh          # make crosscheck does all four
#
# The native programs come from tools/binarios.sh (build/); CLEARING_WINDOWS,
# CLEARING_AARCH64, CLEARING_I686, GEN_WINDOWS, GEN_AARCH64, GEN_I686,
# GRAVITY_WINDOWS, GRAVITY_AARCH64 and GRAVITY_I686 override the cross ones.
# REDES (default 34, so 204 networks) per family, JOBS (default 2) runs at
# once. A Wine start costs a fifth of a second: the default run takes two to
# three minutes on two cores. The last line is "N passed, M failed"; the
# exit status is 0 only when nothing failed, 77 when a build, Wine,
# qemu-aarch64 or qemu-i386 is missing.
set -uo pipefail
source "$(dirname "$0")/binarios.sh"
clearing_windows=$(absolute "${CLEARING_WINDOWS:-$root/build-windows/clearing.exe}")
clearing_aarch64=$(absolute "${CLEARING_AARCH64:-$root/build-aarch64/clearing}")
clearing_i686=$(absolute "${CLEARING_I686:-$root/build-i686/clearing}")
gen_windows=$(absolute "${GEN_WINDOWS:-$root/build-windows/gen-network.exe}")
gen_aarch64=$(absolute "${GEN_AARCH64:-$root/build-aarch64/gen-network}")
gen_i686=$(absolute "${GEN_I686:-$root/build-i686/gen-network}")
gravedad_windows=$(absolute "${GRAVITY_WINDOWS:-$root/build-windows/gen-gravity.exe}")
gravedad_aarch64=$(absolute "${GRAVITY_AARCH64:-$root/build-aarch64/gen-gravity}")
gravedad_i686=$(absolute "${GRAVITY_I686:-$root/build-i686/gen-gravity}")
objetivos="windows aarch64 i686"
redes=${REDES:-34}
jobs=${JOBS:-2}
familias="sparse dense cascade coreperiphery alldefault adversarial"

# Debian's wine package links wine and wineserver into /usr/bin; wine64
# alone has them under /usr/lib/wine.
wine=$(command -v wine || command -v /usr/lib/wine/wine64 || true)
wineserver=$(command -v wineserver || command -v /usr/lib/wine/wineserver64 || true)
for f in "$clearing" "$gen" "$clearing_windows" "$clearing_aarch64" "$clearing_i686" \
  "$gen_windows" "$gen_aarch64" "$gen_i686" "$gravedad_windows" "$gravedad_aarch64" \
  "$gravedad_i686"; do
  [ -x "$f" ] || { echo "skipped: no $f"; exit 77; }
done
for p in "$wine" "$wineserver" "$(command -v qemu-aarch64)" "$(command -v qemu-i386)"; do
  [ -n "$p" ] || { echo "skipped: wine, wineserver, qemu-aarch64 or qemu-i386 is not installed"; exit 77; }
done
# What runs each cross build's programs.
emulador_windows=$wine emulador_aarch64=qemu-aarch64 emulador_i686=qemu-i386

inicio=$SECONDS
tmp=$(mktemp -d)
# One Wine prefix for the run, its server kept alive between programs (a cold
# start costs seconds), and both gone at the end, whatever happens.
export WINEPREFIX=$tmp/wine WINEDEBUG=-all
terminar() {
  "$wineserver" -k >/dev/null 2>&1
  rm -rf "$tmp"
}
trap terminar EXIT
mkdir -p "$WINEPREFIX"
"$wineserver" -p
"$wine" wineboot --init >/dev/null 2>&1

mkdir -p "$tmp/entradas"
for d in "$root"/examples/*/; do
  cp "$d/input.txt" "$tmp/entradas/ejemplo-$(basename "$d")"
done
for s in "$root"/fuzz/corpus/fuzz_run/*; do
  primero=$(head -c 1 "$s" | od -An -tu1 | tr -d ' ')
  [ -n "$primero" ] && [ $((primero % 2)) -eq 0 ] || continue  # odd: a coded network
  tail -c +2 "$s" >"$tmp/entradas/semilla-$(basename "$s")"
done
generadas=()
for familia in $familias; do
  for ((k = 0; k < redes; ++k)); do
    n=$((5 + (k * 11) % 56))
    generadas+=("$familia $n $((1000 + k))")
    "$gen" "$familia" "$n" $((1000 + k)) >"$tmp/entradas/red-$familia-$n-$((1000 + k))"
  done
done

export tmp clearing objetivos
export clearing_windows clearing_aarch64 clearing_i686 gen_windows gen_aarch64 gen_i686
export gravedad_windows gravedad_aarch64 gravedad_i686 root
export emulador_windows emulador_aarch64 emulador_i686

# Program $2 (clearing or gen) of cross build $1, with the arguments after.
corre() {
  local emulador=emulador_$1 programa=$2_$1
  shift 2
  "${!emulador}" "${!programa}" "$@"
}

# One program on one input in a fresh directory: output.txt (when there is
# one), stdout and the exit status land in $2.
ejecuta() {
  local entrada=$1 dir=$2
  shift 2
  mkdir -p "$dir/run"
  cp "$entrada" "$dir/run/input.txt"
  (cd "$dir/run" && "$@" >"$dir/stdout" 2>"$dir/stderr"; echo $? >"$dir/status")
  [ -f "$dir/run/output.txt" ] && mv "$dir/run/output.txt" "$dir/output.txt"
  rm -rf "$dir/run"
}

# The same bytes in every file of directories $1 and $2 (files absent in both
# are the same). Prints what differs.
compara() {
  local f distinto=""
  for f in output.txt stdout status; do
    if [ -e "$1/$f" ] || [ -e "$2/$f" ]; then
      cmp -s "$1/$f" "$2/$f" || distinto+=" $f"
    fi
  done
  echo "$distinto"
}

# The cross build $1 on input $2 into directory $3.
ejecutaCruzado() {
  ejecuta "$2" "$3" corre "$1" clearing
}

# One input on every build: a line "pass|FAIL target input [what]" per
# cross build. A run that differs runs once more: the programs are
# deterministic, but on a loaded machine Wine has now and then failed to
# start one (status 1, no output). Such a retry is listed, with the first
# run's stderr; a difference that repeats is a failure.
caso() {
  local entrada=$1 nombre d
  nombre=$(basename "$1")
  d=$(mktemp -d "$tmp/caso.XXXXXX")
  ejecuta "$entrada" "$d/nativo" "$clearing"
  local objetivo distinto
  for objetivo in $objetivos; do
    ejecutaCruzado "$objetivo" "$entrada" "$d/$objetivo"
    distinto=$(compara "$d/nativo" "$d/$objetivo")
    if [ -n "$distinto" ]; then
      mv "$d/$objetivo" "$d/$objetivo-primera"
      ejecutaCruzado "$objetivo" "$entrada" "$d/$objetivo"
      if [ -z "$(compara "$d/nativo" "$d/$objetivo")" ]; then
        echo "RETRY $objetivo $nombre: first run differed in$distinto;" \
          "its stderr: $(head -c 300 "$d/$objetivo-primera/stderr" | tr '\n' ' ')"
        distinto=""
      fi
    fi
    if [ -z "$distinto" ]; then
      echo "pass $objetivo $nombre"
    else
      echo "FAIL $objetivo $nombre:$distinto"
      mkdir -p "$tmp/fallos/$nombre" && cp -r "$d/nativo" "$d/$objetivo"* "$tmp/fallos/$nombre/"
    fi
  done
  rm -rf "$d"
}

# A network from each build's gen-network, compared with the native one's
# (with one retry, as above).
generador() {
  local familia=$1 n=$2 semilla=$3 nativa objetivo
  nativa=$tmp/entradas/red-$familia-$n-$semilla
  for objetivo in $objetivos; do
    if corre "$objetivo" gen "$familia" "$n" "$semilla" 2>/dev/null | cmp -s - "$nativa"; then
      echo "pass $objetivo gen-network $familia $n $semilla"
    elif corre "$objetivo" gen "$familia" "$n" "$semilla" 2>/dev/null | cmp -s - "$nativa"; then
      echo "RETRY $objetivo gen-network $familia $n $semilla: first run differed"
      echo "pass $objetivo gen-network $familia $n $semilla"
    else
      echo "FAIL $objetivo gen-network $familia $n $semilla"
    fi
  done
}
# The pinned sample (tests/reconstruct_test.cpp writes the same network
# through clearing-reconstruct --sample-one 7) from each build's gen-gravity.
gravedad() {
  local objetivo d
  for objetivo in $objetivos; do
    d=$(mktemp -d "$tmp/gravedad.XXXXXX")
    (cd "$d" && corre "$objetivo" gravedad 0.3 20261209 7 30:10:5 12.5:40:1 7:3:0 20:16.5:2 \
      0.5:0.5:0 10:10:3 >/dev/null 2>&1)
    if cmp -s "$d/input.txt" "$root/tests/golden/muestra_gravedad.txt"; then
      echo "pass $objetivo gen-gravity"
    else
      echo "FAIL $objetivo gen-gravity"
    fi
  done
}
export -f corre ejecuta ejecutaCruzado compara caso generador gravedad

entradas=("$tmp"/entradas/*)
cruzados=$(wc -w <<<"$objetivos")
esperadas=$((cruzados * (${#entradas[@]} + (${#generadas[@]} + 9) / 10 + 1)))
{
  echo gravedad
  for e in "${entradas[@]}"; do printf 'caso %q\n' "$e"; done
  # Every tenth network also from the cross generators.
  for ((k = 0; k < ${#generadas[@]}; k += 10)); do echo "generador ${generadas[k]}"; done
} | xargs -P "$jobs" -I{} bash -c '{}' >"$tmp/resultados"

grep '^RETRY' "$tmp/resultados"
grep '^FAIL' "$tmp/resultados" | head -50
if [ -d "$tmp/fallos" ]; then
  keep=$(mktemp -d /tmp/crosscheck-fallos.XXXXXX)
  cp -r "$tmp/fallos/." "$keep/"
  echo "the failing runs are kept in $keep"
fi
for objetivo in $objetivos; do
  echo "$objetivo: $(grep -c "^pass $objetivo " "$tmp/resultados") passed," \
    "$(grep -c "^FAIL $objetivo " "$tmp/resultados") failed"
done
echo "($((SECONDS - inicio)) s)"
pasadas=$(grep -c '^pass' "$tmp/resultados")
# A check that printed nothing (its shell died) counts as failed.
fallidas=$((esperadas - pasadas))
echo "$pasadas passed, $fallidas failed"
[ "$fallidas" -eq 0 ] && [ "$pasadas" -gt 0 ]
