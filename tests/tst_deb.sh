#!/usr/bin/env bash
# The Debian package from cpack: lintian-clean and hardened, its files, size, dependencies, menu entry and AppStream
# metadata checked. With --install (as root, on a machine it may change: CI) it is installed with apt-get, worked by an
# unprivileged user under Xvfb across a simulated upgrade, and removed; a Dahdit installed by anyone else is never
# touched.   tests/tst_deb.sh BUILD_DIR [--install]
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

build=${1:?usage: tst_deb.sh BUILD_DIR [--install]}
for tool in cpack dpkg-deb dpkg-shlibdeps file lintian appstreamcli desktop-file-validate; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool (scripts/install-deps.sh test installs it)"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work" # apt reads the package as its own user

(cd "$build" && cpack -G DEB -B "$work") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not make the package"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$work/dahdit_${version}_$(dpkg --print-architecture).deb"

lintian --fail-on error,warning --info "$deb" >"$work/lintian.log" ||
    { cat "$work/lintian.log"; fail "lintian finds errors or warnings"; }
! grep hardening- "$work/lintian.log" || fail "the program is built without Debian's hardening flags"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/dahdit usr/lib/dahdit/dahdit usr/share/dahdit/{dahdit_db.mdb,readme.txt} \
    usr/share/doc/dahdit/{readme.txt,copyright,changelog.gz} usr/share/man/man1/dahdit.1.gz \
    usr/share/applications/io.github.dahdit.Dahdit.desktop usr/share/metainfo/io.github.dahdit.Dahdit.metainfo.xml; do
    [ -e "$root/$file" ] || fail "the package lacks /$file"
done
[ ! -e "$root/usr/lib/dahdit/portable" ] || fail "the installed program folder is marked portable"
size=$(find "$root" -mindepth 1 -printf '%y %s\n' | awk '$1 == "f" { kib += int($2 / 1024) + 1; next } { kib++ } END { print kib }')
[ "$(dpkg-deb -f "$deb" Installed-Size)" = "$size" ] || fail "Installed-Size is not the $size KiB the package installs"
for field in Depends:qt6-qpa-plugins Depends:libqt6widgets6 Recommends:qt6-wayland Recommends:xdg-utils; do
    dpkg-deb -f "$deb" "${field%%:*}" | grep -qw "${field#*:}" || fail "${field%%:*} lacks ${field#*:}"
done
desktop-file-validate "$root/usr/share/applications/io.github.dahdit.Dahdit.desktop" ||
    fail "the menu entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.dahdit.Dahdit.metainfo.xml" ||
    fail "the AppStream metadata does not validate"

[ "${2:-}" = --install ] || { echo "PASS (not installed: give --install to install, work and remove it)"; exit 0; }
[ "$(id -u)" -eq 0 ] || fail "--install needs root"
status=$(dpkg-query -W -f='${db:Status-Status}' dahdit 2>/dev/null || true)
case "$status" in "" | not-installed | config-files) ;; *) fail "dahdit is $status already; this check leaves it alone" ;; esac
# As a user would: the dependencies and recommendations come from the archive. --no-upgrade leaves a Dahdit another
# install put in place meanwhile as it is: the package is ours to remove only where dpkg found it absent and now holds
# this package's very files (apt's output is no proof: one run's log lacked the line dpkg prints for a new package).
apt-get update -qq
LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get install -y --no-upgrade "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get could not install the package"; }
cmp -s <(dpkg-deb -I "$deb" md5sums) "$(dpkg-query --control-path dahdit md5sums 2>/dev/null || echo /dev/null)" ||
    { cat "$work/apt.log"; fail "another Dahdit was installed meanwhile; it is left as it is"; }
purge() { DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq --purge dahdit >"$work/apt.log" 2>&1; }
trap 'purge || true; rm -rf "$work"' EXIT
python3 "$(dirname "$0")/e2e/run_e2e.py" /usr/bin installed_package || fail "the installed program did not work"
trap 'rm -rf "$work"' EXIT
purge || { cat "$work/apt.log"; fail "apt-get could not remove the package"; }
[ ! -e /usr/lib/dahdit ] && [ ! -e /usr/share/dahdit ] || fail "files are left behind after the removal"
echo "PASS"
