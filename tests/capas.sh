#!/usr/bin/env bash
# The layering of src/: a folder includes only itself and the folders of
# lower layers. Prints every include that runs sideways or upward.
# usage: capas.sh SRC_DIR
set -u
src=${1:?usage: capas.sh SRC_DIR}
# The system's interface 0 and the floor above it 1; the engine's layers
# 2–4 (the panel elimination below the solvers); what the programs share 5,
# and above it the networks made from each node's totals and the scenarios
# of a sweep 6; the sweep itself, over both, 7; one folder per program 8.
declare -A capa=([sistema]=0 [base]=1 [panel]=2 [report]=2 [lectura]=2 [linalg]=3 [clearing]=4
  [comun]=5 [totales]=6 [escenarios]=6 [barrido]=7 [run]=8 [import]=8 [export]=8 [sweep]=8
  [reconstruct]=8)

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
