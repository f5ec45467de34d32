#!/usr/bin/env bash
# Runs a Windows program under Wine with this build tree's own prefix, quietly,
# and without the installer dialogs for .NET and HTML support.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${WINEPREFIX:=${QUORVEL_BUILD_DIR:-$here/../build/win32}/wineprefix}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
