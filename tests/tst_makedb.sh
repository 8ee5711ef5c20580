#!/usr/bin/env bash
# The database builder stops the build with a reason and a non-zero status when a table cannot
# be built, and leaves no database behind.
#   tests/tst_makedb.sh DAHDIT_MAKEDB
set -euo pipefail
makedb=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expect_failure() { # reason, arguments...
    local reason=$1
    shift
    if "$makedb" "$@" 2>"$work/err"; then
        echo "FAIL: dahdit_makedb $* succeeded" >&2
        exit 1
    fi
    grep -q "$reason" "$work/err" || { echo "FAIL: no \"$reason\" in: $(cat "$work/err")" >&2; exit 1; }
}

printf '.-\tA\nno tab here\n' >"$work/Broken.tsv"
expect_failure "Broken.tsv:2: expected CODE<TAB>TEXT" "$work/db" "$work/Broken.tsv"
expect_failure "Missing.tsv" "$work/db" "$work/Missing.tsv"
expect_failure "unable to open" "$work/no folder/db" "$work/Broken.tsv"
if ls "$work" | grep -q '^db'; then
    echo "FAIL: a database was left behind" >&2
    exit 1
fi
