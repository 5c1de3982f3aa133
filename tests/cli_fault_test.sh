#!/usr/bin/env bash
# The native command line under faults and hostile inputs: outputs that fail
# while being written, inputs that are not ordinary readable files, settings
# that are not a file. A hang fails through `timeout` instead of blocking.
# Usage: cli_fault_test.sh PATH/TO/tintmark
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
program=$(realpath "$1")
enter_scratch_dir
# The settings search stays inside the scratch directory.
export HOME=$work/home XDG_CONFIG_HOME=$work/xdg

run() { timeout 10 "$program" "$@" 2>err.txt; }
# The input was reported unreadable and left an empty output behind.
unreadable() { grep -q "^tintmark: $1: cannot read the input" err.txt && same_bytes '' "${1%.*}.html"; }

printf '[TntMark set file]\r\n0\r\nabc\r\nFF0000\r\n0\r\n1\r\n[TntMark set file end]\r\n' >TintMark.dat
cp TintMark.dat settings.before

# --- An output that fails while being written.
# About 200 KiB of output against a 16 KiB file size limit; SIGXFSZ ignored,
# so the writes fail instead of ending the process.
for i in $(seq 4000); do printf 'line %d abc and some plain text\n' "$i"; done >big.txt
cp big.txt big.before
printf 'old page\n' >big.html
printf 'abc\n' >small.txt
(
  trap '' XFSZ
  ulimit -f 16
  exec timeout 10 "$program" big.txt small.txt
) 2>err.txt
check "file size limit: exits 1" test $? -eq 1
check "file size limit: big.txt named" grep -q '^tintmark: big.txt: cannot write the output' err.txt
check "file size limit: only big.txt named" test "$(wc -l <err.txt)" -eq 1
check "file size limit: input intact" cmp -s big.txt big.before
check "file size limit: settings intact" cmp -s TintMark.dat settings.before
check "file size limit: the next file still converted" \
  same_bytes '<B><font color=#FF0000>abc</font></B>\r\n' small.html
check "file size limit: the old output kept whole" same_bytes 'old page\n' big.html
check "file size limit: no temporary left" test -z "$(find . -maxdepth 1 -name '*.tmp-*')"

# A full file system, with and without an old output: each output is the old
# one or none, and nothing else is left behind. Needs a tmpfs of 128 KiB
# (root), smaller than the output.
if mkdir tiny && mount -t tmpfs -o size=128k tmpfs tiny 2>/dev/null; then
  at_exit() { umount "$work/tiny"; }
  # The inputs are links to files outside, so that the outputs alone fill it.
  ln -s ../big.txt tiny/old.txt
  ln -s ../big.txt tiny/new.txt
  printf 'old page\n' >tiny/old.html
  (cd tiny && timeout 10 "$program" --settings ../TintMark.dat old.txt new.txt 2>../err.txt)
  check "full file system: exits 1" test $? -eq 1
  check "full file system: both named" test "$(grep -c 'cannot write the output' err.txt)" -eq 2
  check "full file system: the old output kept whole" same_bytes 'old page\n' tiny/old.html
  check "full file system: nothing else left" \
    test "$(ls tiny | tr '\n' ' ')" = "new.txt old.html old.txt "
fi

# A full device: opening works, writing does not.
if [ -c /dev/full ]; then
  printf 'abc\n' >full.txt
  ln -s /dev/full full.html
  run full.txt
  check "full device: exits 1" test $? -eq 1
  check "full device: named" grep -q '^tintmark: full.txt: cannot write the output' err.txt
  check "full device: input intact" same_bytes 'abc\n' full.txt
fi

# --- Inputs that are not ordinary files. Devices by their own names have no
# '.' and so no output name; through a link with an extension they are opened.
mkdir folder.txt
mkfifo pipe.txt
ln -s /dev/zero zero.txt
ln -s /dev/null null.txt
run /dev/zero /dev/null zero.txt null.txt folder.txt pipe.txt
check "special inputs: exits 1 without waiting" test $? -eq 1
check "special inputs: one line each" test "$(wc -l <err.txt)" -eq 6
check "/dev/zero by name: no output name" grep -q "^tintmark: /dev/zero: no '.'" err.txt
check "/dev/null by name: no output name" grep -q "^tintmark: /dev/null: no '.'" err.txt
for name in zero.txt null.txt folder.txt pipe.txt; do
  check "$name: unreadable, empty output" unreadable $name
