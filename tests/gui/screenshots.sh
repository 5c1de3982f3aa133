#!/usr/bin/env bash
# Takes the screenshots docs/main-window.png, docs/entry-editor.png,
# docs/colour-dialog.png and docs/status-after-drop.png of the real program
# under Wine on a virtual X server; the drop comes from the tests' drag
# source.
# Usage: tests/gui/screenshots.sh BUILD_DIR   (a mingw-x64 build)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/common.sh"
root=$tintmark_root
build=$(cd "$1" && pwd)
export WINEPREFIX=$build/tests/gui/wineprefix
"$here/run_gui_test.sh" prefix "$WINEPREFIX" "$root/scripts/wine-run.sh"
at_exit() { wine_stop; }
scratch_dir /tmp/tintmarkshot-XXXXXX || exit 1
cat >"$work/shoot.sh" <<INNER
set -e
mkdir -p "$work/pose"
/usr/bin/python3 "$here/xdnd_drop.py" "$work/pose" &
"$root/scripts/wine-run.sh" "$build/tests/gui/gui_driver.exe" pose "$build/tintmark.exe" "$work" &
driver=\$!
shoot() {
  while [ ! -e "$work/pose/\$1.ready" ]; do sleep 0.1; done
  sleep 1
  import -window root -crop 800x700+0+0 +repage -trim +repage "\$2"
  touch "$work/pose/\$1.shot"
}
shoot main "$root/docs/main-window.png"
shoot editor "$root/docs/entry-editor.png"
shoot colour "$root/docs/colour-dialog.png"
shoot status "$root/docs/status-after-drop.png"
wait \$driver
INNER
mkdir -p "$root/docs"
# The editor sits on the main window's client area, the colour dialog over
# the editor: each picture keeps the windows beneath in view.
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$work/shoot.sh"
