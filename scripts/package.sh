#!/usr/bin/env bash
# Builds every release artefact into one folder:
#   TintMark-<version>-win32.zip   the i686 program, the guide, the licence, the sample
#   TintMark-<version>-win64.zip   the same with the x86_64 program
#   tintmark_<version>_amd64.deb   the native converter with its manual page
#   SHA256SUMS                     the checksum of each of them
# Usage: scripts/package.sh [BUILD_ROOT [DIST]]   (build/package and dist)
# Release builds only (no tests, no benchmarks), each in BUILD_ROOT/<preset>.
# Times in the archives come from SOURCE_DATE_EPOCH, the last commit's date
# when unset, so that two runs on one commit give the same bytes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build_root=$(realpath -m "${1:-build/package}")
dist=$(realpath -m "${2:-dist}")
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
python=/usr/bin/python3 # python3-pefile and the system's zipfile

for preset in native mingw-x64 mingw-i686; do
  log=$build_root/$preset.log
  mkdir -p "$build_root"
  if ! { cmake --preset "$preset" -B "$build_root/$preset" -DTINTMARK_TESTS=OFF \
    -DTINTMARK_BENCH=OFF && cmake --build "$build_root/$preset" -j2; } >"$log" 2>&1; then
    cat "$log"
    echo "package: build of $preset failed" >&2
    exit 1
  fi
done

version=$(sed -n 's/^#define TINTMARK_VERSION "\(.*\)"$/\1/p' \
  "$build_root/native/generated/tintmark_version.h")
[ -n "$version" ] || { echo "package: no version in the generated header" >&2; exit 1; }

mkdir -p "$dist"
rm -f "$dist"/TintMark-*-win32.zip "$dist"/TintMark-*-win64.zip "$dist"/tintmark_*.deb \
  "$dist/SHA256SUMS"

"$python" scripts/make_zip.py "$dist/TintMark-$version-win32.zip" "$version" \
  "$build_root/mingw-i686/tintmark.exe" "$root"
"$python" scripts/make_zip.py "$dist/TintMark-$version-win64.zip" "$version" \
  "$build_root/mingw-x64/tintmark.exe" "$root"

(cd "$build_root/native" && cpack -G DEB -B "$build_root/native/cpack" >cpack.log 2>&1) || {
  cat "$build_root/native/cpack.log"
  echo "package: cpack failed" >&2
  exit 1
}
deb=tintmark_${version}_$(dpkg --print-architecture).deb
cp "$build_root/native/cpack/$deb" "$dist/$deb"

(cd "$dist" && sha256sum "TintMark-$version-win32.zip" "TintMark-$version-win64.zip" "$deb" \
  >SHA256SUMS)
echo "package: $dist"
(cd "$dist" && ls -l "TintMark-$version-win32.zip" "TintMark-$version-win64.zip" "$deb" &&
  cat SHA256SUMS)
