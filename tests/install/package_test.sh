#!/usr/bin/env bash
# Builds the Debian package once, as scripts/package does, and checks it with dpkg-deb: its name,
# its fields, its dependencies (every library the program links, and the desktop's opener), its
# files (what an install puts below /usr, owned by root, nothing elsewhere), no maintainer scripts
# that could touch a user's pages, and a stripped program that runs.
#   package_test.sh BUILD_DIR VERSION EXTENSION_DIR
set -euo pipefail
source "$(dirname "$0")/checks.sh"
build=$1 version=$2 extension=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$work/tidewell_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$work")"

echo "== fields"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tidewell ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
summary="watch web pages and tell when one has really changed"
[ "$(field Description | head -n 1)" = "$summary" ] ||
  fail "Description: $(field Description | head -n 1)"
[ "$(field Description | wc -l)" -gt 3 ] || fail "the Description has no long text"
[ "$(field Description | sed -n 2p)" != " $summary" ] || fail "the long Description repeats the summary"

echo "== dependencies"
# The names in Depends, without versions and alternatives' bars.
depends=$(field Depends | tr ',|' '\n\n' | sed 's/(.*//; s/^ *//; s/ *$//' | LC_ALL=C sort -u)
depends_on() { grep -qxF "$1" <<<"$depends"; }
depends_on xdg-utils || fail "Depends lacks xdg-utils: $depends"
for browser in chromium firefox firefox-esr; do
  ! depends_on "$browser" || fail "Depends names the browser $browser"
done
# Sounds are played by whichever player the desktop has; none is needed.
for player in pipewire-bin pulseaudio-utils alsa-utils; do
  ! depends_on "$player" || fail "Depends names the sound player $player"
  field Recommends | grep -qw "$player" || fail "Recommends lacks $player: $(field Recommends)"
done
dpkg-deb -x "$deb" "$work/root"
program="$work/root/usr/bin/tidewell"
libraries=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$libraries" ] || fail "the program links no libraries"
for library in $libraries; do
  # dpkg -S answers "libfoo1:amd64, libfoo-dbg:amd64: /usr/lib/.../libfoo.so.1".
  owners=$(dpkg -S "*/$library" 2>/dev/null | sed -n 's/: \/.*//p' | tr ',' '\n' |
    sed 's/^ *//; s/:.*//' | sort -u)
  [ -n "$owners" ] || fail "no installed package holds $library"
  found=""
  for owner in $owners; do depends_on "$owner" && found=$owner; done
  [ -n "$found" ] || fail "$library (from $owners) is not in Depends: $depends"
done

echo "== files"
listing=$(dpkg-deb -c "$deb")
outside=$(awk '{ print $6 }' <<<"$listing" | grep -v '^\./usr/' | grep -vx '\./' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
owners=$(awk '{ print $2 }' <<<"$listing" | sort -u)
[ "$owners" = root/root ] || fail "files owned by $owners"
same_lines "packaged files" "$(expected_files "$extension")" "$(files_below "$work/root/usr")"
modes=$(awk '$1 ~ /^-/ { print $1, $6 }' <<<"$listing")
[ "$(grep -c '^-rwxr-xr-x' <<<"$modes")" = 1 ] && grep -q '^-rwxr-xr-x \./usr/bin/tidewell$' <<<"$modes" ||
  fail "modes: only the program is executable: $modes"
grep -v '^-rwxr-xr-x' <<<"$modes" | grep -v '^-rw-r--r--' && fail "a file not readable by all"

echo "== what installing and removing run"
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | LC_ALL=C sort)
same_lines "control files" "$(printf '%s\n' control md5sums)" "$control"

echo "== the packaged program"
entry="$work/root/usr/share/applications/tidewell.desktop"
same_lines "the desktop entry's command" /usr/bin/tidewell "$(desktop_exec_arguments "$entry")"
if readelf -S "$program" | grep -q '\.debug_info'; then fail "the program is not stripped"; fi
[[ "$("$program" --version)" == *"$version"* ]] || fail "the packaged program does not run"
echo "The package is complete."
