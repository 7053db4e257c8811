#!/bin/sh
# Pictures of the three windows on Win32, drawn by Wine under Xvfb:
#   scripts/win32-screenshots.sh <Windows build folder> <picture folder>
# The build folder is one configured with cmake/mingw-w64-*.cmake, with the
# target win32_screenshots built; the caption buttons need fonts-wine. A Wine prefix of its own is made under the
# temporary folder and removed afterwards.
set -eu
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

xvfb-run -a -s "-screen 0 1024x768x24" sh -s "$build" "$out" "$here" "$work" <<'INNER'
set -eu
build=$1 out=$2 here=$3 work=$4
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
loader=$(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine)
cmake -DACTION=up -DPREFIX="$WINEPREFIX" -DLOADER="$loader" -DSERVER=wineserver \
  -P "$here/tests/windows/wine_prefix.cmake"
# The caption buttons are letters of Wine's symbol font Marlett (package
# fonts-wine), which Debian's Wine does not find in its own data folder: the
# prefix gets a copy, as a Windows system has it.
marlett=/usr/share/wine/fonts/marlett.ttf
[ -f "$marlett" ] || { echo "$marlett missing: install fonts-wine" >&2; exit 1; }
cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
# The prefix was made without a display: its services start again on this
# one. A server that has ended already is no failure.
wineserver -k || true
wineserver -w || true
for window in main config about; do
  rm -f "$work/geometry"
  "$loader" "$build/bin/win32_screenshots.exe" "$window" "$work/geometry" </dev/null >/dev/null 2>&1 &
  program=$!
  tries=0
  while [ ! -s "$work/geometry" ] && [ $tries -lt 100 ]; do sleep 0.2; tries=$((tries + 1)); done
  [ -s "$work/geometry" ] || { echo "no $window window" >&2; exit 1; }
  import -window root -crop "$(cat "$work/geometry")+0+0" +repage "$out/win32-$window.png"
  echo "$out/win32-$window.png"
  wait $program
done
INNER
