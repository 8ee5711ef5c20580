#!/usr/bin/env bash
# tests/tst_makedb.sh DAHDIT_MAKEDB: a table that cannot be built stops the build, said why, and leaves nothing;
# only the tool's own earlier output is replaced.
set -euo pipefail
work=$(mktemp -d) && maker=$(realpath "$1") # the builder, found from the scratch folder too
trap 'rm -rf "$work"' EXIT && cd "$work"
printf '.-\tA\n\tno code before the tab\n' >Broken.tsv
printf '.-\tA\r\n\r\n' >Good.tsv && mkdir -p db/in && cp Good.tsv db/in/ # saved with CRLF; a folder where the database goes
printf 'mine' >built.partial && printf 'mine' >mine.db # the user's own, beside and at an output
"$maker" built Good.tsv && "$maker" built Good.tsv && rm built || { echo "FAIL: its own output not rebuilt, or a CRLF table refused" >&2; exit 1; }
while IFS='|' read -r reason database tables; do
    ! "$maker" "$database" $tables 2>err </dev/null || { echo "FAIL: $database $tables was built" >&2; exit 1; }
    grep -q "$reason" err || { echo "FAIL: no \"$reason\" in: $(cat err)" >&2; exit 1; }
done <<'CASES'
Broken.tsv:2: expected CODE<TAB>TEXT|db1|Broken.tsv
Missing.tsv|db2|Missing.tsv
does not exist|no folder/db|Good.tsv
db/in/Good.tsv: cannot make its table|dbx|Good.tsv db/in/Good.tsv
not a database this tool built|db|Good.tsv
not a database this tool built|mine.db|Good.tsv
CASES
! compgen -G "db?*" >/dev/null || { echo "FAIL: a database was left behind" >&2; exit 1; }
[ "$(cat mine.db built.partial)" = minemine ] || { echo "FAIL: the user's file was replaced or removed" >&2; exit 1; }
