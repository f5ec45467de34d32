#!/usr/bin/env bash
# Runs inside with-desktop.sh: starts Quorvel on a Wine virtual desktop (which
# draws the window's frame and caption), lets the demo driver type an example
# and press Compile, prints the report and saves a screenshot; then enlarges
# the window, drags the splitter and saves a second one beside the first.
# Usage: demo.sh win32|win64 WINDOWS-BUILD-DIR PNG-FILE
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
wine_setup "$1" "$WINEPREFIX"
bin=$2/bin
png=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin/Quorvel.exe" "$bin/ASM68k.exe" "$bin/demo_driver.exe" "$work/"
cd "$work"

# Wine draws the caption buttons with its Marlett font; a prefix that doesn't
# find it in its Fonts folder shows them as plain letters.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

fail() {
  echo "demo failed: $1" >&2
  if [ -s wine.log ]; then echo "Wine's output:" >&2; sed 's/^/  /' wine.log >&2; fi
  wineserver -k || true
  exit 1
}

# Starts the driver with ARGUMENTS on a virtual desktop and waits up to
# SECONDS for its result FILE; the driver writes error.txt when it fails.
drive() {
  local seconds=$1 file=$2; shift 2
  "$wine_loader" explorer /desktop=Quorvel,480x340 demo_driver.exe "$@" </dev/null >>wine.log 2>&1 &
  local wine=$! tenths=$((seconds * 10))
  for _ in $(seq 1 $tenths); do
    [ -s "$file" ] && return 0
    [ -s error.txt ] && fail "$(cat error.txt)"
    if ! kill -0 $wine 2>/dev/null && ! wait $wine; then
      fail "Wine could not start the demo program (exit code $?)"
    fi
    sleep 0.1
  done
  fail "no $file within $seconds seconds"
}

desktop_shot() {
  sleep 1
  import -window "$(xdotool search --name 'Quorvel - Wine desktop' | head -n 1)" "$1"
  echo "== screenshot: $1"
}

drive 60 report.txt report.txt
echo "== the report in the output pane:"
cat report.txt; echo
desktop_shot "$png"

drive 30 grab.txt --reshape grab.txt
read -r x y < grab.txt
desktop=$(xdotool search --name 'Quorvel - Wine desktop' | head -n 1)
xdotool mousemove --window "$desktop" "$x" "$y" sleep 0.3 mousedown 1 sleep 0.3 \
        mousemove --window "$desktop" "$x" $((y + 20)) sleep 0.3 \
        mousemove --window "$desktop" "$x" $((y + 40)) sleep 0.3 mouseup 1
desktop_shot "${png%.png}-resized.png"
wineserver -k
