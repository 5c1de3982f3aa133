#!/usr/bin/env bash
# Times one command line of many small files, where what each file costs
# besides its conversion (opening, making and replacing its output) counts
# most: the benchmark corpus's first lines cut into FILES files of about
# SIZE bytes, with its table of 50 entries, converted over the previous
# run's outputs. With --against PROGRAM, that program (another build of the
# converter) runs in turn with this one, and the medians of the per-pair
# ratios are printed too.
#
#   bench/run_small_files.sh [--files N] [--size SIZE] [--reps N] [--dir DIR]
#                            [--against PROGRAM]
#
# Defaults: --files 512, --size 2K, --reps 31; DIR (where the files go, as
# the file system matters) defaults to $TMPDIR or /tmp. Exits 0, or 2 on a
# usage or build error.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
export LC_ALL=C
files=512 size=2K reps=31 dir=${TMPDIR:-/tmp} against=
usage() {
  sed -n 's/^#   //p' "${BASH_SOURCE[0]}" >&2
  exit 2
}
while (($#)); do
  case $1 in
  --files) files=${2:-} ;;
  --size) size=${2:-} ;;
  --reps) reps=${2:-} ;;
  --dir) dir=${2:-} ;;
  --against) against=$(realpath "${2:-}") ;;
  *) usage ;;
  esac
  shift 2 || usage
done
[[ $files =~ ^[1-9][0-9]*$ && $reps =~ ^[1-9][0-9]*$ ]] || usage
build=$tintmark_root/build/native
quiet_build native tintmark tintmark_corpus >&2 || exit 2
scratch_dir "$dir/tintmark-small.XXXXXX" || exit 2
cd "$work"
"$build/bench/tintmark_corpus" --size "$size" --text one.txt --table 50 TintMark.dat >/dev/null 2>&1
bytes=$(stat -c %s one.txt)
"$build/bench/tintmark_corpus" --size $((bytes * files)) --text all.txt >/dev/null 2>&1
split -n "l/$files" -a 4 --additional-suffix=.txt all.txt f
rm one.txt all.txt
names=(f*.txt)

# seconds COMMAND...: the wall-clock and CPU seconds of one run.
seconds() {
  local start cpu
  times >times.before
  start=$EPOCHREALTIME
  "$@" "${names[@]}" >/dev/null
  awk -v a="$EPOCHREALTIME" -v b="$start" 'BEGIN { printf "%.4f ", a - b }'
  times >times.after
  cpu=$(children_cpu times.after)
  awk -v a="$cpu" -v b="$(children_cpu times.before)" 'BEGIN { printf "%.4f\n", a - b }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

"$build/tintmark" "${names[@]}" # the outputs exist from here on
for ((i = 0; i < reps; i++)); do
  seconds "$build/tintmark" >>this.txt
  [ -z "$against" ] || seconds "$against" >>other.txt
done
echo "$files files of about $size: this build, medians of $reps runs:" \
  "wall $(cut -d' ' -f1 this.txt | median) s, CPU $(cut -d' ' -f2 this.txt | median) s"
if [ -n "$against" ]; then
  echo "against $against: wall $(cut -d' ' -f1 other.txt | median) s," \
    "CPU $(cut -d' ' -f2 other.txt | median) s"
  echo "this / against, medians of the per-pair ratios:" \
    "wall $(paste -d' ' this.txt other.txt | awk '{ print $1 / $3 }' | median)," \
    "CPU $(paste -d' ' this.txt other.txt | awk '{ print $2 / $4 }' | median)"
fi
