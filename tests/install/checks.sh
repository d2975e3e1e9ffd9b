# What the install and package tests share: the files an install holds, and how a test fails.

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Every file an install puts below its prefix, sorted: the browser extension's are those its
# build left (a folder per browser and a zip of each), which must be there.
expected_files() {  # EXTENSION_DIR
  local size browser
  [ -f "$1/chromium/manifest.json" ] && [ -f "$1/firefox/manifest.json" ] ||
    fail "the browser extension is not built in $1"
  {
    for browser in chromium firefox; do
      files_below "$1/$browser" | sed "s|^|share/tidewell/extension/$browser/|"
      echo "share/tidewell/extension/tidewell-$browser.zip"
    done
    echo bin/tidewell
    echo share/applications/tidewell.desktop
    echo share/icons/hicolor/scalable/apps/tidewell.svg
    for size in 16 22 24 32 48 64 128 256 512; do
      echo "share/icons/hicolor/${size}x${size}/apps/tidewell.png"
    done
    echo share/man/man1/tidewell.1.gz
  } | LC_ALL=C sort
}

# The files and links below a folder, relative to it, sorted.
files_below() {
  (cd "$1" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
}

same_lines() {  # WHAT EXPECTED ACTUAL
  diff -u <(printf '%s\n' "$2") <(printf '%s\n' "$3") >&2 || fail "$1 differ (- expected, + found)"
}

# The value of KEY in the [Desktop Entry] group of a desktop entry file.
desktop_value() {  # FILE KEY
  sed -n "/^\[Desktop Entry\]/,/^\[/s/^$2=//p" "$1"
}

# Exec of a desktop entry, split into its arguments as a desktop launches it: the value is first
# unescaped as a string of the format, then its quoting is the shell's double quoting.
desktop_exec_arguments() {  # FILE
  local value
  value=$(desktop_value "$1" Exec)
  value=${value//\\\\/\\}
  value=${value//%%/%}
  eval "set -- $value"
  printf '%s\n' "$@"
}

# Width and height of a PNG image, from its header.
png_size() {
  [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$1 is no PNG"
  od -An -tu4 --endian=big -j16 -N8 "$1" | awk '{ print $1 "x" $2 }'
}
