#!/usr/bin/env bash
# Runs an i686 Windows program through Wine's 32-bit loader, in a 64-bit
# prefix of its own (made after the 32-bit packages were installed).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${WINEPREFIX:=$here/../build/wineprefix-i686}"
export WINEPREFIX TINTMARK_WINE_LOADER=32
exec "$here/wine-run.sh" "$@"
