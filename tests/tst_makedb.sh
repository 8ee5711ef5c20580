#!/usr/bin/env bash
# The database builder stops the build with a reason and a non-zero status when a table cannot
# be built or put in place, and leaves no database behind.   tests/tst_makedb.sh DAHDIT_MAKEDB
set -euo pipefail
work=$(mktemp -d) && maker=$(realpath "$1") # the builder, found from the scratch folder too
trap 'rm -rf "$work"' EXIT && cd "$work"
printf '.-\tA\n\tno code before the tab\n' >Broken.tsv
head -1 Broken.tsv >Good.tsv && mkdir -p db/in && cp Good.tsv db/in/ # a folder where the database goes; a second "Good"
while IFS='|' read -r reason database tables; do
    ! "$maker" "$database" $tables 2>err </dev/null || { echo "FAIL: $database $tables was built" >&2; exit 1; }
    grep -q "$reason" err || { echo "FAIL: no \"$reason\" in: $(cat err)" >&2; exit 1; }
done <<'CASES'
Broken.tsv:2: expected CODE<TAB>TEXT|db|Broken.tsv
Missing.tsv|db|Missing.tsv
unable to open|no folder/db|Broken.tsv
db/in/Good.tsv: cannot make its table|dbx|Good.tsv db/in/Good.tsv
cannot move the finished database into place|db|Good.tsv
CASES
! compgen -G "db?*" >/dev/null || { echo "FAIL: a database was left behind" >&2; exit 1; }
