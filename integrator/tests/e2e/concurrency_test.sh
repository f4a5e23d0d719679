#!/usr/bin/env bash
# Under load: the browser host runs several windows on their own threads,
# each opening pop-ups at the same time against the real tray program. Every
# pop-up must be blocked once and recorded once, with the page of its own
# window as parent; no window may hang. Prints the time per pop-up (p50, p99).
#   QLX_LOAD_WINDOWS (8) windows x QLX_LOAD_POPUPS (25) pop-ups each;
#   ./qlx bench runs 8 x 1000.
set -uo pipefail
cd "$QLX_BIN_DIR" || exit 2
. "$QLX_SOURCE_DIR/integrator/tests/e2e/e2e_lib.sh"

windows=${QLX_LOAD_WINDOWS:-8}
popups=${QLX_LOAD_POPUPS:-25}
total=$((windows * popups))

register_all
fresh_tray_state
start_tray
out=$(timeout $((120 + total)) "$QLX_WINE_RUN" browser_host.exe --windows="$windows" \
    --count="$popups" concurrency </dev/null | tr -d '\r')
rc=$?
echo "$out"
[ "$rc" = 0 ] || fail "the browser host ended with $rc"
expect_line "$out" "^CONCURRENCY windows=$windows n=$total blocked=$total passed=0 hung=0 " \
    "every pop-up of every window blocked, none hung"
exit_tray

hex=$(printf '0x%x' "$total")
[ "$(option PopupBlockedTotal_Count)" = "$hex" ] || fail "total count $(option PopupBlockedTotal_Count), expected $hex"
[ "$(option PopupBlockedToday_Count)" = "$hex" ] || fail "today count $(option PopupBlockedToday_Count), expected $hex"

# history.lst: the count, then per entry geometry, site, pop-up and time.
# Each pop-up "http://ads.example/w<W>/p<I>.html" must appear once, with
# "http://site<W>.example", the page of its own window, as its site.
history_text | awk -v windows="$windows" -v popups="$popups" '
    NR == 1 { count = $0; next }
    (NR - 2) % 4 == 1 { site = $0 }
    (NR - 2) % 4 == 2 {
        entries++
        if (seen[$0]++) { print "twice: " $0; bad++ }
        if (match($0, /\/w[0-9]+\//)) {
            w = substr($0, RSTART + 2, RLENGTH - 3)
            if (site != "http://site" w ".example") { print "wrong site " site " for " $0; bad++ }
        } else { print "unexpected pop-up " $0; bad++ }
    }
    END {
        if (count != windows * popups) { print "count line " count; bad++ }
        if (entries != windows * popups) { print "entries " entries; bad++ }
        exit bad > 0
    }' || fail "history.lst does not hold each pop-up exactly once with its own site"
exit $status
