#!/usr/bin/env bash
# Times the converter against the plain line algorithm (the reference
# converter) and against a plain block copy of the same input, on a seeded
# corpus with tables of 50 and 512 entries, and checks the figures against
# the converter's targets. A second corpus of the same size, where Japanese
# keywords and text dominate (tintmark_corpus --japanese), is converted with
# its own tables of 50 and 512 entries; and the first corpus in UTF-8
# (iconv's), with the first corpus's tables, whose output must be the first
# corpus's output in UTF-8 and cost at most 1.10 times as much per byte; and
# the first corpus in UTF-16 LE with its mark, whose output must be the UTF-8
# corpus's output in UTF-16 LE and cost at most 2 times as much per byte of
# output as the UTF-8 corpus's. For the first three, the CPU time per byte
# of output with 512 entries is checked against that with 50. Also measures
# the converter's peak memory, and its time on a much larger input to show
# time grows linearly with size. bench/run_hostile.sh times tables chosen to make
# matching slow.
#
#   bench/run_bench.sh [--size SIZE] [--big-size SIZE] [--reps N] [--ref-reps N]
#                      [--big-reps N] [--seed N] [--cpu] [--fresh] [--keep]
#
# SIZE is bytes or a number with K, M or G (binary units). Defaults: --size
# 64M, --big-size 512M (0 skips the large run), --reps 5 (converter and copy),
# --ref-reps 1 (the reference is slow: about a minute with 512 entries on
# 64 MiB), --big-reps 1, --seed 1. The checks compare wall-clock time, the
# time a user waits (the converter spreads its work over two threads, so its
# CPU time, user + system, is larger); --cpu bases them on CPU time instead,
# which other load on a shared machine disturbs less. Each timed
# run writes over the previous run's output, as a user converting a file
# again does; --fresh removes the outputs before each timed run instead
# (untimed), which spares the copy and the converter the release of the old
# file's pages. Scratch
# files go under $TMPDIR (or /tmp) and are removed at the end unless --keep
# is given. Exits 0 when every check passes, 1 when one fails, 2 on a usage
# or build error.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
export LC_ALL=C # a dot in $EPOCHREALTIME and in awk's numbers
root=$tintmark_root
size=64M
big_size=512M
reps=5
ref_reps=1
big_reps=1
seed=1
use_cpu=0
fresh=0

usage() {
  sed -n 's/^#   //p' "${BASH_SOURCE[0]}" >&2
  exit 2
}

while (($#)); do
  case $1 in
  --size | --big-size | --reps | --ref-reps | --big-reps | --seed)
    (($# >= 2)) || usage
    case $1 in
    --size) size=$2 ;;
    --big-size) big_size=$2 ;;
    --reps) reps=$2 ;;
    --ref-reps) ref_reps=$2 ;;
    --big-reps) big_reps=$2 ;;
    --seed) seed=$2 ;;
    esac
    shift 2
    ;;
  --keep) keep_scratch=1 && shift ;;
  --cpu) use_cpu=1 && shift ;;
  --fresh) fresh=1 && shift ;;
  *) usage ;;
  esac
done
for n in "$reps" "$ref_reps" "$big_reps"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || usage
done
[[ $seed =~ ^[0-9]+$ ]] || usage

progress() { echo ">> $*" >&2; }
die() {
  echo "run_bench.sh: $*" >&2
  exit 2
}

# --- build -----------------------------------------------------------------
build=$root/build/native
progress "building the native Release preset"
quiet_build native tintmark tintmark_reference_cli tintmark_corpus tintmark_copy >&2 ||
  die "build failed"
converter=$build/tintmark
reference=$build/tests/tintmark_reference
corpus_tool=$build/bench/tintmark_corpus
copy_tool=$build/bench/tintmark_copy

scratch_dir "${TMPDIR:-/tmp}/tintmark-bench.XXXXXX" || die "no scratch directory"
scratch=$work

# --- helpers ---------------------------------------------------------------
# run_in DIR COMMAND...: runs quietly in DIR; a failure ends the benchmark.
run_in() {
  local dir=$1
  shift
  (cd "$dir" && "$@" >/dev/null) || die "failed in $dir: $*"
}

