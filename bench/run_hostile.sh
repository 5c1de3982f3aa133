#!/usr/bin/env bash
# Times the converter on tables chosen to make keyword matching slow (see
# bench/hostile.cpp: long keywords that nearly match long runs, keywords
# crowding one filter bucket, a hit at every byte), each against a text of
# the same size as the benchmark corpus, and checks that each costs at most
# 4 times the CPU time per input byte of the benchmark corpus converted with
# its 512-entry table, and that peak memory stays under 8 MiB.
#
#   bench/run_hostile.sh [--mib N] [--reps N]
#
# Defaults: --mib 64, --reps 3 (medians). Scratch files go under $TMPDIR (or
# /tmp) and are removed at the end. Exits 0 when every check passes, 1 when
# one fails, 2 on a usage or build error.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
export LC_ALL=C
root=$tintmark_root
mib=64
reps=3
while (($#)); do
  case $1 in
  --mib) mib=${2:-} && shift 2 ;;
  --reps) reps=${2:-} && shift 2 ;;
  *) sed -n 's/^#   //p' "${BASH_SOURCE[0]}" >&2 && exit 2 ;;
  esac
done
[[ $mib =~ ^[1-9][0-9]*$ && $reps =~ ^[1-9][0-9]*$ ]] || {
  sed -n 's/^#   //p' "${BASH_SOURCE[0]}" >&2
  exit 2
}
bytes=$((mib * 1048576))

die() {
  echo "run_hostile.sh: $*" >&2
  exit 2
}
build=$root/build/native
echo ">> building the native Release preset" >&2
quiet_build native tintmark tintmark_corpus tintmark_hostile >&2 || die "build failed"
scratch_dir "${TMPDIR:-/tmp}/tintmark-hostile.XXXXXX" || die "no scratch directory"
scratch=$work

# cpu_seconds DIR: median CPU time (user + system) of the converter on
# DIR/in.txt, from the shell's own `times` around each run.
cpu_seconds() {
  local dir=$1 i before after runs=()
  for ((i = 0; i < reps; i++)); do
    rm -f "$dir/in.html"
    times >"$scratch/times.before"
    (cd "$dir" && "$build/tintmark" in.txt >/dev/null) || die "converter failed in $dir"
    times >"$scratch/times.after"
    before=$(children_cpu "$scratch/times.before")
    after=$(children_cpu "$scratch/times.after")
    runs+=("$(awk -v a="$after" -v b="$before" 'BEGIN { printf "%.4f", a - b }')")
  done
  printf '%s\n' "${runs[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

peak_kib() {
  (cd "$1" && /usr/bin/time -f %M -o "$scratch/rss" "$build/tintmark" in.txt >/dev/null) ||
    die "converter failed in $1"
  tail -n 1 "$scratch/rss"
}

mkdir "$scratch/corpus"
echo ">> the benchmark corpus, $mib MiB, 512 entries" >&2
"$build/bench/tintmark_corpus" --seed 1 --size "$bytes" --text "$scratch/corpus/in.txt" \
  --table 512 "$scratch/corpus/TintMark.dat" 2>/dev/null || die "corpus failed"
base=$(cpu_seconds "$scratch/corpus")
base_ns=$(awk -v c="$base" -v b="$bytes" 'BEGIN { printf "%.2f", c * 1e9 / b }')
rm -rf "$scratch/corpus"

echo
echo "TintMark hostile tables: $mib MiB of text each, medians of $reps runs, CPU time"
printf '  %-14s %8s %10s %8s %-6s %10s %-6s\n' shape "CPU s" "ns/byte" "x corpus" "" "peak KiB" ""
printf '  %-14s %8s %10s %8s\n' "corpus, 512" "$base" "$base_ns" "1.00"
failed=0
for shape in last-byte first-byte random-long near-miss long-first crowded japanese-run \
  eight-a-list every-byte lone-leads second-bytes; do
  mkdir "$scratch/$shape"
  "$build/bench/tintmark_hostile" "$shape" "$bytes" "$scratch/$shape/in.txt" \
    "$scratch/$shape/TintMark.dat" || die "tintmark_hostile $shape failed"
  cpu=$(cpu_seconds "$scratch/$shape")
  kib=$(peak_kib "$scratch/$shape")
  times_corpus=$(awk -v c="$cpu" -v b="$base" 'BEGIN { printf "%.2f", c / b }')
  verdict=PASS
  awk -v x="$times_corpus" 'BEGIN { exit !(x <= 4) }' || verdict=FAIL
  memory=PASS
  ((kib < 8192)) || memory=FAIL
  [[ $verdict == PASS && $memory == PASS ]] || failed=$((failed + 1))
  printf '  %-14s %8s %10s %8s %-6s %10s %-6s\n' "$shape" "$cpu" \
    "$(awk -v c="$cpu" -v b="$bytes" 'BEGIN { printf "%.2f", c * 1e9 / b }')" "$times_corpus" \
    "$verdict" "$kib" "$memory"
  rm -rf "${scratch:?}/$shape"
done
echo
if ((failed)); then
  echo "$failed shape(s) failed: over 4x the corpus's time per byte, or 8 MiB"
  exit 1
fi
echo "all shapes within 4x the corpus's time per input byte and under 8 MiB"
