#!/usr/bin/env bash
# Builds every release artefact twice, in separate build folders (the first
# into dist/), and checks them: tests/release/check_release.sh, which also
# compares the two builds' SHA256SUMS. Prints "ok: ..." or "FAIL: ..." per
# check; the status is 0 when all passed.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
for run in "build/package-a dist" "build/package-b build/package-b/dist"; do
  # shellcheck disable=SC2086 # two words: the build root and the dist folder
  set -- $run
  if ! bash scripts/package.sh "$1" "$2" >"$1.log" 2>&1; then
    cat "$1.log"
    echo "FAIL: scripts/package.sh $1 $2"
    exit 1
  fi
done
version=$(sed -n 's/^#define TINTMARK_VERSION "\(.*\)"$/\1/p' \
  build/package-a/native/generated/tintmark_version.h)
exec bash tests/release/check_release.sh dist "$version" build/package-b/dist
