#!/usr/bin/env bash
# Runs a test command after showing that Wine gives this run the ANSI code
# page TINTMARK_EXPECT_ACP names (the locale comes from TINTMARK_WINE_LOCALE).
# Usage: windows_locale_check.sh CODE_PAGE_EXE COMMAND...
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
printed=$("${TINTMARK_WINE_RUN:-$here/../scripts/wine-run.sh}" "$1")
status=$?
got=$(tr -d '\r' <<<"$printed")
echo "ANSI code page $got (expected ${TINTMARK_EXPECT_ACP:-any})"
if [ "$status" -ne 0 ] || [ -z "$got" ] ||
  { [ -n "${TINTMARK_EXPECT_ACP:-}" ] && [ "$got" != "$TINTMARK_EXPECT_ACP" ]; }; then
  echo "FAIL: the run does not have the code page its locale stands for"
  echo "  the run ended with exit status $status and printed:"
  awk '{ print "  | " $0 }' <<<"$printed"
  exit 1
fi
shift
exec "$@"
