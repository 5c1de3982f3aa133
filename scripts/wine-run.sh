#!/usr/bin/env bash
# Runs a Windows program under Wine (64-bit) with this project's settings:
# a private prefix, code page 932, no debug noise, no Mono/Gecko prompts.
# WINEPREFIX may be set by the caller; otherwise one prefix per checkout.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
wine_settings
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
mkdir -p "$WINEPREFIX"
# The first start creates the prefix; later ones reuse it. A lock keeps two
# parallel tests from creating it at once.
if [ ! -f "$WINEPREFIX/.tintmark-ready" ]; then
  exec 9>"$WINEPREFIX/.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.tintmark-ready" ]; then
    DISPLAY= "$wine" wineboot -i >/dev/null 2>&1 || true
    "$tintmark_wineserver" -w 2>/dev/null || true
    touch "$WINEPREFIX/.tintmark-ready"
  fi
  exec 9>&-
fi
exec "$wine" "$@"
