#!/usr/bin/env bash
# The programs as a user gets them: installed under a temporary prefix
# (cmake --install), or unpacked from the .deb that cpack makes (dpkg -x).
# Either way the tree must run the bank example end to end from its own
# copy of the examples, hold a page that man renders for every program, and
# answer --version with the project's version from every program but
# clearing (which takes no arguments). The .deb is checked by lintian too.
# usage: instalado.sh install|deb BUILD_DIR VERSION   (exit 77: tool missing)
set -u
modo=$1 build=$2 version=$3

trabajo=$(mktemp -d "${TMPDIR:-/tmp}/clearing-instalado.XXXXXX")
trap 'rm -rf "$trabajo"' EXIT
fallos=0
falla() {
  echo "FAIL $*"
  fallos=$((fallos + 1))
}

case $modo in
  install)
    raiz=$trabajo/prefijo
    cmake --install "$build" --prefix "$raiz" >"$trabajo/install.log" ||
      { cat "$trabajo/install.log"; echo "cmake --install failed"; exit 1; }
    ;;
  deb)
    for herramienta in cpack dpkg-deb; do
      command -v $herramienta >/dev/null || { echo "$herramienta is not installed: skipped"; exit 77; }
    done
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$trabajo/paquete" >"$trabajo/cpack.log" 2>&1 ||
      { cat "$trabajo/cpack.log"; echo "cpack failed"; exit 1; }
    deb=$(ls "$trabajo"/paquete/clearing_"$version"_*.deb)
    dpkg-deb -c "$deb" >"$trabajo/contenido"
    for f in usr/bin/clearing usr/share/man/man1/clearing.1.gz usr/share/doc/clearing/README.md \
      usr/share/doc/clearing/copyright usr/share/doc/clearing/changelog.gz; do
      grep -q " \./$f\$" "$trabajo/contenido" || falla "the package holds no $f"
    done
    grep -q ' \./usr/bin/gen-network$' "$trabajo/contenido" && falla "the package holds gen-network"
    # The companions link Graphviz and libcsv: the package must pull them in.
    depende=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depende"
    if grep -q ' \./usr/bin/clearing-export$' "$trabajo/contenido"; then
      for p in libgvc6 libcgraph6; do [[ $depende == *"$p"* ]] || falla "Depends lacks $p"; done
    fi
    if grep -q ' \./usr/bin/clearing-import$' "$trabajo/contenido"; then
      [[ $depende == *libcsv* ]] || falla "Depends lacks libcsv"
    fi
    # Open MPI comes with clearing-mpi alone, which holds clearing-sweep-mpi.
    [[ $depende == *mpi* ]] && falla "clearing depends on MPI"
    grep -q ' \./usr/bin/clearing-sweep-mpi$' "$trabajo/contenido" &&
      falla "clearing holds clearing-sweep-mpi"
    debs=("$deb")
    if [ -x "$build/clearing-sweep-mpi" ]; then
      mpi=$(ls "$trabajo"/paquete/clearing-mpi_"$version"_*.deb) || falla "no clearing-mpi package"
      if [ -n "${mpi:-}" ]; then
        debs+=("$mpi")
        dpkg-deb -c "$mpi" >"$trabajo/contenido-mpi"
        grep -q ' \./usr/bin/clearing-sweep-mpi$' "$trabajo/contenido-mpi" ||
          falla "clearing-mpi holds no clearing-sweep-mpi"
        depende_mpi=$(dpkg-deb -f "$mpi" Depends)
        echo "Depends (clearing-mpi): $depende_mpi"
        for p in libopenmpi openmpi-bin "clearing (= $version)"; do
          [[ $depende_mpi == *"$p"* ]] || falla "clearing-mpi's Depends lacks $p"
        done
      fi
    fi
    # Debian's checks of a package: no error (compressed pages, copyright,
    # changelog, stripped programs, the control fields).
    if command -v lintian >/dev/null; then
      lintian --no-cfg --fail-on error "${debs[@]}" >"$trabajo/lintian" 2>&1 ||
        falla "lintian: $(grep '^E:' "$trabajo/lintian" | head -20)"
      grep '^[EW]:' "$trabajo/lintian"
    else
      echo "lintian is not installed: the packages are not checked by it"
    fi
    for d in "${debs[@]}"; do dpkg-deb -x "$d" "$trabajo/raiz"; done
    raiz=$trabajo/raiz/usr
    ;;
  *)
    echo "usage: instalado.sh install|deb BUILD_DIR VERSION"
    exit 2
    ;;
