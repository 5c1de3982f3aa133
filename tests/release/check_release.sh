#!/usr/bin/env bash
# Checks the artefacts that scripts/package.sh wrote, as a user gets them:
# each zip's file list, guide and program (tests/release/check_pe.py); the
# x86_64 program run from its unpacked folder under Wine on the bundled
# sample, against the packaged native converter byte for byte; the Debian
# package with lintian, unpacked and run, and its manual page rendered; and,
# given a second folder, that both builds wrote the same SHA256SUMS.
# Prints "ok: ..." or "FAIL: ..." per check.
# Usage: check_release.sh DIST VERSION [OTHER_DIST]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
dist=$(realpath "$1")
version=$2
other=${3:-}
python=/usr/bin/python3
work=$(mktemp -d)
export WINEPREFIX=$work/wineprefix
trap '/usr/lib/wine/wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
source "$root/scripts/common.sh"

deb=tintmark_${version}_$(dpkg --print-architecture).deb
check "SHA256SUMS covers the three artefacts and matches them" \
  bash -c "cd '$dist' && test \"\$(cut -c67- SHA256SUMS | sort | tr '\n' ' ')\" = \
'TintMark-$version-win32.zip TintMark-$version-win64.zip $deb ' && sha256sum --quiet -c SHA256SUMS"
if [ -n "$other" ]; then
  check "a second build in another folder gives the same SHA256SUMS" \
    cmp -s "$dist/SHA256SUMS" "$other/SHA256SUMS"
fi

# The sample's first keyword, written by hand from its TintMark.dat entry
# (bold, red, no size): 重要 is 0x8F 0x64 0x97 0x76 in code page 932.
sample_keyword='<B><font color=#FF0000>\x8f\x64\x97\x76</font></B>'

# --- The Windows zips.
for arch in win32:i386 win64:amd64; do
  name=${arch%%:*}
  zip=$dist/TintMark-$version-$name.zip
  into=$work/$name
  mkdir -p "$into"
  check "$name: unpacks" unzip -q "$zip" -d "$into"
  check "$name: holds exactly the program, guide, licence and sample" \
    test "$(unzip -Z1 "$zip" | tr '\n' ' ')" = \
    "tintmark.exe README.txt LICENSE.txt sample.txt TintMark.dat "
  check "$name: sample and settings as in the repository" \
    bash -c "cmp -s '$into/sample.txt' '$root/samples/sample.txt' &&
             cmp -s '$into/TintMark.dat' '$root/samples/TintMark.dat'"
  check "$name: guide is UTF-8 with a BOM and CR LF only" \
    "$python" -c "
import sys
b = open(sys.argv[1], 'rb').read()
t = b[3:].decode('utf-8')
assert b[:3] == b'\xef\xbb\xbf' and b.count(b'\n') == b.count(b'\r\n') > 100
for w in ('TintMark.dat', 'LICENSE.txt', 'sample.txt', 'tintmark.exe FILE...', 'コマンドライン', sys.argv[2]):
    assert w in t, w
" "$into/README.txt" "$version"
  while IFS= read -r line; do
    echo "$line"
    case $line in FAIL:*) failures=$((failures + 1)) ;; esac
  done < <("$python" "$here/check_pe.py" "$into/tintmark.exe" "${arch#*:}" "$version")
done

# --- The Debian package.
check "deb: lintian reports no error and no warning" \
  bash -c "lintian --fail-on error,warning '$dist/$deb' >'$work/lintian.txt' 2>&1 &&
           ! grep -E '^(E|W): ' '$work/lintian.txt'"
check "deb: unpacks" dpkg-deb -x "$dist/$deb" "$work/deb"
program=$work/deb/usr/bin/tintmark
check "deb: tintmark --version prints the package's version" \
  test "$("$program" --version)" = "tintmark $version"
mkdir -p "$work/native"
cp "$work/deb/usr/share/doc/tintmark/examples/sample.txt" \
  "$work/deb/usr/share/doc/tintmark/examples/TintMark.dat" "$work/native/"
(cd "$work/native" && "$program" sample.txt)
check "deb: converts the sample" test $? -eq 0 -a -s "$work/native/sample.html"
check "deb: the sample's keyword decorated" \
  grep -qF "$(printf '%b' "$sample_keyword")" "$work/native/sample.html"
check "deb: manual page renders" \
  bash -c "MANWIDTH=80 man --warnings -l '$work/deb/usr/share/man/man1/tintmark.1.gz' \
             2>&1 >'$work/man.txt' | (! grep .) && grep -qE 'tintmark +- +turn +plain' '$work/man.txt' &&
           grep -q 'TintMark $version' '$work/man.txt'"

# --- The x86_64 program from its unpacked folder: the folder is the current
# one, so its TintMark.dat is the one read.
(cd "$work/win64" && timeout 120 "$root/scripts/wine-run.sh" tintmark.exe sample.txt \
  >"$work/win64-run.txt" 2>&1)
status=$?
check_ran "win64: converts the sample under Wine" "$status" "$work/win64-run.txt" \
  test "$status" -eq 0 -a -s "$work/win64/sample.html"
check "win64: same bytes as the native converter" \
  cmp "$work/win64/sample.html" "$work/native/sample.html"

finish
