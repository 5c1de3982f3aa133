#!/usr/bin/env bash
# Runs one group of the window tests.
#
#   run_gui_test.sh prefix PREFIX EMULATOR
#       makes the Wine prefix the groups share (once), with the X11 driver
#       told not to wait for a window manager and a stand-in for the
#       templates' font.
#   run_gui_test.sh GROUP PREFIX EMULATOR DRIVER TINTMARK PYTHON3
#       starts a private virtual X server, runs the driver for GROUP (and,
#       for the drop group, the XDND drag source beside it), then ends the
#       prefix's wineserver.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/common.sh"
group=$1
export WINEPREFIX=$2
emulator=$3

if [ "$group" = prefix ]; then
  if [ ! -f "$WINEPREFIX/.tintmark-gui-ready" ]; then
    rm -rf "$WINEPREFIX"
    # One server for both changes: a second program started just as the
    # first one's server closes would be cut off.
    $emulator --start-server
    DISPLAY= $emulator reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    # The templates' font is not on the machine; its proportional IPA
    # counterpart keeps the texts inside their controls as drawn.
    DISPLAY= $emulator reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null
    # Ending the server writes the registry out.
    $emulator --stop-server
    touch "$WINEPREFIX/.tintmark-gui-ready"
  fi
  exit 0
fi

driver=$4
program=$5
python=$6
# A fresh work directory with no '.' in its path: the drop group relies on
# the only dots being those of its file names.
at_exit() { wine_stop; }
scratch_dir /tmp/tintmarkgui-XXXXXX || exit 1

inner="$emulator '$driver' '$group' '$program' '$work'"
if [ "$group" = drop ]; then
  # The drag source waits for the driver's ready.txt, drops, then signals.
  inner="'$python' '$here/xdnd_drop.py' '$work/drop' & source=\$!; $inner; status=\$?;
         kill \$source 2>/dev/null; wait \$source 2>/dev/null; exit \$status"
fi
status=0
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c "$inner" || status=$?
if [ "$status" -ne 0 ]; then
  echo "FAIL: the driver of the $group group ended with exit status $status"
fi
exit "$status"
