#!/usr/bin/env bash
# The tray program on two monitors: a taskbar on the second one takes the main
# window and the tips there, and a minibar is kept on the monitor it is on, or
# brought back to the nearest. A prefix of its own, whose X server shows two
# monitors side by side.
set -euo pipefail
tree=$(cd "$QLX_BIN_DIR/.." && pwd)
export QLX_WINEPREFIX_OVERRIDE="$tree/wineprefix-monitors"
export WINEPREFIX="$QLX_WINEPREFIX_OVERRIDE-x11"
. "$QLX_SOURCE_DIR/tools/wine/wine-env.sh"
cd "$QLX_BIN_DIR"
# Wine reads the monitors when its server starts.
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -w 2>/dev/null || true
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; qlx_xvfb_stop' EXIT
qlx_two_monitors_start
QLX_NEEDS_DISPLAY=1 "$QLX_WINE_RUN" tray_face_tests.exe --gtest_filter='TwoMonitorTest.*'
