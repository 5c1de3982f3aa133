#!/usr/bin/env bash
# Runs a test command after showing that Wine gives this run the ANSI code
# page TINTMARK_EXPECT_ACP names (the locale comes from TINTMARK_WINE_LOCALE).
# Usage: windows_locale_check.sh CODE_PAGE_EXE COMMAND...
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
got=$("${TINTMARK_WINE_RUN:-$here/../scripts/wine-run.sh}" "$1" | tr -d '\r')
echo "ANSI code page $got (expected ${TINTMARK_EXPECT_ACP:-any})"
if [ -n "${TINTMARK_EXPECT_ACP:-}" ] && [ "$got" != "$TINTMARK_EXPECT_ACP" ]; then
  echo "FAIL: wrong ANSI code page for this run"
  exit 1
fi
shift
exec "$@"
