#!/usr/bin/env bash
# Runs a Windows program under Wine with this project's settings: a private
# 64-bit prefix, no debug noise, no Mono/Gecko prompts.
#
#   wine-run.sh PROGRAM [ARG...]   runs PROGRAM; the status is its own
#   wine-run.sh --start-server     makes the prefix if need be and gives it a
#                                  wineserver that stays up until stopped
#   wine-run.sh --stop-server      ends that wineserver, and with it every
#                                  Wine process of the prefix
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
#
# Why a server that stays up: the wineserver a program starts on its own
# begins to close the moment the prefix has no program left running (Debian
# starts it with -p0), and a program that connects just then is cut off
# ("recvmsg: Connection reset by peer") or ended with the server. Programs
# started in parallel, or one right after another, meet that moment sooner
# or later. A server started with -p never closes by itself.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/common.sh"
wine_settings
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
    "$tintmark_wineserver" -w 2>/dev/null || true
    touch "$WINEPREFIX/.tintmark-ready"
  fi
  exec 9>&-
fi
route=native
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
  fi
fi

case ${1:-} in
--start-server)
  # A server left by a run that was cut short may be one that closes by
  # itself; nothing of this run uses the prefix yet.
  wine_stop
  if ! "$tintmark_wineserver" -p </dev/null >/dev/null 2>&1; then
    echo "wine-run: could not start the wineserver of $WINEPREFIX" >&2
    exit 1
  fi
  # The first program of a server starts Wine's own services, which then
  # live as long as the server. Started from here, with no output attached,
  # they hold no test's output open (ctest waits until it is closed).
  if ! DISPLAY= "$wine64" cmd /c exit </dev/null >/dev/null 2>&1; then
    echo "wine-run: the first program of $WINEPREFIX failed" >&2
    wine_stop
    exit 1
  fi
  exit 0
  ;;
--stop-server)
  wine_stop
  exit 0
  ;;
esac

if [ "${TINTMARK_WINE_LOADER:-64}" = 32 ]; then
  if [ "$route" = qemu ]; then
    # The loader re-executes itself natively unless told not to.
    export WINELOADERNOEXEC=1
    exec qemu-i386 "$WINE32_LOADER" "$@"
  fi
  exec "$WINE32_LOADER" "$@"
fi
exec "$wine64" "$@"
