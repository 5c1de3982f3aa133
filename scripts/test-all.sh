#!/usr/bin/env bash
# Installs everything, builds the native program and both Windows programs,
# and runs every test: the native suites, the x86_64 Windows build's suites
# and window tests under Wine in two locales, and the i686 build under Wine's
# 32-bit loader (scripts/test-i686.sh).
# Ends with one line: "N passed, N failed".
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh || exit 1

build() {
  cmake --preset "$1" >"build-$1.log" 2>&1 &&
    cmake --build --preset "$1" >>"build-$1.log" 2>&1 || {
    cat "build-$1.log"
    echo "build of $1 failed"
    return 1
  }
  rm -f "build-$1.log"
}
build native || exit 1
build mingw-x64 || exit 1
build mingw-i686 || exit 1
echo "built: build/native/tintmark build/mingw-x64/tintmark.exe build/mingw-i686/tintmark.exe"

passed=0
failed=0
for preset in native mingw-x64; do
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  # ctest's summary: "NN% tests passed, F tests failed out of T"
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
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
# End the unit tests' Wine session (the window tests end their own).
WINEPREFIX=$PWD/build/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true

# The shipped i686 program under Wine's 32-bit loader: its suites where the
# machine executes 32-bit code, a sample conversion under qemu-i386 where
# not. Counts as one.
if bash scripts/test-i686.sh; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

# The sanitizer build of the native tests, and the release program under
# memcheck; each part counts once in the summary.
log=$(mktemp)
bash scripts/run-sanitizers.sh 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
p=$(grep -c '^PASS: ' "$log")
f=$(grep -c '^FAIL: ' "$log")
rm -f "$log"
if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
passed=$((passed + p))
failed=$((failed + f))

# Each fuzz target for a bounded time; the status is the number that failed.
bash scripts/run-fuzz.sh 60
f=$?
passed=$((passed + 3 - f))
failed=$((failed + f))

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
