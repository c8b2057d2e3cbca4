#!/usr/bin/env bash
# Runs the program under valgrind on every bundled example (and on inputs
# that end in each kind of failure) in a fresh directory; any memory error
# or definite/indirect leak fails, and so does a wrong report or status.
# usage: valgrind_ejemplos.sh BINARY EXAMPLES_DIR   (exit 77: no valgrind here)
set -u
bin=$1 examples=$2
command -v valgrind > /dev/null || { echo "valgrind is not installed: skipped"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/clearing-valgrind.XXXXXX")
trap 'rm -rf "$work"' EXIT
fails=0

# run NAME EXPECTED_STATUS: runs the binary on $work/NAME/input.txt
run() {
    local dir=$work/$1 status
    (cd "$dir" && valgrind --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect --quiet "$bin" > stdout 2> valgrind.log < /dev/null)
    status=$?
    if [ "$status" != "$2" ]; then
        echo "FAIL $1: status $status, expected $2"
        cat "$dir/valgrind.log"
        fails=$((fails + 1))
        return 1
    fi
    return 0
}

for ex in "$examples"/*/; do
    name=example_$(basename "$ex")
    mkdir -p "$work/$name"
    cp "$ex/input.txt" "$work/$name/input.txt"
    if run "$name" 0 && ! cmp -s "$work/$name/output.txt" "$ex/expected/output.txt"; then
        echo "FAIL $name: report differs from expected/output.txt"
        fails=$((fails + 1))
    fi
done

# The failures leave through exit() from deep inside the run.
mkdir -p "$work/format" "$work/indeterminate" "$work/negative_dim"
printf '2 1 2 x 4 5 6' > "$work/format/input.txt"
printf '2\n0 1\n1 0\n-0.5 -0.5\n' > "$work/indeterminate/input.txt"
printf -- '-1 5' > "$work/negative_dim/input.txt"
for name in format indeterminate negative_dim; do run "$name" 1; done

echo "$fails failed"
[ "$fails" -eq 0 ]
