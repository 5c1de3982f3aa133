# The set-up the project's shell scripts and shell tests share; they source
# it. It sets no shell option and starts nothing: it defines tintmark_root
# (the checkout), the Wine settings, scratch directories, quiet builds,
# ctest's summary line, and the counted checks of the end-to-end tests.

tintmark_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# --- Wine -------------------------------------------------------------------
# wine_settings [PREFIX]: exports what every Wine start here runs with: a
# private prefix (PREFIX, else $WINEPREFIX, else one per checkout), no debug
# output, no prompts to install Mono or Gecko, 64-bit, and the locale Wine
# takes its ANSI code page from: TINTMARK_WINE_LOCALE, else the Japanese
# one (code page 932).
wine_settings() {
  export WINEPREFIX=${1:-${WINEPREFIX:-$tintmark_root/build/wineprefix}}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  export LC_ALL=${TINTMARK_WINE_LOCALE:-ja_JP.UTF-8}
}

tintmark_wineserver=/usr/lib/wine/wineserver
[ -x "$tintmark_wineserver" ] || tintmark_wineserver=$(command -v wineserver || echo wineserver)

# wine_stop: ends the wineserver of $WINEPREFIX (else of the checkout's
# prefix), and so every Wine process of that prefix, and no other.
wine_stop() {
  WINEPREFIX=${WINEPREFIX:-$tintmark_root/build/wineprefix} "$tintmark_wineserver" -k \
    2>/dev/null || true
}

# --- Scratch directories ----------------------------------------------------
# scratch_dir [TEMPLATE]: makes a fresh directory (from mktemp's TEMPLATE if
# given), puts its path in `work`, and removes it with everything in it, even
# what a test made unreadable, when the script exits (unless keep_scratch is
# 1: then it says where it is). A script that has more to do at exit defines
# at_exit, which runs first. Fails when no directory can be made.
scratch_dir() {
  work=$(mktemp -d ${1:+"$1"}) || return 1
  trap leave_scratch EXIT
}

leave_scratch() {
  if declare -F at_exit >/dev/null; then
    at_exit
  fi
  if [ "${keep_scratch:-0}" = 1 ]; then
    echo "scratch files kept in $work" >&2
    return
  fi
  chmod -R u+rwx "$work" 2>/dev/null || true
  rm -rf "$work"
}

# enter_scratch_dir: scratch_dir, then works from inside it; ends the script
# when it cannot.
enter_scratch_dir() {
  scratch_dir && cd "$work" || exit 1
}

# --- Builds and ctest -------------------------------------------------------
# quiet_build PRESET [TARGET...]: configures and builds a preset (the
# targets named, or all) from the checkout; shows the log only when that
# fails.
quiet_build() {
  local log preset=$1
  shift
  log=$(mktemp)
  if (cd "$tintmark_root" && cmake --preset "$preset" &&
    cmake --build --preset "$preset" ${1:+--target "$@"}) >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  cat "$log"
  rm -f "$log"
  return 1
}

# ctest_summary LOG: ctest's closing line in LOG ("NN% tests passed, F tests
# failed out of T"); nothing when there is none.
ctest_summary() {
  grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1
}

# --- Timings ----------------------------------------------------------------
# children_cpu FILE: the user + system seconds of the shell's finished
# children in FILE, the output of `times` (taken in the shell itself, not a
# subshell, so that it counts the runs).
children_cpu() {
  LC_ALL=C awk 'NR == 2 { split($1, u, "m"); split($2, s, "m"); sub("s", "", u[2]); sub("s", "", s[2])
                          printf "%.6f\n", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' "$1"
}

# --- Counted checks of the end-to-end tests ---------------------------------
failures=0

check() { # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# check_ran DESCRIPTION STATUS OUTPUT COMMAND...: check, for a check about
# one run of a program, whose exit status is STATUS and whose output is in the
# file OUTPUT. A failure shows both under its FAIL line, so that the log says
# what the program did.
check_ran() {
  local what=$1 status=$2 output=$3
  shift 3
  if "$@"; then
    echo "ok: $what"
    return
  fi
  echo "FAIL: $what"
  failures=$((failures + 1))
  echo "  the run ended with exit status $status and printed $(wc -c <"$output") bytes:"
  head -c 4000 "$output" | awk '{ print "  | " $0 }'
}

# check_quiet DESCRIPTION STATUS OUTPUT: the run exited 0 and printed nothing.
check_quiet() {
  check_ran "$1" "$2" "$3" test "$2" -eq 0 -a ! -s "$3"
}

# same_bytes EXPECTED FILE: EXPECTED is printf %b text (\r, \n, \xHH).
same_bytes() { cmp -s <(printf '%b' "$1") "$2"; }

# finish: the count of failed checks, and the exit status that goes with it.
finish() {
  echo "$failures failed"
  exit $((failures > 0))
}
