# Sourced by the scripts that start Windows programs.  wine_setup ARCH PREFIX
# sets up Wine for one of the two Windows builds, quietly and without the
# installer dialogs for .NET and HTML support, and sets wine_loader.
#   win32: the product, under the 32-bit loader, in a 32-bit prefix;
#   win64: the 64-bit build, for kernels that can't run 32-bit code.  Debian's
#          `wine` wrapper (and so `wineboot`) takes the 32-bit loader whenever
#          it is installed, so the 64-bit loader is named outright.
wine_setup() {
  export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  case $1 in
    win32) export WINEARCH=win32
           unset WINELOADER
           wine_loader=/usr/lib/wine/wine ;;
    win64) export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
           wine_loader=/usr/lib/wine/wine64 ;;
    *)     echo "wine_setup: unknown Windows build '$1' (win32 or win64)" >&2; return 2 ;;
  esac
}
