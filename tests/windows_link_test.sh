#!/usr/bin/env bash
# The save through a symbolic link, in the Windows build under Wine: a
# Windows program cannot make the Unix link Wine shows it, so it is made
# here and the unit test saves through it.
# Usage: windows_link_test.sh EMULATOR PATH/TO/tintmark_tests.exe
set -u
emulator=$1
tests=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/real"
ln -s real/target.dat "$work/TintMark.dat"
output=$(TINTMARK_LINKED_FOLDER="Z:$work" $emulator "$tests" \
  --gtest_filter=SettingsFileSaveTest.LinksAreFollowed 2>&1)
status=$?
echo "$output"
echo "(the unit test program ended with exit status $status)"
# Run, not skipped, and passed.
if [ "$status" -ne 0 ] ||
  ! grep -q '^\[       OK \] SettingsFileSaveTest.LinksAreFollowed' <<<"$output"; then
  echo "FAIL: SettingsFileSaveTest.LinksAreFollowed did not run and pass"
  exit 1
fi
# The test's own checks ran on the Windows side; these see the link itself.
status=0
[ -L "$work/TintMark.dat" ] || { echo "FAIL: TintMark.dat is no longer a link"; status=1; }
[ "$(readlink "$work/TintMark.dat")" = real/target.dat ] || { echo "FAIL: the link moved"; status=1; }
grep -q '^new' "$work/real/target.dat" || { echo "FAIL: the target lacks the new bytes"; status=1; }
exit $status
