#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each for SECONDS
# (default 60) on a scratch copy of its seed corpus in fuzz/corpus/, which is
# never grown. Prints one "ok:"/"FAIL:" line per target, then the number that
# failed (a crash, a sanitizer report, leaks included, a broken check, a
# timeout or running out of memory), and exits 1 when any did. Reproducers
# and logs are kept in build/fuzz/runs/.
#
#   scripts/run-fuzz.sh [SECONDS [TARGET...]]
#
# A reproducer runs again with: build/fuzz/fuzz/TARGET FILE
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$tintmark_root" || exit 2

all_targets=(fuzz_decorator fuzz_settings fuzz_output_names)
seconds=${1:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS [TARGET...]]" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
  if [ ! -d "fuzz/corpus/$target" ]; then
    echo "unknown fuzz target: $target" >&2
    exit 2
  fi
done

out=$PWD/build/fuzz/runs
mkdir -p "$out"
if ! { cmake --preset fuzz && nice cmake --build --preset fuzz; } >"$out/build.log" 2>&1; then
  cat "$out/build.log"
  check "build of the fuzz targets" false
  finish
fi

# Corpus copies and the targets' own scratch files, in memory where possible.
base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
scratch_dir "$base/tintmark-fuzz-run.XXXXXX" || {
  check "a scratch directory for the fuzz runs" false
  finish
}

# What ended a run, from its log.
failure_of() {
  local log=$1
  local line
  for pattern in 'ERROR: libFuzzer: timeout' 'ERROR: libFuzzer: out-of-memory' \
    'ERROR: LeakSanitizer' '\*\*\* tintmark fuzz:' 'ERROR: AddressSanitizer' \
    'runtime error:' 'ERROR: libFuzzer'; do
    line=$(grep -m 1 -E "$pattern" "$log") && {
      sed -E 's/^.*(ERROR: |\*\*\* tintmark fuzz: )//; s/^[^ ]*: runtime error: /undefined behaviour: /' <<<"$line" |
        cut -c 1-100
      return
    }
  done
  echo "ended without a report"
}

for target in "${targets[@]}"; do
  log=$out/$target.log
  corpus=$work/corpus-$target
  scratch=$work/scratch-$target
  rm -rf "$out/$target"-crash-* "$out/$target"-leak-* "$out/$target"-timeout-* \
    "$out/$target"-oom-* "$out/$target"-slow-unit-* "$out/$target-scratch"
  cp -R "fuzz/corpus/$target" "$corpus"
  mkdir -p "$scratch"
  started=$SECONDS
  TINTMARK_FUZZ_SCRATCH=$scratch nice "build/fuzz/fuzz/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/$target-" "$corpus" >"$log" 2>&1
  status=$?
  elapsed=$((SECONDS - started))
  runs=$(grep -m 1 'stat::number_of_executed_units:' "$log" | awk '{print $2}')
  speed=$(grep -m 1 'stat::average_exec_per_sec:' "$log" | awk '{print $2}')
  reproducer=$(ls -d "$out/$target"-{crash,leak,timeout,oom,slow-unit}-* 2>/dev/null | head -n 1)
  ran=$(printf '%s: %s runs in %ss (%s/s)' "$target" "${runs:-?}" "$elapsed" "${speed:-?}")
  if [ "$status" -eq 0 ] && [ -z "$reproducer" ]; then
    check "$ran" true
  else
    result="$(failure_of "$log")"
    [ -n "$reproducer" ] && result="$result; reproducer $reproducer"
    result="$result; log $log"
    # Keep what the failing process wrote (the decorator's two outputs).
    if [ -n "$(ls -A "$scratch")" ]; then
      rm -rf "$out/$target-scratch"
      cp -R "$scratch" "$out/$target-scratch"
    fi
    check "$ran: $result" false
  fi
done
finish
