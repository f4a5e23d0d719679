#!/usr/bin/env bash
# On Windows XP with Service Pack 2 or later a normal start switches the
# browser's own pop-up manager off; with Service Pack 1 it leaves it alone.
# The Windows version is the whole prefix's: it is put back to Windows 7
# however this script ends.
set -u
run() { "$QLX_WINE_RUN" "$@" </dev/null; }
fail() { echo "FAIL: $*" >&2; exit 1; }
NT='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
IE='HKCU\Software\Microsoft\Internet Explorer\New Windows'

cd "$QLX_BIN_DIR" || exit 2
restore() {
    run winecfg.exe /v win7 >/dev/null 2>&1
    run reg delete "$IE" /f >/dev/null 2>&1
}
trap restore EXIT

set_xp() { # service pack text
    run winecfg.exe /v winxp64 >/dev/null 2>&1 || fail "winecfg"
    run reg add "$NT" /v CurrentVersion /d 5.1 /f >/dev/null || fail "CurrentVersion"
    run reg add "$NT" /v CSDVersion /d "$1" /f >/dev/null || fail "CSDVersion"
}
browser_says_yes() {
    for v in FirstTime BlockUserInit PopupMgr; do
        run reg add "$IE" /v $v /d yes /f >/dev/null || fail "browser value $v"
    done
}
value() { run reg query "$IE" /v "$1" | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'; }
start_and_exit() {
    "$QLX_WINE_RUN" QLX.exe </dev/null >/dev/null 2>&1 &
    local tray=$!
    run tray_test_driver.exe wait-mutex || { kill $tray; fail "the tray program did not start"; }
    run tray_test_driver.exe exit-tray || fail "exit question"
    wait $tray || fail "the tray program ended with $?"
}

status=0
set_xp "Service Pack 1"
browser_says_yes
start_and_exit
for v in FirstTime BlockUserInit PopupMgr; do
    [ "$(value $v)" = "yes" ] || { echo "FAIL: SP1 changed $v to $(value $v)" >&2; status=1; }
done

for sp in "Service Pack 2" "Service Pack 3"; do
    set_xp "$sp"
    browser_says_yes
    start_and_exit
    for v in FirstTime BlockUserInit PopupMgr; do
        [ "$(value $v)" = "no" ] || { echo "FAIL: $sp left $v at $(value $v)" >&2; status=1; }
    done
done
exit $status
