#!/usr/bin/env bash
# Runs a Windows program under the Wine that matches its build, with the build
# tree's own prefix (or the one with-desktop.sh has set up).
# Usage: wine-run.sh win32|win64 PROGRAM [ARGUMENTS...]
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arch=$1; shift
. "$here/wine-env.sh"
wine_setup "$arch" "${WINEPREFIX:-$here/../build/$arch/wineprefix}" || exit 2
exec "$wine_loader" "$@"
