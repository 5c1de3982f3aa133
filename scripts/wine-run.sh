#!/usr/bin/env bash
# Runs a Windows program under Wine with this project's settings: a private
# 64-bit prefix, no debug noise, no Mono/Gecko prompts.
#
#   TINTMARK_WINE_LOCALE  the Unix locale Wine takes its ANSI code page from:
#                         ja_JP.UTF-8 (code page 932, the default) or
#                         en_US.UTF-8 (1252).
#   TINTMARK_WINE_LOADER  64 (the default) for x86_64 programs; 32 for i686
#                         ones, through Wine's 32-bit loader in the same kind
#                         of prefix. Where this machine cannot execute 32-bit
#                         code, that loader runs under qemu-i386 (slow).
#   WINEPREFIX            may be set by the caller; otherwise one prefix per
#                         checkout.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${WINEPREFIX:=$here/../build/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=${TINTMARK_WINE_LOCALE:-ja_JP.UTF-8}
export WINEARCH=win64
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
mkdir -p "$WINEPREFIX"
# The first start creates the prefix; later ones reuse it. A lock keeps two
# parallel tests from creating it at once.
if [ ! -f "$WINEPREFIX/.tintmark-ready" ]; then
  exec 9>"$WINEPREFIX/.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.tintmark-ready" ]; then
    DISPLAY= "$wine64" wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w 2>/dev/null || wineserver -w 2>/dev/null || true
    touch "$WINEPREFIX/.tintmark-ready"
  fi
  exec 9>&-
fi
if [ "${TINTMARK_WINE_LOADER:-64}" = 32 ]; then
  # shellcheck source=wine-loader32.sh
  source "$here/wine-loader32.sh"
  if ! route=$(wine32_route); then
    echo "wine-run: no way to run Wine's 32-bit loader here" >&2
    exit 127
  fi
  if [ "$route" = qemu ]; then
    # wineboot could not run its 32-bit half here, which puts the 32-bit
    # system files in place; the same files are copied from the package.
    wow64=$WINEPREFIX/drive_c/windows/syswow64
    if [ ! -e "$wow64/kernel32.dll" ]; then
      exec 9>"$WINEPREFIX/.lock"
      flock 9
      cp -n /usr/lib/i386-linux-gnu/wine/i386-windows/* "$wow64/"
      exec 9>&-
    fi
    # The loader re-executes itself natively unless told not to.
    export WINELOADERNOEXEC=1
    exec qemu-i386 "$WINE32_LOADER" "$@"
  fi
  exec "$WINE32_LOADER" "$@"
fi
exec "$wine64" "$@"
