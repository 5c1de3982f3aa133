#!/usr/bin/env bash
# End-to-end checks of the native command line on a scratch directory.
# Usage: cli_test.sh PATH/TO/tintmark
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
program=$(realpath "$1")
enter_scratch_dir

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

finish
