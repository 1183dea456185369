#!/usr/bin/env bash
# Starts a virtual screen with a window manager, runs Velmora on the bundled
# example, loads the example surface by the File menu and shows it warped to
# the regression's prediction at the largest X (Display > Surface Shape),
# then saves a picture of the screen.
#
#   tools/surface_screenshot.sh [OUTPUT.png]
#
# Default docs/surface-window.png.  The program is build/src/app/velmora
# unless VELMORA names another; the screen is 1400x900 unless SCREEN gives
# another size (SCREEN=1024x768).  Exits 77 when Xvfb, openbox, xdotool or
# ImageMagick's import is missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/surface-window.png}
prog=${VELMORA:-$root/build/src/app/velmora}
for tool in Xvfb openbox xdotool import; do
  command -v "$tool" >/dev/null || { echo "surface_screenshot: $tool is missing; skipped"; exit 77; }
done
num=90
while [[ -e /tmp/.X$num-lock || -e /tmp/.X11-unix/X$num ]]; do num=$((num + 1)); done
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
Xvfb ":$num" -screen 0 "${SCREEN:-1400x900}x24" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
export DISPLAY=":$num"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
cd "$root/examples"
QT_QPA_PLATFORM=xcb "$prog" >/tmp/velmora-surface-$num.log 2>&1 &
pids+=($!)
main=$(xdotool search --sync --onlyvisible --name '^Velmora — 3D geometric' | head -1)
sleep 1
keys() { xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true; xdotool key --delay 120 "$@"; sleep 1; }
answer() { sleep 1.5; xdotool type --delay 2 "$1"; xdotool key Return; sleep 2; }
# File > Load Landmarks…, Load X List…, Load Surface…
keys alt+f Return
answer "$root/examples/skulls.txt"
keys alt+f Down Down Return
answer "$root/examples/age.txt"
keys alt+f Down Down Down Down Down Return
answer "$root/examples/specimen 1.ply"
# Analysis > Do Regression; Display > Surface Shape > Regression at Largest X
keys alt+a Down Down Down Down Return
sleep 1
for w in $(xdotool search --onlyvisible --name 'Regression' 2>/dev/null); do
  xdotool windowactivate --sync "$w" 2>/dev/null && xdotool key --clearmodifiers Return || true
done
keys alt+d Down Down Down Down Right Down Down Return
sleep 2
mkdir -p "$(dirname "$out")"
import -window root "$out"
echo "saved $out"
