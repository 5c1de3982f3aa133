#!/usr/bin/env bash
# The i686 program, the one shipped, under Wine's 32-bit loader (Debian's
# wine32:i386) in a 64-bit prefix. The route depends on the machine:
#   native  it executes 32-bit code: the i686 build's unit, command-line and
#           window suites, in both locales (ctest --preset mingw-i686);
#   qemu    it does not: the loader runs under qemu-i386 (about two minutes
#           a start), so one conversion of the sample, compared byte for
#           byte with the x86_64 program's.
# Says which route ran, then one "ok:"/"FAIL:" line per check (per test of
# the suites) and the number that failed; exits 1 on a failure. Expects both
# Windows builds to be made.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
source scripts/common.sh
source scripts/wine-loader32.sh
route=$(wine32_route) || route=none
case $route in
native)
  echo "i686 route: native (this machine executes 32-bit code): the i686 suites"
  log=$(mktemp)
  ctest --preset mingw-i686 >"$log" 2>&1
  rc=$?
  # Each test's result as a check; the whole log, set off so that nothing in
  # it reads as a check of its own, when anything failed.
  while read -r name result; do
    check "i686 $name" test "$result" = Passed
  done < <(sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?([A-Za-z]+).*/\1 \3/p' "$log")
  summary=$(ctest_summary "$log")
  check "i686 suites: ${summary:-ctest printed no summary} (status $rc)" \
    test "$rc" -eq 0 -a -n "$summary"
  if [ "$failures" -gt 0 ]; then
    sed 's/^/  | /' "$log"
  fi
  rm -f "$log"
  finish
  ;;
qemu)
  echo "i686 route: qemu-i386 (this machine cannot execute 32-bit code): the sample"
  ;;
*)
  check "i686: Wine's 32-bit loader runs here (wine32:i386, or qemu-i386)" false
  finish
  ;;
esac

scratch_dir || exit 1
# Each program in a folder of its own with the sample's TintMark.dat, started
# in another folder that has none, with the sample's full path, as Explorer
# starts a program that files are dropped on: the table beside the program
# must be the one used.
for arch in x64 i686; do
  mkdir -p "$work/$arch/prog" "$work/$arch/docs"
  cp "build/mingw-$arch/tintmark.exe" samples/TintMark.dat "$work/$arch/prog/"
  cp samples/sample.txt "$work/$arch/docs/"
done
dos_sample() { local p="Z:$work/$1/docs/sample.txt"; printf '%s' "${p//\//\\}"; }
(cd "$work/x64/docs" && "$root/scripts/wine-run.sh" "$work/x64/prog/tintmark.exe" "$(dos_sample x64)")
start=$(date +%s)
(cd "$work/i686/docs" &&
  "$root/scripts/wine-run-i686.sh" "$work/i686/prog/tintmark.exe" "$(dos_sample i686)")
rc=$?
echo "i686 conversion under qemu-i386: exit $rc, $(($(date +%s) - start)) s"
WINEPREFIX=$root/build/wineprefix-i686 /usr/lib/wine/wineserver -k 2>/dev/null || true
# The sample's first keyword as its TintMark.dat dresses it (bold, red):
# 重要 is 0x8F 0x64 0x97 0x76 in code page 932.
keyword=$(printf '<B><font color=#FF0000>\x8f\x64\x97\x76</font></B>')
check "i686 program's sample.html, decorated with the table beside it, is byte-identical to the x86_64 program's (exit $rc)" \
  bash -c "[ $rc -eq 0 ] && grep -qF '$keyword' '$work/x64/docs/sample.html' &&
           cmp '$work/x64/docs/sample.html' '$work/i686/docs/sample.html'"
for arch in x64 i686; do
  check "$arch: no settings file made or changed" \
    bash -c "[ ! -e '$work/$arch/docs/TintMark.dat' ] &&
             cmp -s samples/TintMark.dat '$work/$arch/prog/TintMark.dat'"
done
finish
