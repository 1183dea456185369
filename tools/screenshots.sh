#!/usr/bin/env bash
# Starts a virtual screen with a window manager, runs Velmora on the bundled
# example, clicks through a first analysis (landmarks, wireframe, X list,
# regression, distance plot, Show Regression), checks that the main window
# with its frame lies inside the screen and saves a picture of the screen.
#
#   tools/screenshots.sh [WIDTHxHEIGHT] [DISPLAY_NUMBER] [OUTPUT.png]
#
# Defaults: 1024x768, the first free display from :90, docs/main-WIDTHxHEIGHT.png.  The program
# is build/src/app/velmora unless VELMORA names another.  Exits 77 (skipped)
# when Xvfb, openbox, xdotool, xwininfo or ImageMagick's import is missing,
# 1 when the main window's frame does not fit on the screen.
set -euo pipefail

size=${1:-1024x768}
num=${2:-auto}
if [[ $num == auto ]]; then  # the first display number nobody uses
  num=90
  while [[ -e /tmp/.X$num-lock || -e /tmp/.X11-unix/X$num ]]; do num=$((num + 1)); done
fi
root=$(cd "$(dirname "$0")/.." && pwd)
out=${3:-$root/docs/main-$size.png}
prog=${VELMORA:-$root/build/src/app/velmora}
screen_w=${size%x*}
screen_h=${size#*x}

for tool in Xvfb openbox xdotool xwininfo import python3; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing; skipped"; exit 77; }
done
[[ -x $prog ]] || { echo "screenshots: no program at $prog (build it first)"; exit 1; }

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

Xvfb ":$num" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$num"
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

cd "$root/examples"
QT_QPA_PLATFORM=xcb "$prog" >/tmp/velmora-screenshots-$num.log 2>&1 &
pids+=($!)
main=$(xdotool search --sync --onlyvisible --name '^Velmora — 3D geometric' | head -1)
sleep 1

# The centre of a main-window control in screen pixels, found by its caption
# in the layout file; the canvas is the lower part of the client area.
layout="$root/src/app/Velmora.fig"
geometry() {  # x y width height of a window, from xwininfo
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print x, y, w, h}'
}
read -r client_x client_y _ client_h < <(geometry "$main")
at() {
  python3 - "$layout" "$1" "$client_x" "$client_y" "$client_h" <<'PY'
import json, sys
fig = json.load(open(sys.argv[1]))
h = fig["figure"]["Position"][3]
x0, y0, ch = (int(v) for v in sys.argv[3:6])
top = y0 + ch - h  # the canvas sits below the menu bar
for kid in fig["children"]:
    if kid.get("String") == sys.argv[2]:
        l, b, w, hh = kid["Position"]
        print(int(x0 + l + w / 2), int(top + h - b - hh / 2))
        break
else:
    sys.exit("no control " + sys.argv[2])
PY
}
click() {
  # The window grows by a tab bar when the 3-D view docks into it.
  read -r client_x client_y _ client_h < <(geometry "$main")
  read -r x y < <(at "$1")
  xdotool mousemove "$x" "$y" click 1
  sleep "${2:-1}"
}
open_file() {  # a click that opens a file dialog, answered with a path
  click "$1" 1.5
  xdotool type --delay 2 "$2"
  xdotool key Return
  sleep 2
}
close_message() {  # the report windows go, as a user would close them
  for w in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    xdotool windowactivate --sync "$w" 2>/dev/null && xdotool key --clearmodifiers Return || true
  done
  sleep 0.5
}

# The frame (title bar and borders) of the main window must be on the screen.
# The window manager's frame is the client window's parent.
frame_id=$(xwininfo -tree -id "$main" | awk '/Parent window id/{print $4}')
read -r fx fy fw fh < <(geometry "$frame_id")
echo "main window with its frame: ${fw}x${fh} at ${fx},${fy} on ${size}"
if ((fx < 0 || fy < 0 || fx + fw > screen_w || fy + fh > screen_h)); then
  echo "screenshots: the main window's frame does not fit on the ${size} screen"
  exit 1
fi

open_file "Load Landmarks…" "$root/examples/skulls.txt"
open_file "Load Wireframe…" "$root/examples/skull_wires.txt"
open_file "Load X List…" "$root/examples/age.txt"
click "Do Regression" 2
click "Plot Procrustes Distance" 2
close_message "Regression of Procrustes"
click "Show Regression" 2
close_message "Regression"

# Where the 3-D view is a tab of the main window (small screens), the
# picture shows the plot and the log, with the 3-D View tab beside them.
if [[ $(xdotool search --onlyvisible --name '^Figure 2' 2>/dev/null | wc -l) -eq 0 ]]; then
  read -r client_x client_y _ client_h < <(geometry "$main")
  read -r _ canvas_top < <(python3 - "$layout" "$client_y" "$client_h" <<'PY'
import json, sys
h = json.load(open(sys.argv[1]))["figure"]["Position"][3]
print(0, int(sys.argv[2]) + int(sys.argv[3]) - h)
PY
)
  xdotool mousemove $((client_x + 40)) $((canvas_top - 12)) click 1
  sleep 1
fi

mkdir -p "$(dirname "$out")"
import -window root "$out"
echo "saved $out"