esac

bin=$raiz/bin
ejemplo=$raiz/share/doc/clearing/examples/bancos
for p in clearing clearing-reference; do
  [ -x "$bin/$p" ] || falla "no $bin/$p"
done
# The tests' generator stays in the build tree; every companion built is installed.
[ -e "$bin/gen-network" ] && falla "gen-network installed"
for p in clearing-import clearing-export clearing-sweep clearing-sweep-mpi clearing-reconstruct; do
  [ -x "$build/$p" ] && ! [ -x "$bin/$p" ] && falla "$p built but not installed"
done
[ -f "$ejemplo/input.txt" ] || falla "no installed example in $ejemplo"

# The bank example: from the CSV files when clearing-import is there, then
# the report, then the tables when clearing-export is there.
corrida=$trabajo/corrida
mkdir -p "$corrida"
if [ -x "$bin/clearing-import" ]; then
  (cd "$corrida" && "$bin/clearing-import" "$ejemplo/obligations.csv" "$ejemplo/cash.csv") ||
    falla "clearing-import on the bank example"
  cmp -s "$corrida/input.txt" "$ejemplo/input.txt" || falla "clearing-import: input.txt differs"
else
  cp "$ejemplo/input.txt" "$corrida/"
fi
(cd "$corrida" && "$bin/clearing" >stdout) || falla "clearing on the bank example: status $?"
cmp -s "$corrida/output.txt" "$ejemplo/expected/output.txt" || falla "output.txt differs"
[ -s "$corrida/stdout" ] && falla "clearing wrote on standard output"
if [ -x "$bin/clearing-export" ]; then
  (cd "$corrida" && "$bin/clearing-export") || falla "clearing-export on the bank example"
  for f in results.csv payments.csv; do
    cmp -s "$corrida/$f" "$ejemplo/expected/$f" || falla "clearing-export: $f differs"
  done
fi

# The Python module, where the build made it: where Debian's python3 finds
# it, writing the bank example's report byte for byte.
paquete=$raiz/lib/python3/dist-packages
if compgen -G "$build/python/clearing/_native*" >/dev/null; then
  [ -f "$paquete/clearing/__init__.py" ] || falla "no Python package in $paquete"
  PYTHONPATH=$paquete /usr/bin/python3 -c '
import sys, clearing
L, e = clearing.read_input(sys.argv[1] + "/input.txt")
clearing.write_report(sys.argv[2] + "/python.txt", L, e)' "$ejemplo" "$corrida" ||
    falla "import clearing from $paquete"
  cmp -s "$corrida/python.txt" "$ejemplo/expected/output.txt" || falla "clearing.write_report differs"
fi

# Every installed program has a page; man renders each (when man is here).
hay_man=$(command -v man || true)
[ -n "$hay_man" ] || echo "man is not installed: pages checked for presence only"
for programa in "$bin"/*; do
  nombre=$(basename "$programa")
  pagina=$raiz/share/man/man1/$nombre.1
  [ -f "$pagina.gz" ] && pagina=$pagina.gz
  if [ ! -f "$pagina" ]; then
    falla "no page $pagina"
  elif [ -n "$hay_man" ]; then
    titulo="NAME[[:space:]]+${nombre}[[:space:]]+-"
    if ! texto=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$pagina" 2>"$trabajo/man.err") ||
      [ -s "$trabajo/man.err" ] || ! [[ $texto =~ $titulo ]]; then
      falla "man -l $pagina: $(head -c 300 "$trabajo/man.err")"
    fi
  fi
  [ "$nombre" = clearing ] && continue
  if ! respuesta=$("$programa" --version) || [ "$respuesta" != "$nombre $version" ]; then
    falla "$nombre --version: \"$respuesta\", expected \"$nombre $version\""
  fi
done

echo "$fallos failed ($modo: $(cd "$bin" && echo *))"
[ "$fallos" -eq 0 ]
