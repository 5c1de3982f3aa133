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
bash scripts/install-deps.sh || exit 1

for preset in native mingw-x64 mingw-i686; do
  quiet_build "$preset" || {
    echo "build of $preset failed"
    exit 1
  }
done
echo "built: build/native/tintmark build/mingw-x64/tintmark.exe build/mingw-i686/tintmark.exe"

# count_checks SCRIPT WORD: runs scripts/SCRIPT and adds its "WORD: ..." and
# "FAIL: ..." lines to the counts; a script that fails with no FAIL line
# counts as one failure.
count_checks() {
  local log rc p f
  log=$(mktemp)
  bash "scripts/$1" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  p=$(grep -c "^$2: " "$log")
  f=$(grep -c '^FAIL: ' "$log")
  rm -f "$log"
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  passed=$((passed + p))
  failed=$((failed + f))
}

passed=0
failed=0
for preset in native mingw-x64; do
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  summary=$(ctest_summary "$log")
  rm -f "$log"
  if [ -z "$summary" ]; then
    echo "ctest $preset printed no summary"
    failed=$((failed + 1))
    continue
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
  t=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$summary")
  passed=$((passed + t - f))
  failed=$((failed + f))
done
# The test wine.server.stop ends the unit tests' wineserver (the window tests
# end their own); this ends it too where ctest was cut short.
wine_stop

# The release artefacts (two Windows zips and the Debian package), built twice
# in separate folders and checked; each check counts once.
count_checks release-check.sh ok

# The shipped i686 program under Wine's 32-bit loader: its suites where the
# machine executes 32-bit code, a sample conversion under qemu-i386 where
# not. Counts as one.
if bash scripts/test-i686.sh; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

# The sanitizer build of the native tests, and the release program under
# memcheck; each of the two counts once in the summary.
count_checks run-sanitizers.sh PASS

# Each fuzz target for a bounded time; the status is the number that failed.
bash scripts/run-fuzz.sh 60
f=$?
passed=$((passed + 3 - f))
failed=$((failed + f))

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
