#!/usr/bin/env bash
# End-to-end checks of the native command line on a scratch directory.
# Usage: cli_test.sh PATH/TO/tintmark
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
program=$(realpath "$1")
enter_scratch_dir
# The settings search looks beyond the current directory: only into this
# scratch directory, never into the user's own configuration.
export HOME=$work/home XDG_CONFIG_HOME=$work/xdg

# Two entries: "abc" bold and underlined in red at size 5; "ソ" (0x83 0x5C)
# italic with no colour and size 0; the "<BR>" option on.
printf '[TntMark set file]\r\n1\r\nabc\r\nFF0000\r\n5\r\n5\r\n\x83\x5c\r\n\x96\xb3\x95\xcf\x8a\xb7\r\n0\r\n2\r\n[TntMark set file end]\r\n' >TintMark.dat
cp TintMark.dat settings.before

"$program" 2>usage.txt
check "no arguments exits 2" test $? -eq 2
check "no arguments prints a usage line" grep -q '^usage: tintmark' usage.txt

printf 'xx abc yy\nabc\n' >a.txt
printf '\x83\x5c\x83\x5c\r\nplain' >b.log
"$program" a.txt b.log >out.txt 2>err.txt
check "all converted exits 0" test $? -eq 0
check "nothing printed on success" test ! -s out.txt -a ! -s err.txt
check "a.html decorated" same_bytes 'xx <B><U><font color=#FF0000 size=5>abc</font></U></B> yy\r\n<BR><B><U><font color=#FF0000 size=5>abc</font></U></B>\r\n<BR>' a.html
check "b.html decorated" same_bytes '<I>\x83\x5c</I><I>\x83\x5c</I>\r\n<BR>plain<BR>' b.html

printf 'keep\n' >page.html
printf 'x\n' >noextension
printf 'c\n' >c.txt
"$program" page.html noextension missing.txt c.txt 2>err.txt
check "skips exit 1" test $? -eq 1
check "one stderr line per skipped input" test "$(wc -l <err.txt)" -eq 3
check "page.html named" grep -q 'page.html: output would overwrite the input' err.txt
check "noextension named" grep -q "noextension: no '.'" err.txt
check "missing.txt named" grep -q 'missing.txt: cannot read' err.txt
check "page.html untouched" same_bytes 'keep\n' page.html
check "later files still converted" same_bytes 'c\r\n<BR>' c.html
check "settings file never written" cmp -s TintMark.dat settings.before

# Options come first; "--" ends them, so a file may be named like one.
"$program" --version >out.txt 2>err.txt
check "--version exits 0" test $? -eq 0
check "--version prints the name and a version" grep -qxE 'tintmark [0-9]+\.[0-9]+\.[0-9]+' out.txt
"$program" --help >out.txt 2>err.txt
check "--help exits 0 with the usage on stdout" test $? -eq 0 -a ! -s err.txt
check "--help names every option" grep -q -- '--version' out.txt
printf 'abc\n' >--help.txt
"$program" -- --help.txt 2>err.txt
check "a file named like an option converts after --" test $? -eq 0 -a ! -s err.txt
check "--help.html written" same_bytes '<B><U><font color=#FF0000 size=5>abc</font></U></B>\r\n<BR>' ./--help.html
"$program" -- 2>err.txt
check "-- and no file exits 2" test $? -eq 2
check "settings file still never written" cmp -s TintMark.dat settings.before

# A named pipe or a directory is not read (a pipe would wait for a writer).
mkfifo pipe.txt
mkdir folder.txt
timeout 10 "$program" pipe.txt folder.txt 2>err.txt
check "pipe and directory refused without waiting" test $? -eq 1
check "both named on stderr" test "$(grep -c 'cannot read' err.txt)" -eq 2

