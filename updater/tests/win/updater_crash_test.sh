#!/usr/bin/env bash
# All or nothing under Wine: update.exe runs an install script that replaces
# five files of a program folder and is killed at a random moment, again and
# again, until it was killed mid-run QLX_CRASH_KILLS times (200 unless set). After each kill the next
# start of update.exe (a plain "check" with no server, so that no network
# time is spent) undoes what was cut short; then every file must be entirely
# the old version or, for all of them, the new one. The files are small: a
# round costs about two Wine starts, and the kills still land at random
# points of each copy, the journal and the restore.
set -u
kills=${QLX_CRASH_KILLS:-200}
dir=$(mktemp -d "$QLX_BIN_DIR/update-crash.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cp "$QLX_BIN_DIR/update.exe" "$dir/"
mkdir -p "$dir/new" "$dir/old"
script=
for i in 1 2 3 4 5; do
    head -c $((30000 + i * 1000)) /dev/urandom >"$dir/old/f$i.dll"
    head -c $((31000 + i * 1000)) /dev/urandom >"$dir/new/f$i.dll"
    script+="copy new\\f$i.dll f$i.dll rebootnone"$'\r\n'
done
printf '%s' "$script" >"$dir/install.script"
hashes() { (cd "$1" && sha256sum f1.dll f2.dll f3.dll f4.dll f5.dll | cut -d' ' -f1 | tr '\n' ' '); }
old=$(hashes "$dir/old")
new=$(hashes "$dir/new")
run() { (cd "$dir" && exec "$QLX_WINE_RUN" "$dir/update.exe" "$@" </dev/null >/dev/null 2>&1); }
reset() { cp "$dir"/old/f*.dll "$dir/"; rm -f "$dir"/*.qlxold "$dir"/*.qlxnew "$dir/update.journal"; }
install=(executescript=install.script -Server=http://127.0.0.1:9/ -ProductVersion=1.0.0.0
    -Appearance=Stealth)

ms_of() { # milliseconds of one run
    local start
    start=$(date +%s%N)
    run "$@"
    echo $((($(date +%s%N) - start) / 1000000))
}
least() { [ -z "$1" ] || [ "$2" -lt "$1" ] && echo "$2" || echo "$1"; }
# Whole runs first: how long an install takes here, and a start that
# installs nothing. The first start of a prefix is slower than the rest, so
# the quickest of the later ones count. The kills land between three
# quarters of the plain start and the end of an install: most of a run is
# Wine starting.
full_ms= plain_ms=
for i in 1 2 3 4; do
    reset
    ms=$(ms_of "${install[@]}")
    [ "$(hashes "$dir")" = "$new" ] || { echo "an install without a kill did not install"; exit 1; }
    plain=$(ms_of check -ProductVersion=1.0.0.0 -Appearance=Stealth)
    if [ "$i" -gt 1 ]; then
        full_ms=$(least "$full_ms" "$ms")
        plain_ms=$(least "$plain_ms" "$plain")
    fi
done
from_ms=$((plain_ms * 3 / 4))
[ "$from_ms" -lt "$full_ms" ] || from_ms=0
echo "one install takes ${full_ms} ms, a start without one ${plain_ms} ms"

killed=0 olds=0 news=0 failures=0 n=0
begin=$(date +%s)
while [ "$killed" -lt "$kills" ] && [ "$n" -lt $((kills * 3)) ]; do
    n=$((n + 1))
    reset
    # Not through run: the kill must reach update.exe, not a shell around it.
    (cd "$dir" && exec "$QLX_WINE_RUN" "$dir/update.exe" "${install[@]}" </dev/null >/dev/null 2>&1) &
    pid=$!
    sleep "$(awk -v r=$RANDOM -v lo="$from_ms" -v hi="$full_ms" \
        'BEGIN { printf "%.3f", (lo + r / 32767 * (hi - lo)) / 1000 }')"
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null
        killed=$((killed + 1))
    elif [ "$full_ms" -gt 20 ]; then
        # Ended before the kill: the machine runs faster now (a warm Wine
        # starts quicker than the runs measured above); aim earlier, the
        # whole window.
        full_ms=$((full_ms * 19 / 20))
        from_ms=$((from_ms * 19 / 20))
    fi
    wait "$pid" 2>/dev/null
    # The next start, any verb: it restores first.
    run check -ProductVersion=1.0.0.0 -Appearance=Stealth
    now=$(hashes "$dir")
    if [ "$now" = "$old" ]; then
        olds=$((olds + 1))
    elif [ "$now" = "$new" ]; then
        news=$((news + 1))
    else
        failures=$((failures + 1))
        echo "run $n: a mix of old and new files"
        (cd "$dir" && ls -la && cat update.log | tail -20)
    fi
done
echo "$n runs in $(($(date +%s) - begin)) s, $killed killed mid-run: $olds left the old version," \
    "$news the new one, $failures a mix (kills at last between $from_ms and $full_ms ms)"
[ "$failures" -eq 0 ] && [ "$killed" -ge "$kills" ]
