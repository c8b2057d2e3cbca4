# Sourced by bench/run.sh and tools/soak.sh: where the three programs are.
# Sets root, clearing, reference and gen; CLEARING, CLEARING_REFERENCE and
# GEN_NETWORK override them (relative paths are made absolute, since the
# scripts run the programs from other directories).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
clearing=$(absolute "${CLEARING:-$root/build/clearing}")
reference=$(absolute "${CLEARING_REFERENCE:-$root/build/clearing-reference}")
gen=$(absolute "${GEN_NETWORK:-$root/build/gen-network}")
