#!/usr/bin/env bash
# The popup service failing under the integrator, with a stand-in service
# that fails on purpose: a failing member, the service ending inside a call,
# a member that hangs, Block2 answering true, an Enable value other than -1;
# a navigation event without its arguments; and what the integrator sends to
# Block and writes to the debugger.
set -uo pipefail
cd "$QLX_BIN_DIR" || exit 2
. "$QLX_SOURCE_DIR/integrator/tests/e2e/e2e_lib.sh"

log=stand_in.log
stand_pid=
start_stand_in() {
    rm -f "$log"
    "$QLX_WINE_RUN" popup_service_stand_in.exe --log=$log "$@" </dev/null >/dev/null 2>&1 &
    stand_pid=$!
    for _ in $(seq 1 100); do
        grep -q READY "$log" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "the stand-in did not start" >&2
    exit 1
}
# A stand-in that ended inside a call leaves a stale class registration in
# rpcss, which kill_tray clears.
end_stand_in() {
    run popup_service_stand_in.exe --stop >/dev/null 2>&1
    wait "$stand_pid" 2>/dev/null
    stand_pid=
    kill_tray
}
# A stand-in stuck in a call cannot take --stop.
kill_stand_in() {
    run taskkill /F /IM popup_service_stand_in.exe >/dev/null 2>&1
    wait "$stand_pid" 2>/dev/null
    stand_pid=
    kill_tray
}
calls() { tr -d '\r' <"$log"; }
ms_of() { echo "$1" | sed -n "s/^POPUP $2 .* \([0-9]*\)\.[0-9]ms.*/\1/p"; }

register_all
fresh_tray_state

# What the integrator hands to Block, and the three debugger lines.
start_stand_in
out=$(QLX_WINEDEBUG=+debugstr "$QLX_WINE_RUN" browser_host.exe script-popup key-click </dev/null 2>&1 | tr -d '\r')
end_stand_in
echo "$out" | grep -E 'POPUP|debugstr'
expect_line "$out" '^POPUP script-popup .* BLOCKED' "stand-in answers Block true: closed"
expect_line "$out" '^POPUP key-click .* LET-THROUGH .*maximised=1 framed=1' "Ctrl held: let through and normalised"
expect_line "$out" 'OutputDebugStringA "Key -12[78], 0, 0"' "Key trace with Ctrl down"
expect_line "$out" 'OutputDebugStringA "Flags 1, 0, 0"' "Flags trace after the Ctrl request"
# The candidate is the new window, whose own flags were never set.
expect_line "$out" 'OutputDebugStringA "Flags before 0, 0, 0"' "Flags before trace at the candidate"
calls | grep '^Block|'
calls | grep -q '^Block|News article|http://news.example/article.html|http://ads.example/popup.html|[^|]*|200 150 400 300$' ||
    fail "Block got other arguments"
calls | grep -q '^Block2|http://ads.example/popup.html|' || fail "Block2 not asked with the navigation address"

# A failing member: the window is let pass, and the hand-over is released so
# the next request does not wait for a stale pending page.
start_stand_in --fail=Block
out=$(host script-popup script-popup)
end_stand_in
echo "$out"
n=$(echo "$out" | grep -c '^POPUP script-popup .* LET-THROUGH')
[ "$n" = 2 ] || fail "a failing Block did not let both windows pass"
second_ms=$(echo "$out" | grep '^POPUP' | sed -n '2s/.* LET-THROUGH \([0-9]*\)\..*/\1/p')
[ "${second_ms:-99999}" -lt 3000 ] || fail "the second request waited ${second_ms}ms for a stale hand-over"

start_stand_in --fail=Enable
out=$(host script-popup chromeless)
end_stand_in
echo "$out"
expect_line "$out" '^POPUP chromeless .* LET-THROUGH' "failing Enable: let pass"

# The service ends inside a call, during the request and during the verdict.
for member in IgnoreCtrl Block Normalize2; do
    start_stand_in --exit-in=$member
    out=$(timeout 120 "$QLX_WINE_RUN" browser_host.exe script-popup script-popup </dev/null | tr -d '\r')
    rc=$?
    end_stand_in
    echo "$out"
    [ "$rc" = 0 ] || fail "service ending in $member: the browser host ended with $rc"
    [ "$(echo "$out" | grep -c '^POPUP .* LET-THROUGH')" = 2 ] || fail "service ending in $member: not let pass"
done

# A request whose new window never navigates here leaves a pending page;
# the next request waits for it only a bounded time, then drops it.
start_stand_in
out=$(timeout 120 "$QLX_WINE_RUN" browser_host.exe orphan-request </dev/null | tr -d '\r')
end_stand_in
echo "$out"
expect_line "$out" '^POPUP orphan-request .* BLOCKED' "after a stale request the next pop-up is still blocked"
wait_ms=$(echo "$out" | sed -n 's/^POPUP orphan-request .* BLOCKED \([0-9]*\)\..*/\1/p')
[ "${wait_ms:-0}" -ge 4000 ] && [ "${wait_ms:-0}" -le 10000 ] ||
    fail "the stale request was dropped after ${wait_ms}ms, expected about 5 s"

# A tray program that hangs (each member sleeps 30 s) holds no event of the
# browser longer than about 3 s: the call is given up and the window passes.
for member in Enable Block; do
    start_stand_in --hang-in=$member
    out=$(timeout 60 "$QLX_WINE_RUN" browser_host.exe script-popup </dev/null | tr -d '\r')
    kill_stand_in
    echo "$out"
    expect_line "$out" '^POPUP script-popup .* LET-THROUGH' "$member hangs: the pop-up is let pass"
    expect_line "$out" '^HOST script-popup filter=kept' "$member hangs: the browser's filter is in place"
    ms=$(ms_of "$out" script-popup)
    [ "${ms:-99999}" -lt 5000 ] || fail "$member hangs: the pop-up took ${ms}ms"
done
start_stand_in --hang-in=Normalize
out=$(timeout 60 "$QLX_WINE_RUN" browser_host.exe --count=3 navigation </dev/null | tr -d '\r')
kill_stand_in
echo "$out"
median=$(echo "$out" | sed -n 's/^NAVIGATION median=\([0-9]*\)\..*/\1/p')
[ "${median:-99999}" -lt 4000 ] || fail "a hung Normalize held each navigation ${median}ms"

# A navigation event without its arguments has no address: not judged, even
# for a window without chrome, which would otherwise be blocked.
start_stand_in
out=$(host short-navigation)
end_stand_in
echo "$out"
expect_line "$out" '^POPUP short-navigation .* LET-THROUGH' "short event: the window stays"
calls | grep -q '^Block|' && fail "Block asked for an event without an address"

# Enable other than exactly -1: examined, but Block is never asked.
start_stand_in --answer=Enable=1
out=$(host script-popup)
end_stand_in
echo "$out"
expect_line "$out" '^POPUP script-popup .* LET-THROUGH' "Enable 1: let through"
calls | grep -q '^Block|' && fail "Block asked although Enable was not -1"

# Block2 true ends the browser process at once with exit code -1.
start_stand_in --answer=Block2=-1
timeout 120 "$QLX_WINE_RUN" browser_host.exe script-popup </dev/null >/dev/null 2>&1
rc=$?
end_stand_in
[ "$rc" = 255 ] || fail "Block2 true: the browser ended with $rc, expected 255 (-1)"

exit $status
