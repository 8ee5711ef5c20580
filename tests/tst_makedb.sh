#!/usr/bin/env bash
# The database builder stops the build with a reason and a non-zero status when a table cannot
# be built or put in place, and leaves no database behind.   tests/tst_makedb.sh DAHDIT_MAKEDB
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '.-\tA\n\tno code before the tab\n' >"$work/Broken.tsv"
head -1 "$work/Broken.tsv" >"$work/Good.tsv" && mkdir -p "$work/db/in" # a folder where the database goes
while IFS='|' read -r reason database table; do
    ! "$1" "$work/$database" "$work/$table" 2>"$work/err" </dev/null || { echo "FAIL: $database $table was built" >&2; exit 1; }
    grep -q "$reason" "$work/err" || { echo "FAIL: no \"$reason\" in: $(cat "$work/err")" >&2; exit 1; }
done <<'CASES'
Broken.tsv:2: expected CODE<TAB>TEXT|db|Broken.tsv
Missing.tsv|db|Missing.tsv
unable to open|no folder/db|Broken.tsv
cannot move the finished database into place|db|Good.tsv
CASES
! compgen -G "$work/db?*" >/dev/null || { echo "FAIL: a database was left behind" >&2; exit 1; }
