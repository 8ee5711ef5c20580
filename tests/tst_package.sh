#!/usr/bin/env bash
# The portable archive works on its own: it is made with cpack from the build folder (or given
# as the second argument), unpacked into a fresh temporary folder, checked for the program
# folder with the marker that keeps it portable, the link, the menu entry and the icons, and
# the program is started from there under a virtual X display. Its main window must appear and
# close again through File, Exit. Every wait is bounded; nothing waits for a guessed time.
#
#   tests/tst_package.sh BUILD_DIR [ARCHIVE]
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# ---- inside the virtual display: start, find the window, close it through the menu -------------
if [ "${1:-}" = "--inside" ]; then
    root=$2
    log=$3
    # The tests may run with the offscreen platform; this one needs the X display.
    unset QT_QPA_PLATFORM
    "$root/bin/dahdit" >"$log" 2>&1 &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true' EXIT

    # Polls until a condition holds, for at most 20 seconds.
    wait_for() {
        local what=$1
        shift
        local deadline=$((SECONDS + 20))
        until "$@"; do
            kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for $what"
            [ "$SECONDS" -lt "$deadline" ] || fail "no $what within 20 s"
            sleep 0.1
        done
    }
    main_window() {
        window=$(xdotool search --onlyvisible --name '^Dahdit$' 2>/dev/null | head -n 1)
        [ -n "$window" ]
    }
    visible_windows() { { xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true; } | wc -l; }
    menu_open() { [ "$(visible_windows)" -gt "$before" ]; }
    ended() { ! kill -0 "$pid" 2>/dev/null; }

    wait_for "main window" main_window
    echo "main window $window is up"
    before=$(visible_windows)
    # File is the first menu of the menu bar; Save is disabled while there is no output text,
    # so Down selects Exit.
    xdotool mousemove --window "$window" 18 10 click 1
    wait_for "File menu" menu_open
    xdotool key Down Return
    deadline=$((SECONDS + 20))
    until ended; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the program did not end within 20 s of File, Exit"
        sleep 0.1
    done
    trap - EXIT
    wait "$pid" || fail "the program ended with status $?"
    echo "closed through File, Exit"
    exit 0
fi

# ---- outside: make and unpack the archive, check its tree, run it -------------------------------
build=${1:?usage: tst_package.sh BUILD_DIR [ARCHIVE]}
archive=${2:-}
for tool in xvfb-run xdotool tar; do
    command -v "$tool" >/dev/null || {
        echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ -z "$archive" ]; then
    (cd "$build" && cpack -G TGZ -B "$work/package") >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack could not make the archive"; }
    archive=$(find "$work/package" -maxdepth 1 -name '*.tar.gz' | head -n 1)
    [ -n "$archive" ] || fail "cpack made no .tar.gz"
fi
echo "archive: $(basename "$archive")"

# A folder name with a space, as a user's folder may have.
root="$work/unpacked here"
mkdir "$root"
tar -xzf "$archive" -C "$root" --strip-components=1

for file in lib/dahdit/dahdit lib/dahdit/dahdit_db.mdb lib/dahdit/readme.txt lib/dahdit/portable bin/dahdit \
    share/applications/io.github.dahdit.Dahdit.desktop share/icons/hicolor/scalable/apps/dahdit.svg \
    share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/dahdit.png; do
    [ -e "$root/$file" ] || fail "the archive lacks $file"
done
[ -x "$root/lib/dahdit/dahdit" ] || fail "the program is not executable"
[ "$(readlink "$root/bin/dahdit")" = "../lib/dahdit/dahdit" ] || fail "bin/dahdit does not link to the program"
[ ! -e "$root/share/dahdit" ] || fail "the portable archive has an installed database besides its own"
entry="$root/share/applications/io.github.dahdit.Dahdit.desktop"
grep -qx 'Exec=dahdit' "$entry" || fail "the menu entry does not start dahdit: $(grep '^Exec' "$entry")"
grep -qx 'Icon=dahdit' "$entry" || fail "the menu entry has no Icon=dahdit"
grep -qx 'Type=Application' "$entry" || fail "the menu entry is not an application"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "the menu entry does not validate"
fi
# Nothing of the build tree may be needed at run time.
if readelf -d "$root/lib/dahdit/dahdit" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -q "$build"; then
    fail "the program still looks for libraries in the build folder"
fi

xvfb-run -a "$0" --inside "$root" "$work/program.log" || {
    echo "--- program output:"
    cat "$work/program.log"
    fail "the unpacked program did not start and close"
}
echo "PASS"
