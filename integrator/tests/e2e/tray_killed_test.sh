#!/usr/bin/env bash
# Robustness: the tray program is killed at a random point while the browser
# host opens pop-up after pop-up. The host must neither crash nor hang, and
# every pop-up after the kill must be let through.
set -uo pipefail
cd "$QLX_BIN_DIR" || exit 2
. "$QLX_SOURCE_DIR/integrator/tests/e2e/e2e_lib.sh"

register_all
fresh_tray_state
rounds=${QLX_KILL_ROUNDS:-5}
blocked_total=0
for round in $(seq 1 "$rounds"); do
    start_tray
    log=$(mktemp)
    timeout 180 "$QLX_WINE_RUN" browser_host.exe --count=40 stress </dev/null >"$log" 2>&1 &
    host_pid=$!
    # A random kill point between 1 and 8 seconds into the run, while
    # pop-ups are being examined (each takes a few hundred milliseconds).
    sleep "$(awk -v r=$RANDOM 'BEGIN { printf "%.2f", 1 + (r % 700) / 100 }')"
    kill_tray
    wait "$host_pid"
    rc=$?
    summary=$(tr -d '\r' <"$log" | grep '^STRESS')
    echo "round $round: rc=$rc $summary"
    [ "$rc" = 0 ] || fail "round $round: the browser host ended with $rc"
    echo "$summary" | grep -q ' hung=0 ' || fail "round $round: a window hung"
    echo "$summary" | grep -q 'n=40 ' || fail "round $round: the run did not finish"
    blocked=$(echo "$summary" | sed -n 's/.* blocked=\([0-9]*\) .*/\1/p')
    blocked_total=$((blocked_total + ${blocked:-0}))
    rm -f "$log"
done
# The kills must have come while pop-ups were being blocked, not before.
[ "$blocked_total" -gt 0 ] || fail "no pop-up was blocked before a kill"
exit $status
