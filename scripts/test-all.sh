#!/usr/bin/env bash
# Installs everything, builds the native program and both Windows programs,
# and runs every test: the native suites, the x86_64 Windows build's suites
# and window tests under Wine in two locales, and the i686 build under Wine's
# 32-bit loader (scripts/test-i686.sh). Then the release artefacts are built
# twice into dist/ and checked.
# Ends with one line: "N passed, N failed".
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$tintmark_root" || exit 1
# Status 3: everything but Wine's 32-bit loader is in place. The rest still
# runs; the i686 route then fails in scripts/test-i686.sh, as a route that
# cannot run is no pass.
bash scripts/install-deps.sh
deps=$?
if [ "$deps" -ne 0 ] && [ "$deps" -ne 3 ]; then
  echo "FAIL: scripts/install-deps.sh ended with status $deps: see its messages above"
  echo "0 passed, 1 failed"
  exit 1
fi

for preset in native mingw-x64 mingw-i686; do
  quiet_build "$preset" || {
    echo "FAIL: the build of $preset failed"
    echo "0 passed, 1 failed"
    exit 1
  }
done
echo "built: build/native/tintmark build/mingw-x64/tintmark.exe build/mingw-i686/tintmark.exe"

# Every script below reports each check as a line "ok: ..." or "FAIL: ...";
# ctest reports its summary. counted COMMAND... runs a command, shows its
# output, and adds its checks to the counts; one that fails with no FAIL line
# counts as one failure.
passed=0
failed=0
if [ "$deps" -eq 3 ]; then
  echo "FAIL: Wine's 32-bit loader (wine32:i386) could not be installed: see install-deps's messages above"
  failed=1
fi
counted() {
  local log rc p f
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  p=$(grep -c '^ok: ' "$log")
  f=$(grep -c '^FAIL: ' "$log")
  rm -f "$log"
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then
    echo "FAIL: $* ended with status $rc"
    f=1
  fi
  passed=$((passed + p))
  failed=$((failed + f))
}

# ctest_counted PRESET: the preset's tests, counted from ctest's summary.
ctest_counted() {
  local log summary f t
  log=$(mktemp)
  ctest --preset "$1" 2>&1 | tee "$log"
  summary=$(ctest_summary "$log")
  rm -f "$log"
  if [ -z "$summary" ]; then
    echo "ctest $1 printed no summary"
    failed=$((failed + 1))
    return
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
  t=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$summary")
  passed=$((passed + t - f))
  failed=$((failed + f))
}

ctest_counted native
ctest_counted mingw-x64
# The test wine.server.stop ends the unit tests' wineserver (the window tests
# end their own); this ends it too where ctest was cut short.
wine_stop

# The release artefacts (two Windows zips and the Debian package), built twice
# in separate folders and checked.
counted bash scripts/release-check.sh

# The shipped i686 program under Wine's 32-bit loader: its suites where the
# machine executes 32-bit code, a sample conversion under qemu-i386 where
# not.
counted bash scripts/test-i686.sh

# The sanitizer build of the native tests, and the release program under
# memcheck.
counted bash scripts/run-sanitizers.sh

# Each fuzz target for a bounded time.
counted bash scripts/run-fuzz.sh 60

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
