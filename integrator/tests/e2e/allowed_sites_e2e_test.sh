#!/usr/bin/env bash
# Allowed sites end to end: "sites.lst" in the data folder, the real tray
# program, the integrator and the browser host. A pop-up opened by a page of
# an allowed site (or one below it) is let through, reshaped as any pop-up
# let through, and recorded nowhere; one of another site is blocked.
set -uo pipefail
cd "$QLX_BIN_DIR" || exit 2
. "$QLX_SOURCE_DIR/integrator/tests/e2e/e2e_lib.sh"

register_all
fresh_tray_state
allow_sites news.example =bank.test || exit 2
data=$(data_folder)
start_tray

out=$(host script-popup chromeless)
echo "$out"
expect_line "$out" '^POPUP script-popup .* LET-THROUGH .*maximised=1 framed=1' \
    "a script pop-up of an allowed site is let through and normalised"
expect_line "$out" '^POPUP chromeless .* BLOCKED' \
    "a window that shows a page of another site is still closed"
out=$(host --page=http://www.news.example/sport.html script-popup)
echo "$out"
expect_line "$out" '^POPUP script-popup .* LET-THROUGH' "a page below an allowed site is allowed"
out=$(host --page=http://www.bank.test/login script-popup)
echo "$out"
expect_line "$out" '^POPUP script-popup .* BLOCKED' "\"=bank.test\" does not allow www.bank.test"
out=$(host --page=http://news.example.org/ script-popup)
echo "$out"
expect_line "$out" '^POPUP script-popup .* BLOCKED' "another site is blocked"

exit_tray
[ "$(option PopupBlockedTotal_Count)" = "0x3" ] || fail "counted $(option PopupBlockedTotal_Count), expected 0x3"
history=$(history_text)
echo "$history"
echo "$history" | grep -qx 'http://news.example' && fail "the allowed site's pop-up is in the history"
echo "$history" | grep -qx 'http://www.bank.test' || fail "the history lacks www.bank.test"
[ "$(tr -d '\r' <"$data/sites.lst" | tr '\n' ' ')" = "news.example =bank.test " ] ||
    fail "the tray program rewrote sites.lst without a change"
# The tests after this one share the prefix: no site stays allowed for them.
rm -f "$data/sites.lst"
exit $status
