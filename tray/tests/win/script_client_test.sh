#!/usr/bin/env bash
# A VBScript client creates "Quellix.QLX" from a running tray program; a
# normal exit, driven by answering the exit question, leaves the registry
# values and "history.lst" written, as `wine reg` and the file show.
set -u
run() { "$QLX_WINE_RUN" "$@" </dev/null; }
fail() { echo "FAIL: $*" >&2; exit 1; }

cd "$QLX_BIN_DIR" || exit 2
run QLX.exe /RegServer || fail "registration"
run reg delete 'HKCU\Software\Quellix' /f >/dev/null 2>&1
run cmd /c del "%APPDATA%\\Quellix\\history.lst" >/dev/null 2>&1

"$QLX_WINE_RUN" QLX.exe </dev/null >/dev/null 2>&1 &
tray=$!
run tray_test_driver.exe wait-mutex || { kill $tray; fail "the tray program did not start"; }

cp "$QLX_SOURCE_DIR/tray/tests/win/client.vbs" "$QLX_BIN_DIR/tray_client.vbs"
out=$(run cscript //nologo tray_client.vbs | tr -d '\r')
echo "$out"
expected="Enable=-1
Normalize=-1
Normalize2=-1
NormalizeFitToDesktop=-1
NormalizeAddBorders=-1
NormalizeAddMenuAndToolbar=-1
Ignore=-1
IgnoreCtrl=-1
IgnoreShift=0
IgnoreAlt=0
BlockOnUserRequest=0
Block2=0
Block=-1
BlockInternal=0"
status=0
[ "$out" = "$expected" ] || { echo "FAIL: script client answers differ" >&2; status=1; }

run tray_test_driver.exe exit-tray || fail "exit question"
wait $tray || fail "the tray program ended with $?"

value() { run reg query 'HKCU\Software\Quellix\Options' /v "$1" | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'; }
[ "$(value PopupBlockedTotal_Count)" = "0x1" ] || { echo "FAIL: total count $(value PopupBlockedTotal_Count)" >&2; status=1; }
[ "$(value PopupBlockedToday_Count)" = "0x1" ] || { echo "FAIL: today count" >&2; status=1; }
[ "$(value BlockPopup)" = "0x1" ] || { echo "FAIL: BlockPopup" >&2; status=1; }
[ "$(value ShowToolTip_Time)" = "0x5" ] || { echo "FAIL: ShowToolTip_Time" >&2; status=1; }
[ "$(value minibar_dx)" = "0x160" ] || { echo "FAIL: minibar_dx" >&2; status=1; }
[ "$(value today_time)" = "$(date +%Y-%m-%d)" ] || { echo "FAIL: today_time $(value today_time)" >&2; status=1; }
count=$(run reg query 'HKCU\Software\Quellix\Options' | tr -d '\r' | grep -c 'REG_')
[ "$count" = "27" ] || { echo "FAIL: $count values instead of 27" >&2; status=1; }

history=$(run cmd /c type "%APPDATA%\\Quellix\\history.lst" | tr -d '\r')
echo "$history"
[ "$(echo "$history" | sed -n 1p)" = "1" ] || { echo "FAIL: history count" >&2; status=1; }
[ "$(echo "$history" | sed -n 2p)" = "10 20 300 200 explorer.exe" ] || { echo "FAIL: history geometry and process" >&2; status=1; }
[ "$(echo "$history" | sed -n 3p)" = "http://www.example.com" ] || { echo "FAIL: history site" >&2; status=1; }
[ "$(echo "$history" | sed -n 4p)" = "http://ads.example.net/p?x=1" ] || { echo "FAIL: history pop-up" >&2; status=1; }
exit $status