# --- Where the settings come from: each place holds a table of its own
# keyword (in italics), so the output shows which file was read.
table() { printf '[TntMark set file]\r\n0\r\n%s\r\n\x96\xb3\x95\xcf\x8a\xb7\r\n0\r\n2\r\n[TntMark set file end]\r\n' "$1"; }
mkdir -p places/cwd places/other "$XDG_CONFIG_HOME/tintmark" "$HOME/.config/tintmark"
table here >places/cwd/TintMark.dat
table named >places/other/named.dat
table xdg >"$XDG_CONFIG_HOME/tintmark/TintMark.dat"
table home >"$HOME/.config/tintmark/TintMark.dat"
sums() { sha256sum places/cwd/TintMark.dat places/other/named.dat \
  "$XDG_CONFIG_HOME/tintmark/TintMark.dat" "$HOME/.config/tintmark/TintMark.dat"; }
sums >settings.sums
cd places/cwd || exit 1
printf 'here named xdg home\n' >t.txt
# Converts t.txt with the arguments given and says which keyword was decorated.
decorated() {
  rm -f t.html
  "$@" t.txt 2>../err.txt && grep -o '<I>[a-z]*</I>' t.html | tr -d '\n'
}
check "./TintMark.dat comes first" test "$(decorated "$program")" = '<I>here</I>'
check "--settings FILE wins over it" \
  test "$(decorated "$program" --settings ../other/named.dat)" = '<I>named</I>'
check "--settings=FILE too" \
  test "$(decorated "$program" --settings="$work/places/other/named.dat")" = '<I>named</I>'
check "no message when a settings file was read" test ! -s ../err.txt
mv TintMark.dat ../here.dat
check "then \$XDG_CONFIG_HOME/tintmark/TintMark.dat" test "$(decorated "$program")" = '<I>xdg</I>'
check "then, without XDG_CONFIG_HOME, ~/.config/tintmark/TintMark.dat" \
  test "$(decorated env -u XDG_CONFIG_HOME "$program")" = '<I>home</I>'
check "a relative XDG_CONFIG_HOME counts as none" \
  test "$(decorated env XDG_CONFIG_HOME=xdg "$program")" = '<I>home</I>'
rm "$HOME/.config/tintmark/TintMark.dat"
rm -f t.html
env -u XDG_CONFIG_HOME "$program" t.txt 2>../err.txt
check "with no settings file the files are still converted" test $? -eq 0
check "... with no keyword decorated" same_bytes 'here named xdg home\r\n' t.html
check "... and one stderr line says where it looked" \
  test "$(wc -l <../err.txt)" -eq 1 -a "$(grep -c "no settings file found.*\./TintMark.dat.*$HOME/\.config/tintmark/TintMark.dat" ../err.txt)" -eq 1
table home >"$HOME/.config/tintmark/TintMark.dat"
mv ../here.dat TintMark.dat

rm -f t.html
"$program" --settings missing.dat t.txt 2>../err.txt
check "a missing --settings file exits 2" test $? -eq 2
check "... naming it" grep -q '^tintmark: missing.dat: cannot read the settings file' ../err.txt
check "... and converts nothing" test ! -e t.html
"$program" t.txt --settings 2>../err.txt
check "an option after a file is a file" grep -q '^tintmark: --settings: no' ../err.txt
for wrong in '--settings' '--settings='; do
  "$program" $wrong 2>../err.txt
  check "$wrong with no file exits 2" test $? -eq 2
done

# --- "-": standard input to standard output, the bytes a file gives.
printf 'here\r\nno keyword\nhere' >p.txt
"$program" p.txt 2>/dev/null
printf 'here\r\nno keyword\nhere' | "$program" - >piped.html 2>../err.txt
check "- through a pipe exits 0" test $? -eq 0 -a ! -s ../err.txt
check "- gives the file's bytes" cmp -s p.html piped.html
rm -f p.html t.html
"$program" t.txt - p.txt <p.txt >middle.html 2>../err.txt
check "- among files: all converted" test $? -eq 0 -a -s t.html -a -s p.html
check "- among files: standard output holds standard input's conversion" cmp -s p.html middle.html
rm -f p.html t.html
"$program" t.txt - p.txt - </dev/null >/dev/null 2>../err.txt
check "- twice exits 2" test $? -eq 2
check "... converting nothing" test ! -e t.html -a ! -e p.html
"$program" -- - <p.txt >dashdash.html 2>/dev/null
check "- after -- is still standard input" cmp -s middle.html dashdash.html
cd ../.. || exit 1

