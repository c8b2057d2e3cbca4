#!/usr/bin/env bash
# No function of the project defined twice in one program: a name in two
# files of one binary is one word for two things (or one rule written
# twice). Reads the binaries' symbols (nm) and, for a name with several
# signatures, the object files of the build, to tell overloads written
# side by side in one file from a collision across files.
# usage: simbolos.sh BUILD_DIR BINARY...
set -u
build=${1:?usage: simbolos.sh BUILD_DIR BINARY...}
shift
[ $# -gt 0 ] || { echo "usage: simbolos.sh BUILD_DIR BINARY..."; exit 2; }

# The project's functions in nm's output: address, name without its
# parameters, whole signature. Libraries (std, MPI, the runtime's), compiler
# clones, lambdas and templates are left out; a function in an anonymous
# namespace counts under its bare name.
funciones() {
  nm -C --defined-only "$1" 2>/dev/null | awk '$2 ~ /^[TtWw]$/' | grep -v '\[clone' |
    sed -E 's/\(anonymous namespace\):://g' |
    awk '{a = $1; $1 = ""; $2 = ""; sub(/^  /, ""); print a "\t" $0}' |
    grep -Pv '\t(std::|MPI::|__|_[A-Z_]|_sub_[DI]_|operator|void std::|.*\{lambda)' |
    awk -F'\t' '{n = $2; sub(/\(.*$/, "", n); if (n !~ /[<> ]/) print $1 "\t" n "\t" $2}' |
    sort -u -k1,1
}

# The source file each object was compiled from, with the functions it
# defines (not inline ones, which every includer defines).
fuentes() {
  find "$build" -name '*.o' -path '*/CMakeFiles/*' ! -path '*/tests/*' ! -path '*/fuzz/*' |
    while IFS= read -r objeto; do
      fuente=${objeto#"$build"/}
      fuente=$(printf '%s' "$fuente" | sed -E 's@CMakeFiles/[^/]*\.dir/@@; s@\.o$@@')
      nm -C --defined-only "$objeto" 2>/dev/null | awk '$2 ~ /^[Tt]$/' | grep -v '\[clone' |
        sed -E 's/\(anonymous namespace\):://g; s/^[0-9a-f]+ [Tt] //' |
        awk -v f="$fuente" '{n = $0; sub(/\(.*$/, "", n); print n "\t" f}'
    done | sort -u
}

fallos=0
indice=$(mktemp)
trap 'rm -f "$indice"' EXIT
fuentes > "$indice"
for binario in "$@"; do
  lista=$(funciones "$binario")
  # One signature at two addresses: the same function written in two files.
  while IFS= read -r firma; do
    [ -n "$firma" ] || continue
    echo "$(basename "$binario"): $firma is defined twice"
    fallos=$((fallos + 1))
  done < <(printf '%s\n' "$lista" | cut -f3 | sort | uniq -d)
  # One name with several signatures: overloads when one file defines them all.
  while IFS= read -r nombre; do
    [ -n "$nombre" ] || continue
    donde=$(awk -F'\t' -v n="$nombre" '$1 == n {print $2}' "$indice" | sort -u)
    [ "$(printf '%s\n' "$donde" | grep -c .)" -le 1 ] && continue
    echo "$(basename "$binario"): $nombre is defined in $(printf '%s' "$donde" | paste -sd' ' -)"
    fallos=$((fallos + 1))
  done < <(printf '%s\n' "$lista" | cut -f2,3 | sort -u | cut -f1 | uniq -d)
done
echo "$fallos functions defined twice in one program"
[ "$fallos" -eq 0 ]
