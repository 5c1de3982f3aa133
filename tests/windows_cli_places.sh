# Sourced by windows_cli_test.sh, in its work directory: the settings file
# of a program started in some other folder than its own, as Explorer does
# for files dropped on its icon. The program folder's TintMark.dat serves
# when the current folder has none; the current folder's wins when it has
# one; neither is ever written, and none is made.
table() {
  printf '[TntMark set file]\r\n0\r\n%s\r\n\x96\xb3\x95\xcf\x8a\xb7\r\n0\r\n2\r\n[TntMark set file end]\r\n' "$1"
}
dos_path() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

mkdir -p places/prog places/docs/sub
cp "$program" places/prog/tintmark.exe
table beside >places/prog/TintMark.dat
printf 'beside here\n' >places/docs/a.txt
printf 'beside here\n' >places/docs/sub/b.txt
# The outputs and every settings file, after a run from places/docs with one
# full path (as Explorer passes it) and one relative path.
run_beside() {
  rm -f places/docs/a.html places/docs/sub/b.html
  (cd places/docs && "$wine_run" "$work/places/prog/tintmark.exe" \
    "$(dos_path "$work/places/docs/a.txt")" 'sub\b.txt') >out.txt 2>&1
}
run_beside
check "program folder: exits 0, prints nothing" test $? -eq 0 -a ! -s out.txt
check "program folder: a full path decorated with the program folder's table" \
  same_bytes '<I>beside</I> here\r\n' places/docs/a.html
check "program folder: a relative path too" same_bytes '<I>beside</I> here\r\n' places/docs/sub/b.html
check "program folder: no TintMark.dat made in the current folder" \
  test ! -e places/docs/TintMark.dat -a ! -e places/docs/sub/TintMark.dat
check "program folder: its TintMark.dat unchanged" cmp -s places/prog/TintMark.dat <(table beside)
check "program folder: nothing else made beside the program" \
  test "$(ls places/prog | tr '\n' ' ')" = "TintMark.dat tintmark.exe "

table here >places/docs/TintMark.dat
run_beside
check "current folder's file wins: exits 0, prints nothing" test $? -eq 0 -a ! -s out.txt
check "current folder's file wins" same_bytes 'beside <I>here</I>\r\n' places/docs/a.html
check "current folder's file wins for a relative path" \
  same_bytes 'beside <I>here</I>\r\n' places/docs/sub/b.html
check "current folder's file wins: it is unchanged" cmp -s places/docs/TintMark.dat <(table here)
check "current folder's file wins: the program folder's unchanged" \
  cmp -s places/prog/TintMark.dat <(table beside)
rm places/docs/TintMark.dat

# A program folder deeper than the 259 units Windows opens without a
# long-path prefix.
deep="$work/places/$(printf 'p%.0s' $(seq 120))/$(printf 'q%.0s' $(seq 120))/prog"
mkdir -p "$deep"
cp "$program" "$deep/tintmark.exe"
table deep >"$deep/TintMark.dat"
printf 'deep\n' >places/docs/d.txt
(cd places/docs && "$wine_run" "$deep/tintmark.exe" d.txt) >out.txt 2>&1
check "a program folder past 259 units: exits 0, prints nothing" test $? -eq 0 -a ! -s out.txt
check "a program folder past 259 units: its table is read" \
  same_bytes '<I>deep</I>\r\n' places/docs/d.html
check "a program folder past 259 units: its file unchanged" cmp -s "$deep/TintMark.dat" <(table deep)
