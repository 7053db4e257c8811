#!/bin/bash
# Takes docs/host-follow-on.png and docs/host-follow-off.png: the interactive
# host on a 1366 x 768 virtual screen, used with the mouse as an operator
# would, on a scratch copy of the module (so no TrailBeam.ini of yours is
# touched). Needs Xvfb (xvfb-run), xdotool and ImageMagick's import.
# Usage: scripts/host-feedback-screenshots.sh [BIN_DIR] [OUT_DIR]
set -euo pipefail

session() {
  "$bin/trailbeam-host" --plugin "$scratch/TrailBeam.so" >"$scratch/host.log" 2>&1 &
  local host=$!
  click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.5}"; }
  # The device setup opens in the middle of the screen, the only window not
  # at the top; its OK sits in its bottom right corner.
  setup_ok() {
    local id x y w h
    for id in $(xdotool search --onlyvisible --name '.*'); do
      eval "$(xdotool getwindowgeometry --shell "$id" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/g_&/p')"
      if [ "$g_Y" -gt 40 ] && [ "$g_WIDTH" -gt 300 ]; then
        click $((g_X + g_WIDTH - 34)) $((g_Y + g_HEIGHT - 17)) 1.5
        return
      fi
    done
    echo "no device setup window found" >&2
    return 1
  }
  sleep 3
  click 745 356 1       # OK on the greeting
  click 30 8            # Plug-in menu
  click 90 29 1.5       # Configure devices…
  setup_ok              # OK in the device setup: read and saved again
  click 1058 42         # device list
  click 952 98          # FOH R
  click 1146 65 0.3     # KM box
  click 1257 68 0.3     # Get Value
  click 673 129 0.3     # FOH R in the host's table, then its spot onto K1
  xdotool mousemove 321 219 mousedown 1 mousemove 270 253 sleep 0.1 mousemove 218 288 \
    sleep 0.1 mousemove 167 322 sleep 0.1 mouseup 1
  sleep 0.3
  click 1105 89 0.3     # K1 box
  click 1257 68 0.3     # Get Value
  click 1058 130 0.8    # master list
  click 953 160         # Truss R
  click 1222 180 0.8    # Enable TB: saves, follow mode on
  click 673 93 0.3      # Truss R in the host's table, then its spot towards K4
  xdotool mousemove 321 219 mousedown 1
  for p in "345 203" "370 187" "395 170" "420 153" "441 139"; do
    xdotool mousemove $p
    sleep 0.15
  done
  xdotool mouseup 1
  sleep 1.5
  import -window root "$out/host-follow-on.png"
  click 1222 180 1.2    # Stop TB
  import -window root "$out/host-follow-off.png"
  kill "$host"
  wait "$host" || true
}
# Inside the virtual screen: the same script again, told where to work.
if [ "${1:-}" = --session ]; then
  session
  exit
fi

bin=$(realpath "${1:-build/plain/bin}")
out=$(realpath "${2:-docs}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$bin/TrailBeam.so" "$scratch/"
# The default rig saved with Truss L, Truss R and FOH L calibrated on all
# marks and FOH R on K1, K2 and KM only, which the plug-in drops on reading.
printf '%s\r\n' "TrailBeam.ini" \
  "Truss L,1,2" 1,141,161 1,135,174 1,112,162 1,118,175 1,126,166 \
  "Truss R,3,4" 1,142,168 1,137,180 1,116,166 1,120,179 1,129,172 \
  "FOH L,5,6" 1,137,179 1,134,188 1,117,179 1,121,188 1,127,183 \
  "FOH R,7,8" 0,137,173 0,134,182 0,-1,-1 0,-1,-1 0,128,177 >"$scratch/TrailBeam.ini"

export bin out scratch
xvfb-run -a -s "-screen 0 1366x768x24" "$0" --session
