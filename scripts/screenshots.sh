#!/usr/bin/env bash
# Makes the README's screenshots from the simulated loop, driven from the keyboard as an operator
# would: the Configuration page after Start, and the Pressure window after a few seconds of
# readings. Writes docs/configuration.png and docs/pressure.png.
#   bash scripts/screenshots.sh              builds build/ (as scripts/run.sh does) and uses it
#   CVI_BIN=build-pkg/cvi bash scripts/screenshots.sh
#   CVI_SCALE=2 bash scripts/screenshots.sh  at twice the scale (QT_SCALE_FACTOR), into docs/x2/
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
if [ -z "${CVI_BIN:-}" ]; then
  bash scripts/bootstrap.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build --target cvi
  CVI_BIN=build/cvi
fi
out=docs
scale=${CVI_SCALE:-1}
if [ "$scale" != 1 ]; then out=docs/x$scale; fi
mkdir -p "$out"
export CVI_BIN out scale

xvfb-run -a -s "-screen 0 $((1280 * scale))x$((960 * scale))x24" bash -c '
set -euo pipefail
export QT_SCALE_FACTOR=$scale QT_QPA_PLATFORM=xcb
"$CVI_BIN" --simulate --no-splash &
cvi=$!
trap "kill $cvi 2>/dev/null || true" EXIT
# Waits for a window named $1 and gives it the keyboard.
window() {
  local id=""
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { echo "no window $1" >&2; exit 1; }
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  echo "$id"
}
startup=$(window Startup)
xdotool key Return            # Detect (the default button)
sleep 15                      # the probe at 19200 baud, then 9600, the broadcast, the mode check
window Startup >/dev/null
xdotool key Return            # OK
main=$(window "Corvanel Interactive Ver 1.2")
sleep 1
xdotool key Tab space         # from the instrument list to Start
sleep 4
import -window "$main" "$out/configuration.png"
xdotool key alt+m p           # Measure > Pressure
sleep 1
xdotool key Return            # the first instrument, 01
pressure=$(window Pressure)
sleep 12                      # some readings for the plot and the statistics
import -window "$pressure" "$out/pressure.png"
'
echo "screenshots: $out/configuration.png $out/pressure.png"
