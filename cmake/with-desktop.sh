#!/usr/bin/env bash
# Runs a command on a private X server with a small window manager and a booted
# Wine prefix, then shuts all of it down.  Usage: with-desktop.sh PREFIX COMMAND...
#
# The Wine server and the prefix are started before the command, with their
# output sent away: helpers that Wine starts on first use would otherwise
# inherit the command's output and keep its pipe open for ever.
set -u
export WINEPREFIX=$1; shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ] || [ -z "${QUORVEL_INSIDE_XVFB:-}" ]; then
  exec env QUORVEL_INSIDE_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$WINEPREFIX" "$@"
fi
mkdir -p "$WINEPREFIX"
fvwm -f /dev/null </dev/null >/dev/null 2>&1 &
wm=$!
wineserver -p </dev/null >/dev/null 2>&1
wineboot -u </dev/null >/dev/null 2>&1
"$@"
status=$?
wineserver -k </dev/null >/dev/null 2>&1
wineserver -w </dev/null >/dev/null 2>&1
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit $status
