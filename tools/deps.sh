#!/usr/bin/env bash
# The Debian packages each tier needs, checked with dpkg and the missing ones
# installed with apt-get (as root, else through sudo). DEPS=no only checks
# and lists. Without apt-get it lists what to install and stops.
# usage: deps.sh run|test|test-all|all   (status 1: something is missing)
#        deps.sh list TIER                the tier's packages, one a line
set -u

# Each tier holds the tiers before it: run (the program), test (make test),
# test-all (make test-all's long tiers), all (everything .ci/run does).
# The last column says what is left out without the package; "-" marks a
# package the tier cannot do without.
read -r -d '' paquetes <<'FIN'
run       g++                    -
run       cmake                  -
run       make                   -
test      libgtest-dev           -
test      pkg-config             clearing-import, clearing-export, clearing-sweep and their tests
test      libcsv-dev             clearing-import, clearing-sweep and their tests
test      libgraphviz-dev        clearing-export and its tests
test      libopenmpi-dev         clearing-sweep-mpi and its test
test      openmpi-bin            clearing-sweep-mpi's test under mpirun
test      chromium               the page's browser test
test      libpng-dev             the page's browser test
test      man-db                 the rendering of the installed manual pages
test      locales                the Spanish-locale test
test      pybind11-dev           the Python module and its tests
test      python3-dev            the Python module and its tests
test      python3-pytest         the Python module's tests
test      python3-numpy          the Python module's tests
test      python3-pandas         the Python module's tests
test      python3-distributed    the Python module's tests
test      python3-venv           the Python module's tests
test      python3-matplotlib     the Python module's tests
test      python3-mypy           the Python module's annotations checked
test-all  valgrind               the valgrind tier
test-all  lintian                the package tier's lintian check
all       clang                  make fuzz
all       libclang-rt-14-dev     make fuzz
all       clang-tidy             make lint
all       cppcheck               make lint
all       g++-mingw-w64-x86-64   make windows
all       g++-mingw-w64-i686     make windows-i686
all       wine                   make crosscheck
all       wine64                 make crosscheck
all       g++-aarch64-linux-gnu  make aarch64
all       g++-i686-linux-gnu     make i686
all       qemu-user              make crosscheck
FIN

listar=
if [ "${1:-}" = list ]; then
  listar=1
  shift
fi
# A tier holds itself and the tiers above it in the table.
case ${1:-} in
  run) niveles=" run " ;;
  test) niveles=" run test " ;;
  test-all) niveles=" run test test-all " ;;
  all) niveles=" run test test-all all " ;;
  *)
    echo "usage: deps.sh run|test|test-all|all, or deps.sh list TIER"
    exit 2
    ;;
esac

# Not Debian-like: nothing can be checked; DEPS=no goes on regardless.
hay_dpkg=$(command -v dpkg)
if [ -z "$listar" ] && [ -z "$hay_dpkg" ] && [ "${DEPS:-}" = no ]; then
  echo "No dpkg here: the packages of '$1' are not checked"
  exit 0
fi

faltan=() requeridos=() dejados=()
while read -r nivel paquete sin; do
  [[ $niveles == *" $nivel "* ]] || continue
  if [ -n "$listar" ]; then
    echo "$paquete"
  elif [ -z "$hay_dpkg" ] || ! dpkg -s "$paquete" >/dev/null 2>&1; then
    faltan+=("$paquete")
    if [ "$sin" = - ]; then requeridos+=("$paquete"); else dejados+=("$sin (without $paquete)"); fi
  fi
done <<<"$paquetes"
[ ${#faltan[@]} -eq 0 ] && exit 0

echo "Missing Debian packages for '$1': ${faltan[*]}"
linea="apt-get install -y ${faltan[*]}"
if [ "${DEPS:-}" = no ]; then
  # Declined: say what stops the build, or what is left out.
  if [ ${#requeridos[@]} -gt 0 ]; then
    echo "Cannot go on without: ${requeridos[*]} (as root: $linea)"
    exit 1
  fi
  printf 'Left out: %s\n' "${dejados[@]}"
  exit 0
fi
if [ -z "$(command -v apt-get)" ]; then
  echo "No apt-get here: install these packages (Debian names) or their equivalents,"
  echo "then run again with DEPS=no."
  exit 1
fi
echo "Installing them (DEPS=no declines)"
if [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update && apt-get install -y "${faltan[@]}"
elif [ -n "$(command -v sudo)" ]; then
  sudo apt-get update && sudo apt-get install -y "${faltan[@]}"
else
  echo "Not root and no sudo: as root, run"
  echo "  $linea"
  echo "or run again with DEPS=no to go on without what can be left out."
  exit 1
fi