# timed NAME DIR COMMAND...: one run; its wall-clock seconds go to
# wall[NAME] and its CPU seconds (user + system) to cpu[NAME]. The CPU time
# comes from the shell's own `times` (no fork), taken right around the run.
declare -A wall cpu
timed() {
  local name=$1 start end result
  shift
  times >"$scratch/cpu.before"
  start=$EPOCHREALTIME
  run_in "$@"
  end=$EPOCHREALTIME
  times >"$scratch/cpu.after"
  result="$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }') $(awk \
    -v a="$(children_cpu "$scratch/cpu.after")" -v b="$(children_cpu "$scratch/cpu.before")" \
    'BEGIN { printf "%.6f", a - b }')"
  wall[$name]+=" ${result% *}"
  cpu[$name]+=" ${result#* }"
}

# peak_kib DIR COMMAND...: maximum resident set size of one run, in KiB.
peak_kib() {
  local dir=$1
  shift
  (cd "$dir" && /usr/bin/time -f %M -o "$scratch/rss" "$@" >/dev/null) ||
    die "failed in $dir: $*"
  tail -n 1 "$scratch/rss"
}

median() {
  printf '%s\n' "$@" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", a / b }'; }

failed=0
# check NAME VALUE OP LIMIT UNIT [NOTE]: one line of the verdict table.
check() {
  local verdict
  if awk -v v="$2" -v l="$4" -v op="$3" \
    'BEGIN { exit !((op == "<=" && v <= l) || (op == ">=" && v >= l) || (op == "<" && v < l)) }'; then
    verdict=PASS
  else
    verdict=FAIL
    failed=$((failed + 1))
  fi
  printf '  %-40s %12s  %-12s %-6s %s\n' "$1" "$2$5" "$3 $4$5" "$verdict" "${6:-}"
}

# --- corpus and tables -----------------------------------------------------
mkdir "$scratch/t50" "$scratch/t512" "$scratch/j50" "$scratch/j512" "$scratch/u50" "$scratch/u512" \
  "$scratch/w50" "$scratch/w512"
progress "generating a $size corpus and the tables of 50 and 512 entries"
corpus_note=$("$corpus_tool" --seed "$seed" --size "$size" --text "$scratch/corpus.txt" \
  --table 50 "$scratch/t50/TintMark.dat" --table 512 "$scratch/t512/TintMark.dat" 2>&1) ||
  die "$corpus_note"
bytes=$(stat -c %s "$scratch/corpus.txt")
lines=$(sed -n 's/.*bytes, \([0-9]*\) lines.*/\1/p' <<<"$corpus_note")
per_line=$(sed -n 's/.*lines, \([0-9.]*\) keywords.*/\1/p' <<<"$corpus_note")
mib=$(awk -v b="$bytes" 'BEGIN { printf "%g", b / 1048576 }')
progress "generating the Japanese $size corpus and its tables"
japanese_note=$("$corpus_tool" --japanese --seed "$seed" --size "$size" \
  --text "$scratch/j50/corpus.txt" --table 50 "$scratch/j50/TintMark.dat" \
  --table 512 "$scratch/j512/TintMark.dat" 2>&1) || die "$japanese_note"
ln "$scratch/j50/corpus.txt" "$scratch/j512/corpus.txt" 2>/dev/null ||
  cp "$scratch/j50/corpus.txt" "$scratch/j512/corpus.txt"
japanese_bytes=$(stat -c %s "$scratch/j50/corpus.txt")
# The converter reads TintMark.dat from its current directory and writes
# corpus.html beside its input: one directory per table, the input linked in.
for t in 50 512; do
  ln "$scratch/corpus.txt" "$scratch/t$t/corpus.txt" 2>/dev/null ||
    cp "$scratch/corpus.txt" "$scratch/t$t/corpus.txt"
done
# The first corpus in UTF-8, converted with the same tables: a UTF-8 text is
# searched for the keywords' UTF-8 forms.
progress "converting the corpus to UTF-8"
iconv -f CP932 -t UTF-8 "$scratch/corpus.txt" >"$scratch/u50/corpus.txt" ||
  die "iconv could not convert the corpus"
ln "$scratch/u50/corpus.txt" "$scratch/u512/corpus.txt" 2>/dev/null ||
  cp "$scratch/u50/corpus.txt" "$scratch/u512/corpus.txt"
utf8_bytes=$(stat -c %s "$scratch/u50/corpus.txt")
# And in UTF-16 LE after its mark FF FE: converted in its UTF-8 form.
progress "converting the corpus to UTF-16 LE"
{ printf '\xff\xfe' && iconv -f CP932 -t UTF-16LE "$scratch/corpus.txt"; } >"$scratch/w50/corpus.txt" ||
  die "iconv could not convert the corpus"
ln "$scratch/w50/corpus.txt" "$scratch/w512/corpus.txt" 2>/dev/null ||
  cp "$scratch/w50/corpus.txt" "$scratch/w512/corpus.txt"
utf16_bytes=$(stat -c %s "$scratch/w50/corpus.txt")
for t in 50 512; do
  cp "$scratch/t$t/TintMark.dat" "$scratch/u$t/"
  cp "$scratch/t$t/TintMark.dat" "$scratch/w$t/"
done

# --- timings ---------------------------------------------------------------
progress "warming the page cache and measuring peak memory"
cat "$scratch/corpus.txt" >/dev/null
run_in "$scratch" "$copy_tool" corpus.txt copy.txt
declare -A rss
for t in 50 512; do
  rss[$t]=$(peak_kib "$scratch/t$t" "$converter" corpus.txt)
done
rss[utf16]=$(peak_kib "$scratch/w512" "$converter" corpus.txt)

progress "timing the converter (50 and 512 entries) and the copy, $reps runs each"
for ((i = 0; i < reps; i++)); do
  # Interleaved, so a change in the machine's load touches all three alike.
  if ((fresh)); then rm -f "$scratch/copy.txt"; fi
  timed copy "$scratch" "$copy_tool" corpus.txt copy.txt
  if ((fresh)); then rm -f "$scratch/t50/corpus.html"; fi
  timed conv50 "$scratch/t50" "$converter" corpus.txt
  if ((fresh)); then rm -f "$scratch/t512/corpus.html"; fi
  timed conv512 "$scratch/t512" "$converter" corpus.txt
  for t in 50 512; do
    if ((fresh)); then rm -f "$scratch/j$t/corpus.html"; fi
    timed "jconv$t" "$scratch/j$t" "$converter" corpus.txt
    if ((fresh)); then rm -f "$scratch/u$t/corpus.html"; fi
    timed "uconv$t" "$scratch/u$t" "$converter" corpus.txt
    if ((fresh)); then rm -f "$scratch/w$t/corpus.html"; fi
    timed "wconv$t" "$scratch/w$t" "$converter" corpus.txt
  done
done
declare -A japanese_out utf8_out utf8_same utf16_out utf16_same
for t in 50 512; do
  japanese_out[$t]=$(stat -c %s "$scratch/j$t/corpus.html")
  rm -f "$scratch/j$t/corpus.html"
  utf8_out[$t]=$(stat -c %s "$scratch/u$t/corpus.html")
  # The corpus is whole code page 932 characters with no line over 2047
  # bytes, so its output in UTF-8 is the UTF-8 text's output.
  if cmp -s <(iconv -f CP932 -t UTF-8 "$scratch/t$t/corpus.html") "$scratch/u$t/corpus.html"; then
    utf8_same[$t]=yes
  else
    utf8_same[$t]=NO
  fi
  utf16_out[$t]=$(stat -c %s "$scratch/w$t/corpus.html")
  # The UTF-16 text's output is its UTF-8 form's, which is the UTF-8
  # corpus after the mark, in UTF-16 again.
  if cmp -s <(printf '\xff\xfe' && iconv -f UTF-8 -t UTF-16LE "$scratch/u$t/corpus.html") \
    "$scratch/w$t/corpus.html"; then
    utf16_same[$t]=yes
  else
    utf16_same[$t]=NO
  fi
  rm -f "$scratch/u$t/corpus.html" "$scratch/w$t/corpus.html"
done

declare -A same out_bytes
for t in 50 512; do
  progress "timing the reference converter, $t entries, $ref_reps run(s)"
  for ((i = 0; i < ref_reps; i++)); do
    timed "ref$t" "$scratch/t$t" "$reference" corpus.txt reference.html
  done
  if cmp -s "$scratch/t$t/corpus.html" "$scratch/t$t/reference.html"; then
    same[$t]=yes
  else
    same[$t]=NO
  fi
  out_bytes[$t]=$(stat -c %s "$scratch/t$t/corpus.html")
  rm -f "$scratch/t$t/reference.html"
done
rm -f "$scratch"/t*/corpus.html "$scratch/copy.txt"

if [[ $big_size != 0 ]]; then
  mkdir "$scratch/big"
  cp "$scratch/t512/TintMark.dat" "$scratch/big/"
  progress "generating a $big_size corpus; converter only, 512 entries"
  big_note=$("$corpus_tool" --seed "$seed" --size "$big_size" --text "$scratch/big/corpus.txt" \
    2>&1) || die "$big_note"
  big_bytes=$(stat -c %s "$scratch/big/corpus.txt")
  big_mib=$(awk -v b="$big_bytes" 'BEGIN { printf "%g", b / 1048576 }')
  cat "$scratch/big/corpus.txt" >/dev/null
  big_rss=$(peak_kib "$scratch/big" "$converter" corpus.txt)
  for ((i = 0; i < big_reps; i++)); do
    if ((fresh)); then rm -f "$scratch/big/corpus.html"; fi
    timed big "$scratch/big" "$converter" corpus.txt
  done
  rm -rf "$scratch/big"
fi

# --- report ----------------------------------------------------------------
# Checks use wall-clock time unless --cpu is given. The other measure is
# shown beside.
declare -A W C B O
for name in "${!cpu[@]}"; do
  # shellcheck disable=SC2086 # the lists are space-separated numbers
  W[$name]=$(median ${wall[$name]})
  # shellcheck disable=SC2086
  C[$name]=$(median ${cpu[$name]})
  if ((use_cpu)); then
    B[$name]=${C[$name]} O[$name]=${W[$name]}
  else
    B[$name]=${W[$name]} O[$name]=${C[$name]}
  fi
done
if ((use_cpu)); then basis=CPU other=wall; else basis=wall-clock other=CPU; fi
rate() { awk -v b="$1" -v s="$2" 'BEGIN { printf "%.0f", b / 1048576 / s }'; }
row() { # LABEL NAME BYTES [OUTPUT_BYTES]
  local per_out=""
  if [[ -n ${4:-} ]]; then
    per_out=$(awk -v c="${C[$2]}" -v o="$4" 'BEGIN { printf "%.2f", c * 1e9 / o }')
  fi
  printf '  %-34s %8.3f %8.3f %8s %10s\n' "$1" "${W[$2]}" "${C[$2]}" "$(rate "$3" "${B[$2]}")" \
    "$per_out"
}
# CPU time per output byte with 512 entries over that with 50.
per_output_ratio() { # NAME512 OUT512 NAME50 OUT50
  awk -v a="${C[$1]}" -v ao="$2" -v b="${C[$3]}" -v bo="$4" 'BEGIN { printf "%.2f", (a / ao) / (b / bo) }'
}
# check_ratio NAME NUMERATOR DENOMINATOR OP LIMIT: a ratio of two timings.
check_ratio() {
  check "$1" "$(ratio "${B[$2]}" "${B[$3]}")" "$4" "$5" x "$(ratio "${O[$2]}" "${O[$3]}")x"
}

echo
echo "TintMark conversion benchmark"
echo "  corpus: $mib MiB ($bytes bytes, $lines lines, $per_line keywords a line, seed $seed);" \
  "tables of 50 and 512 entries, <BR> on"
echo "  output: $(ratio "${out_bytes[50]}" "$bytes")x the input's size with 50 entries," \
  "$(ratio "${out_bytes[512]}" "$bytes")x with 512; Japanese corpus:" \
  "$(ratio "${japanese_out[50]}" "$japanese_bytes")x and $(ratio "${japanese_out[512]}" "$japanese_bytes")x;" \
  "UTF-8 corpus ($(ratio "$utf8_bytes" "$bytes")x the size):" \
  "$(ratio "${utf8_out[50]}" "$utf8_bytes")x and $(ratio "${utf8_out[512]}" "$utf8_bytes")x;" \
  "UTF-16 LE corpus ($(ratio "$utf16_bytes" "$bytes")x the size):" \
  "$(ratio "${utf16_out[50]}" "$utf16_bytes")x and $(ratio "${utf16_out[512]}" "$utf16_bytes")x"
echo "  medians of $reps runs (converter, copy) and of $ref_reps run(s) of the slow reference;" \
  "checks on $basis time; outputs $( ((fresh)) && echo "removed before each run" || echo "written over")"
echo
printf '  %-34s %8s %8s %8s %10s\n' "" "wall s" "CPU s" "MiB/s" "CPU ns/out"
row "block copy" copy "$bytes"
row "converter, 50 entries" conv50 "$bytes" "${out_bytes[50]}"
row "converter, 512 entries" conv512 "$bytes" "${out_bytes[512]}"
row "converter, Japanese, 50 entries" jconv50 "$japanese_bytes" "${japanese_out[50]}"
row "converter, Japanese, 512 entries" jconv512 "$japanese_bytes" "${japanese_out[512]}"
row "converter, UTF-8, 50 entries" uconv50 "$utf8_bytes" "${utf8_out[50]}"
row "converter, UTF-8, 512 entries" uconv512 "$utf8_bytes" "${utf8_out[512]}"
row "converter, UTF-16 LE, 50 entries" wconv50 "$utf16_bytes" "${utf16_out[50]}"
row "converter, UTF-16 LE, 512 entries" wconv512 "$utf16_bytes" "${utf16_out[512]}"
row "reference, 50 entries" ref50 "$bytes"
row "reference, 512 entries" ref512 "$bytes"
if [[ $big_size != 0 ]]; then
  row "converter, 512 entries, $big_mib MiB" big "$big_bytes"
fi
echo
printf '  %-40s %12s  %-12s %-6s %s\n' check value target result "($other)"
check_ratio "reference / converter, 50 entries" ref50 conv50 ">=" 15
check_ratio "reference / converter, 512 entries" ref512 conv512 ">=" 50
check_ratio "converter / copy, 50 entries" conv50 copy "<=" 4
check_ratio "converter / copy, 512 entries" conv512 copy "<=" 4
check_ratio "converter 512 / 50 entries" conv512 conv50 "<=" 1.3
check "CPU per output byte, 512 / 50 entries" \
  "$(per_output_ratio conv512 "${out_bytes[512]}" conv50 "${out_bytes[50]}")" "<=" 1.10 x
check "the same, Japanese corpus" \
  "$(per_output_ratio jconv512 "${japanese_out[512]}" jconv50 "${japanese_out[50]}")" "<=" 1.10 x
check "the same, UTF-8 corpus" \
  "$(per_output_ratio uconv512 "${utf8_out[512]}" uconv50 "${utf8_out[50]}")" "<=" 1.10 x
for t in 50 512; do
  check "CPU per output byte, UTF-8 / first, $t" \
    "$(per_output_ratio "uconv$t" "${utf8_out[$t]}" "conv$t" "${out_bytes[$t]}")" "<=" 1.10 x
done
for t in 50 512; do
  check "CPU per output byte, UTF-16 / UTF-8, $t" \
    "$(per_output_ratio "wconv$t" "${utf16_out[$t]}" "uconv$t" "${utf8_out[$t]}")" "<=" 2 x
done
check "peak memory, $mib MiB, 50 entries" "${rss[50]}" "<" 8192 " KiB"
check "peak memory, $mib MiB, 512 entries" "${rss[512]}" "<" 8192 " KiB"
check "peak memory, UTF-16 LE, 512 entries" "${rss[utf16]}" "<" 8192 " KiB"
if [[ $big_size != 0 ]]; then
  check "peak memory, $big_mib MiB, 512 entries" "$big_rss" "<" 8192 " KiB"
  # Linear time: the large input costs no more per byte than the small one,
  # with a quarter's margin for noise.
  per_byte() { # NAME BYTES (big) NAME BYTES
    awk -v a="$1" -v ab="$2" -v b="$3" -v bb="$4" 'BEGIN { printf "%.2f", (a / ab) / (b / bb) }'
  }
  check "time per byte, $big_mib / $mib MiB" \
    "$(per_byte "${B[big]}" "$big_bytes" "${B[conv512]}" "$bytes")" "<=" 1.25 x \
    "$(per_byte "${O[big]}" "$big_bytes" "${O[conv512]}" "$bytes")x"
fi
for t in 50 512; do
  if [[ ${utf8_same[$t]} == yes ]]; then
    printf '  %-40s %12s  %-12s %s\n' "UTF-8 output = output in UTF-8, $t" identical "" PASS
  else
    printf '  %-40s %12s  %-12s %s\n' "UTF-8 output = output in UTF-8, $t" differs "" FAIL
    failed=$((failed + 1))
  fi
  if [[ ${utf16_same[$t]} == yes ]]; then
    printf '  %-40s %12s  %-12s %s\n' "UTF-16 output = UTF-8's in UTF-16, $t" identical "" PASS
  else
    printf '  %-40s %12s  %-12s %s\n' "UTF-16 output = UTF-8's in UTF-16, $t" differs "" FAIL
    failed=$((failed + 1))
  fi
  if [[ ${same[$t]} == yes ]]; then
    printf '  %-40s %12s  %-12s %s\n' "output = reference output, $t entries" identical "" PASS
  else
    printf '  %-40s %12s  %-12s %s\n' "output = reference output, $t entries" differs "" FAIL
    failed=$((failed + 1))
  fi
done
echo
if ((failed)); then
  echo "$failed check(s) failed"
  exit 1
fi
echo "all checks passed"
