# Sourced by windows_cli_test.sh, in its work directory with its settings
# (keyword abc): file names the ANSI code page may not hold. Each name must
# reach its own file and its own output whatever the locale: never turned
# into another name, never a '?'.
D='<B><STRIKE><font color=#00FF00>abc</font></STRIKE></B>'

# Checksums of every file under a directory, paths included.
tree_sums() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 -r sha256sum); }

mkdir names && cd names || exit 1
cp ../TintMark.dat .
n=0
for name in '한국어' 'emoji_😀' 'a〜b' 'x−y' 'メモ' 'café'; do
  n=$((n + 1))
  printf 'abc %s\n' "$n" >"$name.txt"
done
printf 'plain cafe\n' >cafe.txt
printf 'old cafe output\n' >cafe.html
tree_sums . >../names.before
run '한국어.txt' 'emoji_😀.txt' 'a〜b.txt' 'x−y.txt' 'メモ.txt' 'café.txt' >../out.txt 2>&1
status=$?
check_quiet "names: exits 0, prints nothing" "$status" ../out.txt
n=0
for name in '한국어' 'emoji_😀' 'a〜b' 'x−y' 'メモ' 'café'; do
  n=$((n + 1))
  check_ran "$name.txt converted into $name.html" "$status" ../out.txt \
    same_bytes "$D $n\r\n" "$name.html"
done
check "cafe.html untouched by café.txt" same_bytes 'old cafe output\n' cafe.html
# Nothing but the six outputs appeared, and no input changed.
for name in '한국어' 'emoji_😀' 'a〜b' 'x−y' 'メモ' 'café'; do
  mv "$name.html" "../$name.html.out"
done
tree_sums . >../names.after
check "no other file made or changed" cmp -s ../names.before ../names.after
cd .. || exit 1

# The yen sign, which best fit turns into a backslash under code page 932:
# started in sub with the name of an ordinary file there, the program must
# convert that file and touch nothing outside sub.
mkdir -p yen/top/sub
printf 'abc secret\n' >yen/top/secret.txt
printf 'old secret output\n' >yen/top/secret.html
printf 'abc outer\n' >yen/secret.txt
printf 'abc yen\n' >'yen/top/sub/x¥..¥..¥secret.txt'
cp TintMark.dat yen/top/sub/
tree_sums yen >yen.before
(cd yen/top/sub && run 'x¥..¥..¥secret.txt') >out.txt 2>&1
status=$?
check_quiet "yen: exits 0, prints nothing" "$status" out.txt
check_ran "x¥..¥..¥secret.txt converted as the file of that name" "$status" out.txt \
  same_bytes "$D yen\r\n" 'yen/top/sub/x¥..¥..¥secret.html'
mv -f 'yen/top/sub/x¥..¥..¥secret.html' yen.out 2>/dev/null
tree_sums yen >yen.after
check "nothing else in the tree made or changed" cmp -s yen.before yen.after

# The path limit counts UTF-16 units: a Japanese path of 255 units (some 450
# bytes in code page 932) is converted; one of 256 is skipped, not cut. Cut
# to 255 units it would name a ....tex file whose output is the same .html.
# The paths are whole DOS paths (Z:\...), so that they stay within what
# Windows opens without a long-path prefix.
dos() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }
top="$work/long"
part=$(printf 'あ%.0s' $(seq 80))
mkdir -p "$top/$part/$part"
units() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | wc -c | awk '{print $1 / 2}'; }
k=$((255 - $(units "$(dos "$top/$part/$part/")") - 5))
fits="$top/$part/$part/$(printf 'い%.0s' $(seq "$k")).text"
over="$top/$part/$part/$(printf 'う%.0s' $(seq $((k + 1)))).text"
check "the paths are 255 and 256 units long" \
  test "$(units "$(dos "$fits")") $(units "$(dos "$over")")" = "255 256"
printf 'abc fits\n' >"$fits"
printf 'abc over\n' >"$over"
printf 'abc decoy\n' >"${over%t}"
run "$(dos "$fits")" "$(dos "$over")" >out.txt 2>&1
status=$?
check_quiet "path limit: exits 0, prints nothing" "$status" out.txt
check_ran "a 255-unit Japanese path is converted" "$status" out.txt \
  same_bytes "$D fits\r\n" "${fits%text}html"
check "a 256-unit path is skipped, not cut into another name" test ! -e "${over%text}html"
