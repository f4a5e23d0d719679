#!/usr/bin/env bash
# Pop-ups end to end: the real tray program, the integrator registered with
# regsvr32, and the browser host playing each case of the hand-over, the
# override key, the user's click, chrome-less windows, internal pages, a
# request left behind, blocking switched off and the tray program absent. The tray program's own
# record (counters, "history.lst") is read back after its normal exit.
set -uo pipefail
cd "$QLX_BIN_DIR" || exit 2
. "$QLX_SOURCE_DIR/integrator/tests/e2e/e2e_lib.sh"

register_all
fresh_tray_state
start_tray

out=$(host script-popup link-click key-click chromeless internal-page stale-request)
echo "$out"
expect_line "$out" '^HOST script-popup helpers=1$' "the browser loads the integrator from the browser-helper key"
expect_line "$out" '^POPUP script-popup http://ads.example/popup.html BLOCKED' "a script pop-up is closed"
expect_line "$out" '^POPUP link-click .* LET-THROUGH .* maximised=0 ' "a link the user clicked opens untouched"
expect_line "$out" '^POPUP key-click .* LET-THROUGH .*toolbar=1 menubar=1 statusbar=1 resizable=1 maximised=1 framed=1' \
    "Ctrl held: the chrome-less window is let through and normalised"
expect_line "$out" '^POPUP chromeless .* BLOCKED' "a window without toolbar and menu bar is closed without a request"
expect_line "$out" '^POPUP internal-page .* LET-THROUGH' "the browser's internal page is let through"
expect_line "$out" '^POPUP stale-request .* LET-THROUGH' \
    "a request whose window never came does not close a navigation 6 s later"
expect_line "$out" '^HOST script-popup filter=kept' "the browser's own message filter stays in place"

# Only the configured key (Ctrl, the factory setting) overrides.
out=$(host --key=shift key-click)
echo "$out"
expect_line "$out" '^POPUP key-click .* BLOCKED' "Shift held while Ctrl is configured: blocked"

exit_tray
[ "$(option PopupBlockedTotal_Count)" = "0x3" ] || fail "total count $(option PopupBlockedTotal_Count), expected 0x3"
[ "$(option PopupBlockedToday_Count)" = "0x3" ] || fail "today count $(option PopupBlockedToday_Count)"
history=$(history_text)
echo "$history"
echo "$history" | grep -qx 'http://ads.example/popup.html' || fail "history lacks the script pop-up"
echo "$history" | grep -qx 'http://ads.example/banner.html' || fail "history lacks the chrome-less window"
echo "$history" | grep -qx 'http://news.example' || fail "history lacks the parent cut to its site"
echo "$history" | grep -q 'shdoclc' && fail "history holds the internal page"
echo "$history" | grep -q 'related.html' && fail "history holds the clicked link"

# Blocking switched off: windows opened now stay unhandled, nothing counted.
set_option_dword BlockPopup 0
start_tray
out=$(host blocking-off)
echo "$out"
expect_line "$out" '^POPUP blocking-off .* LET-THROUGH .* maximised=0 ' "blocking off: let through, not reshaped"
exit_tray
[ "$(option PopupBlockedTotal_Count)" = "0x3" ] || fail "blocking off still counted"
set_option_dword BlockPopup 1

# The tray program absent: every handler returns at once.
out=$(host tray-absent)
echo "$out"
expect_line "$out" '^POPUP tray-absent .* LET-THROUGH' "tray program absent: let through"

# A window opened while the tray program is absent is handled once it runs.
host_start late-tray
host_wait_for 'waiting for the tray'
start_tray
host_finish
out=$host_output
echo "$out"
expect_line "$out" '^POPUP late-tray .* BLOCKED' "window opened before the tray program: its pop-up is blocked"
exit_tray
[ "$(option PopupBlockedTotal_Count)" = "0x4" ] || fail "total count $(option PopupBlockedTotal_Count), expected 0x4"

# The tray program ends normally and starts again while a browser window
# stays open: the window's kept connection is stale and is made afresh.
start_tray
host_start tray-restart
host_wait_for 'waiting for the tray program to restart'
exit_tray
start_tray
host_finish
out=$host_output
echo "$out"
expect_line "$out" '^POPUP script-popup .* BLOCKED' "before the restart: blocked"
expect_line "$out" '^POPUP tray-restart .* BLOCKED' "after the restart: the same window's request reaches the new tray program"
exit_tray

exit $status
