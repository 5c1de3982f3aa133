#!/usr/bin/env bash
# End-to-end checks of the Windows program's command-line mode under Wine.
# Usage: windows_cli_test.sh PATH/TO/tintmark.exe PATH/TO/windows_code_page.exe
# The locale comes from TINTMARK_WINE_LOCALE (see scripts/wine-run.sh); when
# TINTMARK_EXPECT_ACP is set, the run first shows it has that code page.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
program=$(realpath "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
code_page=$(realpath "$2")
enter_scratch_dir
# The build's way of running a Windows program (the i686 build has its own).
wine_run=${TINTMARK_WINE_RUN:-$tintmark_root/scripts/wine-run.sh}
run() { "$wine_run" "$program" "$@"; }

# Its output is the number alone; what Wine may say on stderr goes to the log.
"$wine_run" "$code_page" >acp.txt
status=$?
acp=$(tr -d '\r' <acp.txt)
echo "ANSI code page $acp (locale ${TINTMARK_WINE_LOCALE:-default})"
check_ran "the run has the code page its locale stands for" "$status" acp.txt \
  test "$status" -eq 0 -a -n "$acp" -a "$acp" = "${TINTMARK_EXPECT_ACP:-$acp}"

printf '[TntMark set file]\r\n0\r\nabc\r\n00FF00\r\n0\r\n9\r\n[TntMark set file end]\r\n' >TintMark.dat
cp TintMark.dat settings.before
printf 'abc abc\nno keyword\n' >a.txt
printf 'keep\n' >page.HTML
mkdir 'dir.x'
printf 'abc' >'dir.x/readme'
# A name holding the trail byte 0x5C of a Shift-JIS character: "ソ" is
# 0x83 0x5C in code page 932; Wine keeps Unix names in UTF-8.
printf 'abc\n' >'ソ.txt'

run a.txt page.HTML 'dir.x\readme' 'ソ.txt' >out.txt 2>&1
status=$?
check_ran "exits 0 whatever it skipped" "$status" out.txt test "$status" -eq 0
check_ran "prints nothing" "$status" out.txt test ! -s out.txt
check_ran "a.html decorated" "$status" out.txt same_bytes '<B><STRIKE><font color=#00FF00>abc</font></STRIKE></B> <B><STRIKE><font color=#00FF00>abc</font></STRIKE></B>\r\nno keyword\r\n' a.html
check "page.HTML is its own output and left untouched" same_bytes 'keep\n' page.HTML
check_ran "the last dot of the whole path names the output" "$status" out.txt same_bytes '<B><STRIKE><font color=#00FF00>abc</font></STRIKE></B>' dir.html
check_ran "Shift-JIS name converted" "$status" out.txt same_bytes '<B><STRIKE><font color=#00FF00>abc</font></STRIKE></B>\r\n' 'ソ.html'
check "settings file never written" cmp -s TintMark.dat settings.before

# A file of several regions, which two threads convert: the lines must come
# out whole and in order.
yes 'abc xyz abc' | head -n 150000 >big.txt
decorated='<B><STRIKE><font color=#00FF00>abc</font></STRIKE></B>'
yes "$decorated xyz $decorated"$'\r' | head -n 150000 >big.expected
run big.txt >out.txt 2>&1
status=$?
check_quiet "a large file: exits 0, prints nothing" "$status" out.txt
check_ran "a large file converted in order" "$status" out.txt cmp -s big.html big.expected

# Writes that fail part way (a file size limit, which Wine's writes meet as
# a full disk would): the old output stays whole, no temporary is left, the
# next file is still converted, and nothing is said.
printf 'old page\n' >big.html
printf 'abc\n' >small.txt
(
  trap '' XFSZ
  ulimit -f 64
  exec "$wine_run" "$program" big.txt small.txt
) >out.txt 2>&1
status=$?
check_quiet "failing writes: exits 0, prints nothing" "$status" out.txt
check_ran "failing writes: the old output kept whole" "$status" out.txt same_bytes 'old page\n' big.html
check "failing writes: no temporary left" test -z "$(find . -maxdepth 1 -name '*.tmp-*')"
check_ran "failing writes: the next file still converted" "$status" out.txt \
  same_bytes '<B><STRIKE><font color=#00FF00>abc</font></STRIKE></B>\r\n' small.html
rm -f big.txt big.html big.expected small.txt small.html

# An output name that is a link: the file it leads to takes the new page,
# and the link stays.
mkdir real && printf 'old page\n' >real/page.html && ln -s real/page.html linked.html
printf 'abc\n' >linked.txt
run linked.txt >out.txt 2>&1
status=$?
check_quiet "output through a link: exits 0, prints nothing" "$status" out.txt
check "output through a link: still the link" test "$(readlink linked.html)" = real/page.html
check_ran "output through a link: the file it leads to converted" "$status" out.txt \
  same_bytes '<B><STRIKE><font color=#00FF00>abc</font></STRIKE></B>\r\n' real/page.html

source "$here/windows_cli_names.sh"
source "$here/windows_cli_places.sh"

finish
