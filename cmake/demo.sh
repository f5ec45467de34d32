#!/usr/bin/env bash
# Runs inside with-desktop.sh: starts Quorvel on a Wine virtual desktop (which
# draws the window's frame and caption), lets the demo driver type an example
# and press Compile, prints the report and saves a screenshot; then enlarges
# the window, drags the splitter and saves a second one beside the first.
# Usage: demo.sh WIN32-BUILD-DIR PNG-FILE
set -euo pipefail
bin=$1/bin
png=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin/Quorvel.exe" "$bin/ASM68k.exe" "$bin/demo_driver.exe" "$work/"
cd "$work"

wait_for_file() { for _ in $(seq 1 300); do [ -s "$1" ] && return 0; sleep 0.1; done; return 1; }
desktop_shot() {
  sleep 1
  import -window "$(xdotool search --name 'Quorvel - Wine desktop' | head -n 1)" "$1"
  echo "== screenshot: $1"
}

wine explorer /desktop=Quorvel,480x340 demo_driver.exe report.txt </dev/null >/dev/null 2>&1 &
wait_for_file report.txt || { echo "the demo got no report" >&2; exit 1; }
echo "== the report in the output pane:"
cat report.txt; echo
desktop_shot "$png"

wine explorer /desktop=Quorvel,480x340 demo_driver.exe --reshape grab.txt </dev/null >/dev/null 2>&1 &
if wait_for_file grab.txt; then
  read -r x y < grab.txt
  desktop=$(xdotool search --name 'Quorvel - Wine desktop' | head -n 1)
  xdotool mousemove --window "$desktop" "$x" "$y" sleep 0.3 mousedown 1 sleep 0.3 \
          mousemove --window "$desktop" "$x" $((y + 20)) sleep 0.3 \
          mousemove --window "$desktop" "$x" $((y + 40)) sleep 0.3 mouseup 1
  desktop_shot "${png%.png}-resized.png"
fi
wineserver -k
