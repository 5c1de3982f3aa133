#!/usr/bin/env bash
# The i686 program, the one shipped, under Wine's 32-bit loader (Debian's
# wine32:i386) in a 64-bit prefix. The route depends on the machine:
#   native  it executes 32-bit code: the i686 build's unit, command-line and
#           window suites, in both locales (ctest --preset mingw-i686);
#   qemu    it does not: the loader runs under qemu-i386 (about two minutes
#           a start), so one conversion of the sample, compared byte for
#           byte with the x86_64 program's.
# Says which route ran; exits non-zero on a failure. Expects both Windows
# builds to be made.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
source scripts/wine-loader32.sh
route=$(wine32_route) || route=none
case $route in
native)
  echo "i686 route: native (this machine executes 32-bit code): the i686 suites"
  ctest --preset mingw-i686
  exit $?
  ;;
qemu)
  echo "i686 route: qemu-i386 (this machine cannot execute 32-bit code): the sample"
  ;;
*)
  echo "FAIL: i686: Wine's 32-bit loader cannot run here (no wine32:i386, no qemu-i386)"
  exit 1
  ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for arch in x64 i686; do
  mkdir "$work/$arch"
  cp samples/sample.txt samples/TintMark.dat "$work/$arch/"
done
(cd "$work/x64" && "$root/scripts/wine-run.sh" "$root/build/mingw-x64/tintmark.exe" sample.txt)
start=$(date +%s)
(cd "$work/i686" && "$root/scripts/wine-run-i686.sh" "$root/build/mingw-i686/tintmark.exe" sample.txt)
rc=$?
echo "i686 conversion under qemu-i386: exit $rc, $(($(date +%s) - start)) s"
WINEPREFIX=$root/build/wineprefix-i686 /usr/lib/wine/wineserver -k 2>/dev/null || true
if [ "$rc" -eq 0 ] && [ -s "$work/x64/sample.html" ] &&
  cmp "$work/x64/sample.html" "$work/i686/sample.html"; then
  echo "PASS: i686 program's sample.html is byte-identical to the x86_64 program's"
  exit 0
fi
echo "FAIL: i686 program's sample.html differs from the x86_64 program's (or is missing)"
exit 1