done

# An unreadable file, read by an ordinary user (root reads anything).
printf 'secret abc\n' >locked.txt
chmod 000 locked.txt
if [ "$(id -u)" -eq 0 ]; then
  chmod 777 "$work"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  as_user=()
fi
timeout 10 "${as_user[@]}" "$program" locked.txt 2>err.txt
check "unreadable file: exits 1" test $? -eq 1
check "unreadable file: named, empty output" unreadable locked.txt
chmod 600 locked.txt
check "unreadable file: untouched" same_bytes 'secret abc\n' locked.txt

# --- Settings that are not a file: no entries, nothing waits, nothing written.
printf 'abc\n' >plain.txt
for kind in pipe directory; do
  rm -f TintMark.dat
  if [ $kind = pipe ]; then mkfifo TintMark.dat; else mkdir TintMark.dat; fi
  run plain.txt
  check "settings $kind: converts with no entries" test $? -eq 0
  check "settings $kind: plain copy" same_bytes 'abc\r\n' plain.html
  check "settings $kind: still a $kind" test -${kind:0:1} TintMark.dat
  rm -rf TintMark.dat
done

# --- A --settings file that is not a readable file: exit 2, nothing
# converted, nothing waits. One the search finds but cannot read: said so,
# and the files converted all the same.
mkfifo settings.pipe
mkdir settings.dir
printf '[TntMark set file]\r\n0\r\nabc\r\nFF0000\r\n0\r\n1\r\n[TntMark set file end]\r\n' >locked.dat
chmod 000 locked.dat
for named in settings.pipe settings.dir locked.dat; do
  rm -f plain.html
  timeout 10 "${as_user[@]}" "$program" --settings "$named" plain.txt 2>err.txt
  check "--settings $named: exits 2 without waiting" test $? -eq 2
  check "--settings $named: named" grep -q "^tintmark: $named: cannot read the settings file" err.txt
  check "--settings $named: nothing converted" test ! -e plain.html
done
mkdir -p "$XDG_CONFIG_HOME/tintmark"
mv locked.dat "$XDG_CONFIG_HOME/tintmark/TintMark.dat"
timeout 10 "${as_user[@]}" "$program" plain.txt 2>err.txt
check "unreadable settings found by the search: exits 0" test $? -eq 0
check "... says it cannot read that file" \
  grep -q "^tintmark: $XDG_CONFIG_HOME/tintmark/TintMark.dat: cannot read the settings file" err.txt
check "... and converts with no entries" same_bytes 'abc\r\n' plain.html
chmod 600 "$XDG_CONFIG_HOME/tintmark/TintMark.dat"
check "... and leaves it as it was" \
  same_bytes '[TntMark set file]\r\n0\r\nabc\r\nFF0000\r\n0\r\n1\r\n[TntMark set file end]\r\n' \
  "$XDG_CONFIG_HOME/tintmark/TintMark.dat"

# --- Standard streams that fail: a folder for input, a full device for output.
timeout 10 "$program" - <. >/dev/null 2>err.txt
check "- from a folder: exits 1" test $? -eq 1
check "- from a folder: said" grep -q '^tintmark: -: cannot read standard input' err.txt
if [ -c /dev/full ]; then
  printf 'abc\n' | timeout 10 "$program" - plain.txt >/dev/full 2>err.txt
  check "- to a full device: exits 1" test $? -eq 1
  check "- to a full device: said" grep -q '^tintmark: -: cannot write standard output' err.txt
  check "- to a full device: the next file still converted" \
    same_bytes '<B><font color=#FF0000>abc</font></B>\r\n' plain.html
fi

finish
