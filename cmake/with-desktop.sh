#!/usr/bin/env bash
# Runs a command on a private X server with a small window manager and a booted
# Wine prefix, then shuts all of it down.
# Usage: with-desktop.sh win32|win64 PREFIX COMMAND...
#
# The Wine server and the prefix are started before the command, with their
# output sent away: helpers that Wine starts on first use would otherwise
# inherit the command's output and keep its pipe open for ever.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arch=$1 prefix=$(realpath -m "$2"); shift 2
if [ -z "${DISPLAY:-}" ] || [ -z "${QUORVEL_INSIDE_XVFB:-}" ]; then
  exec env QUORVEL_INSIDE_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$arch" "$prefix" "$@"
fi
. "$here/wine-env.sh"
wine_setup "$arch" "$prefix" || exit 2
mkdir -p "$WINEPREFIX"
fvwm -f /dev/null </dev/null >/dev/null 2>&1 &
wm=$!
wineserver -p </dev/null >/dev/null 2>&1
if ! "$wine_loader" wineboot -u </dev/null >"$WINEPREFIX.boot.log" 2>&1; then
  echo "error: Wine could not boot its prefix $WINEPREFIX with $wine_loader; it said:" >&2
  cat "$WINEPREFIX.boot.log" >&2
  wineserver -k </dev/null >/dev/null 2>&1
  kill "$wm" 2>/dev/null
  exit 1
fi
"$@"
status=$?
wineserver -k </dev/null >/dev/null 2>&1
wineserver -w </dev/null >/dev/null 2>&1
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit $status
