#!/usr/bin/env bash
# Runs inside with-desktop.sh: starts Quorvel on a Wine virtual desktop (which
# draws the window's frame and caption), lets the demo driver type an example
# and press Compile, prints the report and saves a screenshot.
# Usage: demo.sh WIN32-BUILD-DIR PNG-FILE
set -euo pipefail
bin=$1/bin
png=$2
work=$(mktemp -d)
cp "$bin/Quorvel.exe" "$bin/ASM68k.exe" "$bin/demo_driver.exe" "$work/"
cd "$work"
wine explorer /desktop=Quorvel,420x280 demo_driver.exe report.txt </dev/null >/dev/null 2>&1 &
for _ in $(seq 1 300); do [ -s report.txt ] && break; sleep 0.1; done
sleep 1
echo "== the report in the output pane:"
cat report.txt; echo
desktop=$(xdotool search --name 'Quorvel - Wine desktop' | head -n 1)
import -window "$desktop" "$png"
echo "== screenshot: $png"
wineserver -k
rm -rf "$work"
