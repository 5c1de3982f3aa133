#!/usr/bin/env bash
# Memory and undefined-behaviour checks, two of them:
#  - sanitized: every native test group and command-line test, built with
#    AddressSanitizer and UndefinedBehaviorSanitizer (preset native-asan);
#  - memcheck: the release command-line program under valgrind's memcheck,
#    on the bundled sample and on a batch of awkward inputs.
# Prints one "ok:"/"FAIL:" line per check, then the number that failed, and
# exits 1 when any check failed.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
root=$tintmark_root
cd "$root" || exit 1

# Any report ends the process with an error; leaks count.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:disable_coredump=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
pass() { check "$1" true; }
fail() { check "$1" false; }

# The unit and command-line tests, built with the sanitizers.
sanitized() {
  quiet_build native-asan || {
    fail "sanitizers: build of native-asan failed"
    return
  }
  # The command-line tests must drive this build's program, not the release one.
  local program=build/native-asan/tintmark
  # (grep reads all of nm's output: with -q, nm could die of SIGPIPE.)
  if ! nm "$program" 2>/dev/null | grep __asan_init >/dev/null ||
    ! grep -q "$root/$program" build/native-asan/tests/CTestTestfile.cmake; then
    fail "sanitizers: the cli tests do not run an instrumented $program"
    return
  fi
  local log
  log=$(mktemp)
  # Set off, so that the shell tests' own check lines are not counted twice.
  ctest --preset native-asan 2>&1 | tee "$log" | sed 's/^/  | /'
  local summary
  summary=$(ctest_summary "$log")
  rm -f "$log"
  if [ -n "$summary" ] && grep -q ' 0 tests failed' <<<"$summary"; then
    pass "sanitizers (ASan+UBSan, leaks on): $summary"
  else
    fail "sanitizers (ASan+UBSan, leaks on): ${summary:-ctest printed no summary}"
  fi
}

# The release build of the command-line program under memcheck.
memcheck() {
  local program=$root/build/native/tintmark
  # Brought up to date, not only built when missing: a stale program would
  # check old code.
  quiet_build native tintmark || {
    fail "memcheck: build of native failed"
    return
  }
  scratch_dir || {
    fail "memcheck: no scratch directory"
    return
  }
  cp samples/sample.txt samples/TintMark.dat "$work"/
  # Odd inputs: a missing file, a directory, an empty file, a line over the
  # 2047-byte piece, a 0x1A byte, NUL bytes, a path with no '.', an input
  # that would be its own output, and a path over 255 bytes.
  mkdir "$work/folder.txt"
  : >"$work/empty.txt"
  {
    head -c 5000 /dev/zero | tr '\0' 'x'
    printf 'abc\x00hidden\nafter\x1a\nunread\n'
  } >"$work/odd.txt"
  printf 'x\n' >"$work/noextension"
  printf 'x\n' >"$work/self.html"
  local long
  long=$(printf '%0300d' 0).txt

  local valgrind=(valgrind --tool=memcheck --leak-check=full --show-leak-kinds=all
    --errors-for-leak-kinds=all --error-exitcode=99 --quiet)
  local rc1 rc2
  (cd "$work" && "${valgrind[@]}" "$program" sample.txt) >"$work/log1" 2>&1
  rc1=$?
  (cd "$work" && "${valgrind[@]}" "$program" missing.txt folder.txt empty.txt odd.txt \
    noextension self.html "$long") >"$work/log2" 2>&1
  rc2=$?
  # The sample converts cleanly (exit 0); the odd batch reports its skips
  # (exit 1); 99 is valgrind's own verdict.
  if [ "$rc1" -eq 0 ] && [ -s "$work/sample.html" ] && [ "$rc2" -eq 1 ] &&
    [ -s "$work/odd.html" ]; then
    pass "memcheck (valgrind, all leak kinds): sample and odd inputs clean"
  else
    cat "$work/log1" "$work/log2"
    fail "memcheck (valgrind, all leak kinds): exit codes $rc1 (sample, want 0) and $rc2 (odd inputs, want 1)"
  fi
  rm -rf "$work"
}

sanitized
memcheck
finish
