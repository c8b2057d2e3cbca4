#!/usr/bin/env bash
# tools/deps.sh's decisions, nothing installed: fake dpkg, apt-get, sudo and
# id on a PATH of their own record what would be installed, for each tier and
# each set of packages already there.
# usage: dependencias.sh SOURCE_DIR
set -u
script=$1/tools/deps.sh
bash=$(command -v bash)
trabajo=$(mktemp -d "${TMPDIR:-/tmp}/clearing-deps.XXXXXX")
trap 'rm -rf "$trabajo"' EXIT
fallos=0
falla() {
  echo "FAIL $*"
  fallos=$((fallos + 1))
}

# The fakes: dpkg knows the packages listed in $HAY; apt-get and sudo append
# their command line to $REGISTRO (sudo then runs the rest); id -u says $UID_FALSO.
falsos=$trabajo/bin
mkdir -p "$falsos"
cat >"$falsos/dpkg" <<'FIN'
#!/bin/bash
[[ " $HAY " == *" $2 "* ]]
FIN
cat >"$falsos/apt-get" <<'FIN'
#!/bin/bash
echo "apt-get $*" >>"$REGISTRO"
FIN
cat >"$falsos/sudo" <<'FIN'
#!/bin/bash
echo "sudo" >>"$REGISTRO"
exec "$@"
FIN
cat >"$falsos/id" <<'FIN'
#!/bin/bash
echo "$UID_FALSO"
FIN
chmod +x "$falsos"/*

# caso NAME TIER HAVE UID DEPS TOOLS STATUS RECORD [OUTPUT]: runs deps.sh TIER
# with the packages HAVE installed, as UID, with DEPS, and only TOOLS of the
# fakes on PATH; checks the exit status, the fakes' record (lines joined by
# "; ") and, when given, a piece of the output.
caso() {
  local nombre=$1 nivel=$2 hay=$3 uid=$4 deps=$5 herramientas=$6 estado=$7 esperado=$8 texto=${9:-}
  local ruta=$trabajo/$nombre
  mkdir -p "$ruta"
  for h in $herramientas; do ln -s "$falsos/$h" "$ruta/$h"; done
  : >"$trabajo/registro"
  local salida obtenido
  salida=$(PATH=$ruta HAY="$hay" UID_FALSO=$uid DEPS=$deps REGISTRO=$trabajo/registro \
    "$bash" "$script" "$nivel" 2>&1)
  obtenido=$?
  [ "$obtenido" = "$estado" ] || falla "$nombre: status $obtenido, expected $estado: $salida"
  local registro
  registro=$(paste -sd';' "$trabajo/registro" | sed 's/;/; /g')
  [ "$registro" = "$esperado" ] || falla "$nombre: recorded \"$registro\", expected \"$esperado\""
  [[ $salida == *"$texto"* ]] || falla "$nombre: output lacks \"$texto\": $salida"
}

todas="dpkg apt-get sudo id"
run="g++ cmake make"
test_completo="$run $("$bash" "$script" list test | tail -n +4 | tr '\n' ' ')"
instala="apt-get update; apt-get install -y"

caso run_bare run "" 0 "" "$todas" 0 "$instala g++ cmake make"
caso run_there run "$run" 0 "" "$todas" 0 ""
caso run_half_there run "cmake" 0 "" "$todas" 0 "$instala g++ make"
caso test_installs_only_its_own test "$run" 0 "" "$todas" 0 \
  "$instala libgtest-dev pkg-config libcsv-dev libgraphviz-dev libopenmpi-dev openmpi-bin chromium libpng-dev man-db locales pybind11-dev python3-dev python3-pytest python3-numpy python3-pandas python3-distributed python3-venv python3-matplotlib python3-mypy"
caso test_there test "$test_completo" 0 "" "$todas" 0 ""
caso test_all_adds_valgrind_lintian test-all "$test_completo" 0 "" "$todas" 0 "$instala valgrind lintian"
caso through_sudo run "make" 1000 "" "$todas" 0 "sudo; apt-get update; sudo; apt-get install -y g++ cmake"
caso no_sudo_prints_the_line run "make" 1000 "" "dpkg apt-get id" 1 "" "apt-get install -y g++ cmake"
caso declined_required_missing test "$run" 0 no "$todas" 1 "" "Cannot go on without: libgtest-dev"
caso declined_optional_missing test "${test_completo/chromium/}" 0 no "$todas" 0 "" \
  "Left out: the page's browser test (without chromium)"
caso declined_nothing_missing test "$test_completo" 0 no "$todas" 0 ""
caso no_apt_get_lists run "make" 0 "" "dpkg sudo id" 1 "" "Missing Debian packages for 'run': g++ cmake"
caso no_dpkg_declined run "" 0 no "apt-get id" 0 "" "not checked"
caso bad_tier tests "" 0 "" "$todas" 2 ""

# CI installs through the same lists: what it always installed is still there.
ci=$("$bash" "$script" list all | tr '\n' ' ')
for p in cmake g++ make libgtest-dev valgrind clang libclang-rt-14-dev clang-tidy cppcheck locales \
  g++-mingw-w64-x86-64 wine wine64 g++-aarch64-linux-gnu g++-i686-linux-gnu qemu-user g++-mingw-w64-i686 \
  pkg-config libgraphviz-dev libcsv-dev chromium libpng-dev man-db libopenmpi-dev openmpi-bin lintian; do
  [[ " $ci" == *" $p "* ]] || falla "the CI tier lacks $p"
done

echo "$fallos failed"
[ "$fallos" -eq 0 ]
