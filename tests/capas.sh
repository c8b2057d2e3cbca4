#!/usr/bin/env bash
# The layering of src/: a folder includes only itself and the folders of
# lower layers. Prints every include that runs sideways or upward.
# usage: capas.sh SRC_DIR
set -u
src=${1:?usage: capas.sh SRC_DIR}
# Floor 0; the engine's layers 1–3 (the panel elimination below the
# solvers); what the programs share 4, and above it the networks made from
# each node's totals and the scenarios of a sweep 5; the sweep itself, over
# both, 6; one folder per program 7.
declare -A capa=([base]=0 [panel]=1 [report]=1 [lectura]=1 [linalg]=2 [clearing]=3 [comun]=4
  [totales]=5 [escenarios]=5 [barrido]=6 [run]=7 [import]=7 [export]=7 [sweep]=7 [reconstruct]=7)

fallos=0
for archivo in "$src"/*/*; do
  desde=$(basename "$(dirname "$archivo")")
  [ -n "${capa[$desde]+x}" ] || { echo "$archivo: folder $desde has no layer"; fallos=$((fallos + 1)); continue; }
  while IFS= read -r hacia; do
    [ "$hacia" = "$desde" ] && continue
    if [ -z "${capa[$hacia]+x}" ] || [ "${capa[$hacia]}" -ge "${capa[$desde]}" ]; then
      echo "$archivo includes $hacia/: not a lower layer"
      fallos=$((fallos + 1))
    fi
  done < <(sed -n 's@^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)/.*@\1@p' "$archivo")
done
echo "$fallos includes against the layering"
[ "$fallos" -eq 0 ]
