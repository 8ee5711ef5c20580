#!/usr/bin/env bash
# The portable archive from cpack, unpacked into a folder whose name holds a space: its portable marker,
# link, menu entry and icons, and the program started there until File, Exit ends it with every window
# open. The Debian package's test validates the same menu entry, and its lintian refuses a library search path.
#   tests/tst_package.sh BUILD_DIR
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
build=${1:?usage: tst_package.sh BUILD_DIR}
for tool in Xvfb xdotool xclip xprop python3 tar; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool (scripts/install-deps.sh installs it)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G TGZ -B "$work/package") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not make the archive"; }
archive=$(find "$work/package" -maxdepth 1 -name '*.tar.gz' | head -n 1)
root="$work/unpacked here"
mkdir "$root"
tar -xzf "$archive" -C "$root" --strip-components=1

for file in lib/dahdit/dahdit lib/dahdit/dahdit_db.mdb lib/dahdit/readme.txt lib/dahdit/portable bin/dahdit \
    share/applications/io.github.dahdit.Dahdit.desktop share/icons/hicolor/scalable/apps/dahdit.svg \
    share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/dahdit.png; do
    [ -e "$root/$file" ] || fail "the archive lacks $file"
done
[ "$(readlink "$root/bin/dahdit")" = "../lib/dahdit/dahdit" ] || fail "bin/dahdit does not link to the program"
[ ! -e "$root/share/dahdit" ] || fail "the portable archive has an installed database besides its own"
entry="$root/share/applications/io.github.dahdit.Dahdit.desktop"
for line in Exec=dahdit Icon=dahdit Type=Application; do
    grep -qx "$line" "$entry" || fail "the menu entry lacks $line"
done
python3 "$(dirname "$0")/e2e/run_e2e.py" "$root/bin" exit_ends_the_program_with_every_window_open ||
    fail "the unpacked program did not work"