check "no settings file ever written" sha256sum --quiet -c settings.sums
check "none made either" test "$(find places "$XDG_CONFIG_HOME" "$HOME" -name '*.dat' | wc -l)" -eq 4

# --- --encoding: how each file is read. 重 is 8F 64 in code page 932 and
# E9 87 8D in UTF-8; ﾃｱ is C3 B1 in code page 932, which is also UTF-8 (ñ).
mkdir encodings && cd encodings || exit 1
printf '[TntMark set file]\r\n0\r\n\x8f\x64\r\n\x96\xb3\x95\xcf\x8a\xb7\r\n0\r\n1\r\n\xc3\xb1\r\n\x96\xb3\x95\xcf\x8a\xb7\r\n0\r\n2\r\n[TntMark set file end]\r\n' >TintMark.dat
printf '\xe9\x87\x8d x\n' >utf8.txt
printf '\xc3\xb1\n' >kana.txt
printf '\xff \xe9\x87\x8d\n' >broken.txt
"$program" utf8.txt kana.txt broken.txt 2>err.txt
check "auto: a UTF-8 file is searched in UTF-8" same_bytes '<B>\xe9\x87\x8d</B> x\r\n' utf8.html
check "auto: C3 B1 reads as UTF-8, so code page 932's ﾃｱ is not found" same_bytes '\xc3\xb1\r\n' kana.html
check "auto: a byte no UTF-8 holds makes the file code page 932" same_bytes '\xff \xe9\x87\x8d\r\n' broken.html
"$program" --encoding cp932 utf8.txt kana.txt 2>err.txt
check "--encoding cp932 exits 0" test $? -eq 0 -a ! -s err.txt
check "--encoding cp932 finds ﾃｱ" same_bytes '<I>\xc3\xb1</I>\r\n' kana.html
check "--encoding cp932 reads UTF-8 as code page 932" same_bytes '\xe9\x87\x8d x\r\n' utf8.html
"$program" --encoding=utf-8 broken.txt 2>err.txt
check "--encoding=utf-8 reads a broken file as UTF-8" same_bytes '\xff <B>\xe9\x87\x8d</B>\r\n' broken.html
"$program" --encoding UTF8 -- kana.txt 2>err.txt
check "names in any case, utf8 too" test $? -eq 0 -a ! -s err.txt
printf '\xc3\xb1\n' | "$program" --encoding cp932 - >piped.html 2>err.txt
check "--encoding holds for standard input" same_bytes '<I>\xc3\xb1</I>\r\n' piped.html
rm -f kana.html
"$program" --encoding latin1 kana.txt 2>err.txt
check "an unknown encoding exits 2" test $? -eq 2
check "... naming it" grep -q 'unknown encoding "latin1"' err.txt
check "... and converts nothing" test ! -e kana.html
"$program" --encoding utf-16 kana.txt 2>err.txt
check "utf-16 alone, with no byte order, exits 2 naming it" test $? -eq 2 -a ! -e kana.html
check "... naming it" grep -q 'encoding "utf-16" does not say its byte order' err.txt
"$program" --help >help.txt
check "--help names --encoding and the rule" grep -q -- '--encoding NAME' help.txt
# A settings file in UTF-8: 重 with no colour (無変換) is found in a code
# page 932 text; café, which code page 932 cannot hold, matches nothing and
# is named once, by its line.
printf '[TntMark set file]\n0\n\xe9\x87\x8d\n\xe7\x84\xa1\xe5\xa4\x89\xe6\x8f\x9b\n0\n1\ncaf\xc3\xa9\n\n0\n1\n[TntMark set file end]\n' >utf8.dat
printf '\x8f\x64 caf\xc3\xa9\n' >sjis.txt
"$program" --settings utf8.dat sjis.txt 2>err.txt
check "UTF-8 settings: exit 0" test $? -eq 0
check "... 重 found in a code page 932 text, café not" same_bytes '<B>\x8f\x64</B> caf\xc3\xa9\r\n' sjis.html
check "... café named on stderr with its line" test "$(cat err.txt)" = \
  "tintmark: utf8.dat:7: the keyword has a character that code page 932 cannot hold; kept as written, it matches nothing"
cd .. || exit 1

finish
