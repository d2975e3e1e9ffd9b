#!/usr/bin/env bash
# Installs the build below a temporary prefix whose path holds characters a desktop entry must
# quote, and checks what a user gets there: every file in its place and nothing else, the desktop
# entry valid and starting the installed program, the icon in every size, the man page, the
# installed program working against a temporary HOME, the menu's command starting the service and
# opening its window (the UI built into the program), and scripts/uninstall taking it all away.
#   install_layout_test.sh SOURCE_DIR BUILD_DIR VERSION EXTENSION_DIR
set -euo pipefail
source "$(dirname "$0")/checks.sh"
source_dir=$1 build=$2 version=$3 extension=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/opt/Tide well \$5 100%"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

echo "== the installed files"
same_lines "installed files" "$(expected_files "$extension")" "$(files_below "$prefix")"
[ -x "$prefix/bin/tidewell" ] || fail "bin/tidewell is not executable"
if grep -rIlF -e "$build" -e "$source_dir" "$prefix"; then
  fail "installed files name the build or source folder"
fi

echo "== the desktop entry"
entry="$prefix/share/applications/tidewell.desktop"
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
mapfile -t exec_arguments < <(desktop_exec_arguments "$entry")
same_lines "Exec" "$prefix/bin/tidewell" "$(printf '%s\n' "${exec_arguments[@]}")"
[ "$(desktop_value "$entry" TryExec)" = "$prefix/bin/tidewell" ] || fail "TryExec"
# The menu's command itself starts the installed program.
started=$("${exec_arguments[@]}" --version) || fail "the entry's command does not start"
[[ "$started" == *"$version"* ]] || fail "the entry's command shows '$started'"
for size in 16 22 24 32 48 64 128 256 512; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/tidewell.png"
  [ "$(png_size "$png")" = "${size}x${size}" ] || fail "$png is $(png_size "$png")"
done
icon=$(desktop_value "$entry" Icon)
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon named '$icon'"

echo "== the man page"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l \
  "$prefix/share/man/man1/tidewell.1.gz" 2>&1 >"$work/man.txt") || fail "man: $warnings"
[ -z "$warnings" ] || fail "the man page renders with warnings: $warnings"
grep -q "watch web pages" "$work/man.txt" || fail "the man page has no NAME line"

echo "== the installed program"
home="$work/home"
mkdir "$home"
tidewell() { env -i HOME="$home" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 "$prefix/bin/tidewell" "$@"; }
[[ "$(tidewell --version)" == *"$version"* ]] || fail "--version shows no $version"
added=$(tidewell add http://127.0.0.1:9/news "Local News")
[ "$added" = 'Added page "Local News".' ] || fail "add said: $added"
[ -f "$home/Documents/My Tidewell/Local News.twp" ] || fail "no page file in the temporary HOME"
listed=$(tidewell list)
[[ "$listed" == *"Local News"* && "$listed" == *"http://127.0.0.1:9/news"* ]] ||
  fail "list shows: $listed"

echo "== started from the application menu"
# The menu's command starts the service and hands the window's address to the desktop's opener,
# here a stand-in that writes down what it was given. A runtime folder of its own keeps this
# service apart from any other of this user.
runtime="$work/run" opener="$work/opener"
mkdir -m 700 "$runtime"
mkdir "$opener"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"$OPENED"\n' >"$opener/xdg-open"
chmod +x "$opener/xdg-open"
# The services this test started: the installed program with this test's runtime folder.
services() {
  local exe
  find /proc -mindepth 2 -maxdepth 2 -path '/proc/[0-9]*/exe' -lname "$prefix/bin/tidewell" \
    2>/dev/null | while read -r exe; do
    if tr '\0' '\n' <"${exe%/exe}/environ" 2>/dev/null | grep -qxF "XDG_RUNTIME_DIR=$runtime"; then
      exe=${exe%/exe}
      echo "${exe#/proc/}"
    fi
  done
}
stop_services() {
  local pid
  for pid in $(services); do kill -TERM "$pid" 2>/dev/null || true; done
  for _ in $(seq 300); do
    [ -z "$(services)" ] && return 0
    sleep 0.1
  done
  fail "the service did not end on SIGTERM"
}
trap 'stop_services; rm -rf "$work"' EXIT
env -i HOME="$home" XDG_RUNTIME_DIR="$runtime" OPENED="$work/opened" PATH="$opener:/usr/bin:/bin" \
  LC_ALL=C.UTF-8 "${exec_arguments[@]}" || fail "the menu's command failed"
[ -n "$(services)" ] || fail "the menu's command left no service running"
address=$(head -n 1 "$work/opened")
[[ "$address" =~ ^(http://127\.0\.0\.1:[0-9]+)/ ]] || fail "the opener was given '$address'"
origin=${BASH_REMATCH[1]}
# The address lets the browser in (a cookie), and the window is the UI built into the program.
cookies="$work/cookies"
window=$(curl -sS --fail -L -c "$cookies" -b "$cookies" "$address") || fail "the window's address"
grep -qF '<div id="app">' <<<"$window" || fail "the program serves no built UI: $window"
script=$(grep -oE 'src="[^"]+\.js"' <<<"$window" | head -n 1 | sed -E 's/^src="(\.?\/)?//; s/"$//')
[ -n "$script" ] || fail "the window names no script: $window"
curl -sS --fail -o /dev/null -b "$cookies" "$origin/$script" || fail "the window's script $script"
stop_services

echo "== scripts/uninstall"
# A prefix is shared with other programs: theirs stay.
others=$(printf '%s\n' bin/tidewell-notes share/icons/hicolor/48x48/apps/tidewell-notes.png)
while read -r other; do mkdir -p "$(dirname "$prefix/$other")" && touch "$prefix/$other"; done <<<"$others"
"$source_dir/scripts/uninstall" "$prefix" >"$work/uninstall.log"
same_lines "files left after scripts/uninstall" "$others" "$(files_below "$prefix")"
[ -f "$home/Documents/My Tidewell/Local News.twp" ] || fail "scripts/uninstall removed a page"
echo "The install is complete."
