#!/usr/bin/env bash
# The UTF-8 form of every code page 932 code and the code it converts back
# into, as the Windows program makes them under Wine (the system's table)
# and as the native program makes them (iconv's): both must give the same
# bytes for every code.
# Usage: windows_code_page_table.sh WINDOWS_TABLE_EXE NATIVE_TABLE_PROGRAM
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
windows=$(realpath "$1")
native=$2
wine_run=${TINTMARK_WINE_RUN:-$tintmark_root/scripts/wine-run.sh}
enter_scratch_dir
if [ ! -x "$native" ]; then
  echo "FAIL: no native table program at $native (build the native preset first)"
  exit 1
fi
"$native" >native.txt
native_status=$?
"$wine_run" "$windows" >windows.raw 2>windows.err
windows_status=$?
tr -d '\r' <windows.raw >windows.txt
check "the native program lists every code (status $native_status)" \
  test "$native_status" -eq 0 -a "$(wc -l <native.txt)" -eq 15616
check "the Windows program lists every code (status $windows_status)" \
  test "$windows_status" -eq 0 -a "$(wc -l <windows.txt)" -eq 15616
check "the same UTF-8 and code back for every code ($(grep -vc ' -$' native.txt) codes have one)" \
  cmp -s native.txt windows.txt
if [ "$failures" -gt 0 ]; then
  echo "the Windows program printed on stderr:"
  head -c 2000 windows.err
  echo "differences, native < > Windows:"
  diff native.txt windows.txt | head -40
fi
finish
