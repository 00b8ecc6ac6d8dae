#!/usr/bin/env bash
# check-package.sh: makes the Debian package of a build tree and checks it as
# a user meets it: its files and dependencies, lintian, the desktop entry and
# the man pages, then the game unpacked and started in its data folder on a
# virtual X server of its own. Installs nothing.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
game= xserver=
trap 'kill $game $xserver 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Polls for a line in a file, for as long as a loaded machine may need.
wait_for() { for _ in $(seq 600); do grep -q "$1" "$2" 2>/dev/null && return 0; sleep 0.1; done; return 1; }

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/zumbrel_*_*.deb)

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sort)
expected=$(sort <<'FILES'
./usr/games/zumbrel
./usr/games/zumbrel-map
./usr/games/zumbrel-mazegen
./usr/share/applications/zumbrel.desktop
./usr/share/doc/zumbrel/changelog.gz
./usr/share/doc/zumbrel/copyright
./usr/share/games/zumbrel/door.txt
./usr/share/games/zumbrel/maze.txt
./usr/share/games/zumbrel/orb.txt
./usr/share/games/zumbrel/ped.txt
./usr/share/games/zumbrel/space.txt
./usr/share/games/zumbrel/start.txt
./usr/share/games/zumbrel/tele.txt
./usr/share/games/zumbrel/wall.txt
./usr/share/icons/hicolor/scalable/apps/zumbrel.svg
./usr/share/man/man6/zumbrel-map.6.gz
./usr/share/man/man6/zumbrel-mazegen.6.gz
./usr/share/man/man6/zumbrel.6.gz
FILES
)
[ "$files" = "$expected" ] || fail "the package holds: $files"
depends=$(dpkg-deb -f "$deb" Depends)
for runtime in libglut3 libglu1 libopengl0 libc6; do
  [[ "$depends" == *"$runtime"* ]] || fail "Depends lacks $runtime: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "not in section games"

errors=$(lintian "$deb" 2>&1 | grep '^E:' || true)
[ -z "$errors" ] || fail "lintian: $errors"

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/zumbrel.desktop" ||
  fail "desktop-file-validate"
grep -qx 'Path=/usr/share/games/zumbrel' "$work/root/usr/share/applications/zumbrel.desktop" ||
  fail "the desktop entry starts elsewhere"
# Under any prefix, a blank in it included, the entry runs the game there.
cmake --install "$build" --prefix "$work/with space" >/dev/null
desktop-file-validate "$work/with space/share/applications/zumbrel.desktop" ||
  fail "desktop-file-validate, installed under a blank"
grep -qxF "Exec=\"$work/with space/games/zumbrel\"" "$work/with space/share/applications/zumbrel.desktop" ||
  fail "Exec under a blank: $(grep Exec "$work/with space/share/applications/zumbrel.desktop")"
for page in "$work"/root/usr/share/man/man6/*.6.gz; do
  warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The unpacked game, started in the unpacked data folder as the desktop
# entry starts it, on a private X server.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xserver=$!
wait_for '[0-9]' "$work/display" || fail "no virtual X server"
cd "$work/root/usr/share/games/zumbrel"
DISPLAY=":$(cat "$work/display")" stdbuf -oL "$work/root/usr/games/zumbrel" >"$work/out" 2>&1 &
game=$!
wait_for '^Average fps: ' "$work/out" || fail "no frame report: $(cat "$work/out")"
grep -q '^Teleports: 4 / 20$' "$work/out" || fail "not the bundled maze: $(cat "$work/out")"
