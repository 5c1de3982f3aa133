#!/usr/bin/env bash
# Installs what the native build needs, builds the command-line converter and
# converts the bundled sample with the bundled settings file.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native --target tintmark >/dev/null
run=build/sample
rm -rf "$run"
mkdir -p "$run"
cp samples/sample.txt samples/TintMark.dat "$run"/
# The settings file is read from the current directory.
(cd "$run" && ../native/tintmark sample.txt)
echo "Converted samples/sample.txt with samples/TintMark.dat:"
echo "  $(pwd)/$run/sample.html"
echo "(bytes in code page 932; to read it here: iconv -f cp932 -t utf-8 $run/sample.html)"
