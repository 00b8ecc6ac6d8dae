#!/usr/bin/env bash
# check-package.sh: builds the Debian package with scripts/package and checks
# it as a distribution would: its files, its dependencies and its source
# package's, lintian on the package and, at --pedantic, on the source, the
# desktop entry and the AppStream metainfo, reprotest's two builds under
# every variation it can make here, which must give the same bytes, and the
# autopkgtest against the installed package. Also installs the build tree
# under a prefix with a blank in it. Status 77 when all else passed but the
# autopkgtest could not run: it installs the package, which needs root.
# Usage: check-package.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
root=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
[ "$version" = "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ] ||
  fail "debian/changelog's version $version is not the project's"
deb=$("$root/scripts/package" | tail -1)

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sort)
expected=$(sort <<'FILES'
./usr/games/zumbrel
./usr/games/zumbrel-map
./usr/games/zumbrel-mazegen
./usr/share/applications/example.zumbrel.Zumbrel.desktop
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
./usr/share/metainfo/example.zumbrel.Zumbrel.metainfo.xml
FILES
)
[ "$files" = "$expected" ] || fail "the package holds: $files"
depends=$(dpkg-deb -f "$deb" Depends)
for runtime in libglut3 libglu1 libopengl0 libc6; do
  [[ "$depends" == *"$runtime"* ]] || fail "Depends lacks $runtime: $depends"
done
# Only the libraries the programs call, built with the options as given.
[[ "$depends" != *libglx* ]] || fail "Depends names GLX, which the programs never call: $depends"
log="$(dirname "$deb")/dpkg-buildpackage.log"
! grep -E "invalid flag in DEB_BUILD_OPTIONS|useless dependency" "$log" || fail "dpkg-buildpackage warned"

# The source package holds the files git tracks, and nothing else, git's
# own files aside, as dpkg-source leaves them out.
dsc="$(dirname "$deb")/zumbrel_$version.dsc"
sources=$(tar -tJf "${dsc%.dsc}.tar.xz" | grep -v '/$' | sed "s|^zumbrel-$version/||" | sort)
tracked=$(git -C "$root" ls-files | grep -v -E '(^|/)\.git[a-z]*$' | sort)
[ "$sources" = "$tracked" ] || fail "the source package holds other files than git tracks: $(diff <(echo "$sources") <(echo "$tracked"))"
# A tracked file missing from the tree stops the package, with its name.
git clone -q "$root" "$work/clone"
cp "$root/scripts/package" "$work/clone/scripts/package"
rm "$work/clone/data/orb.txt"
status=0
said=$("$work/clone/scripts/package" 2>&1 >/dev/null) || status=$?
[ "$status:$said" = "1:package: data/orb.txt is tracked by git but missing from the tree" ] ||
  fail "with data/orb.txt missing, scripts/package gave status $status and said: $said"

# No error or warning; the source at --pedantic too.
findings=$(lintian "${deb%.deb}.changes" 2>&1 | grep -E '^[EW]:' || true)
[ -z "$findings" ] || fail "lintian: $findings"
findings=$(lintian --pedantic "$dsc" 2>&1 | grep -E '^[EWP]:' || true)
[ -z "$findings" ] || fail "lintian --pedantic on the source: $findings"

dpkg-deb -x "$deb" "$work/root"
entry="$work/root/usr/share/applications/example.zumbrel.Zumbrel.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate"
grep -qx 'Path=/usr/share/games/zumbrel' "$entry" || fail "the desktop entry starts elsewhere"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/example.zumbrel.Zumbrel.metainfo.xml" \
  >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
# Under any prefix, a blank in it included, the entry runs the game there.
cmake --install "$build" --prefix "$work/with space" >/dev/null
desktop-file-validate "$work/with space/share/applications/example.zumbrel.Zumbrel.desktop" ||
  fail "desktop-file-validate, installed under a blank"
grep -qxF "Exec=\"$work/with space/games/zumbrel\"" \
  "$work/with space/share/applications/example.zumbrel.Zumbrel.desktop" || fail "Exec under a blank"

# The same bytes from two builds of the source package, the second at
# another path and time, in another locale, time zone, umask, home, PATH,
# environment, host name, kernel, CPU count and order of directory entries.
# Varying the user needs a second account, which this check does not make;
# the host name and a shuffling file system need root.
vary=-user_group
[ "$(id -u)" -eq 0 ] || vary+=,-domain_host,-fileordering
cp "$dsc" "${dsc%.dsc}.tar.xz" "$work"
(cd "$work" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" reprotest --vary="$vary" \
  "$(basename "$dsc")" -- null >"$work/reprotest.log" 2>&1) ||
  { tail -60 "$work/reprotest.log"; fail "reprotest: the two builds differ"; }

if [ "$(id -u)" -ne 0 ]; then
  echo "autopkgtest not run: it installs the package, which needs root"
  exit 77
fi
installed=$(dpkg-query -W -f='${Status}' zumbrel 2>/dev/null || true)
# In a folder that apt's own user can read, to which it hands the package.
TMPDIR=/tmp autopkgtest -q "$deb" "$root" -- null >"$work/autopkgtest.log" 2>&1 ||
  { cat "$work/autopkgtest.log"; fail "autopkgtest"; }
# The package leaves as it came.
[[ "$installed" == *"ok installed"* ]] || dpkg -r zumbrel >/dev/null
echo "package checked: $deb"
