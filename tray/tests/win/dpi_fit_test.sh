#!/usr/bin/env bash
# The main window and Settings at 150% and 200% (LogPixels 144 and 192): their sizes scale
# and every text fits its control. One prefix of its own serves both scales;
# Wine reads LogPixels (HKCU\Control Panel\Desktop) when its server starts.
set -euo pipefail
tree=$(cd "$QLX_BIN_DIR/.." && pwd)
export QLX_WINEPREFIX_OVERRIDE="$tree/wineprefix-dpi"
export WINEPREFIX="$QLX_WINEPREFIX_OVERRIDE-x11"
. "$QLX_SOURCE_DIR/tools/wine/wine-env.sh"
cd "$QLX_BIN_DIR"
status=0
for dpi in 144 192; do
    echo "LogPixels $dpi"
    QLX_NEEDS_DISPLAY=1 "$QLX_WINE_RUN" reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
        /t REG_DWORD /d $dpi /f >/dev/null
    /usr/lib/wine/wineserver -k || true
    /usr/lib/wine/wineserver -w
    QLX_NEEDS_DISPLAY=1 "$QLX_WINE_RUN" tray_face_tests.exe \
        --gtest_filter='TrayFaceTest.TextsFit*' || status=1
done
/usr/lib/wine/wineserver -k || true
qlx_xvfb_stop
exit $status
