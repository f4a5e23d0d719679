# Shared by the integrator's end-to-end scripts: the real QLX.exe, the real
# qlxi.dll registered with regsvr32, and the browser host, all in the tree's
# Wine prefix. Needs QLX_BIN_DIR and QLX_WINE_RUN (set by ctest or the demo);
# QLX_TRAY_EXE names an installed QLX.exe instead of the tree's.
run() { "$QLX_WINE_RUN" "$@" </dev/null; }
fail() { echo "FAIL: $*" >&2; status=1; }
status=0
tray_pid=

options_key='HKCU\Software\Quellix\Options'

register_all() {
    run QLX.exe /RegServer || { echo "QLX.exe /RegServer failed" >&2; exit 1; }
    run regsvr32.exe /s qlxi.dll || { echo "regsvr32 qlxi.dll failed" >&2; exit 1; }
}

# No tray program left over from an earlier run, factory settings, no
# history, no allowed sites.
fresh_tray_state() {
    kill_tray
    run reg delete 'HKCU\Software\Quellix' /f >/dev/null 2>&1
    run cmd /c del "%APPDATA%\\Quellix\\history.lst" >/dev/null 2>&1
    run cmd /c del "%APPDATA%\\Quellix\\sites.lst" >/dev/null 2>&1
}

start_tray() {
    "$QLX_WINE_RUN" "${QLX_TRAY_EXE:-QLX.exe}" </dev/null >/dev/null 2>&1 &
    tray_pid=$!
    run tray_test_driver.exe wait-mutex || { echo "the tray program did not start" >&2; exit 1; }
}

# The user's way out: Exit, then "Yes"; settings and history are saved.
exit_tray() {
    run tray_test_driver.exe exit-tray || fail "the tray program did not end normally"
    wait "$tray_pid" 2>/dev/null
    tray_pid=
}

# The tray program ended by force. Wine's rpcss keeps the class registration
# of a killed local server and hands it to the next client, so a tray program
# started afterwards would never be reached: rpcss is ended too and comes
# back on demand with a clean table.
kill_tray() {
    run taskkill /F /IM QLX.exe >/dev/null 2>&1
    [ -n "$tray_pid" ] && wait "$tray_pid" 2>/dev/null
    tray_pid=
    run taskkill /F /IM rpcss.exe >/dev/null 2>&1
}

cleanup_tray() { [ -n "$tray_pid" ] && kill_tray; }
trap cleanup_tray EXIT

option() { # name -> value as reg shows it (0x1, text...)
    run reg query "$options_key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'
}

set_option_dword() { run reg add "$options_key" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null; }

# The tray program's data folder ("%APPDATA%\Quellix") as a Linux path.
data_folder() {
    run winepath.exe -u "$(run cmd /c echo %APPDATA% | tr -d '\r')\\Quellix" | tr -d '\r'
}

# allow_sites SITE...: "sites.lst" holding these sites, as the user saved them.
allow_sites() {
    local data
    data=$(data_folder) && mkdir -p "$data" || return 1
    printf '%s\r\n' "$@" >"$data/sites.lst"
}

history_text() { run cmd /c type "%APPDATA%\\Quellix\\history.lst" 2>/dev/null | tr -d '\r'; }

host() { run browser_host.exe "$@" | tr -d '\r'; }

# A browser host left running while the script acts on the tray program:
# host_start ARGS..., host_wait_for PATTERN (in its output so far), then
# host_finish, which waits for it and leaves its output in host_output.
host_out=
host_start() {
    host_out=$(mktemp)
    "$QLX_WINE_RUN" browser_host.exe "$@" </dev/null >"$host_out" 2>&1 &
    host_pid=$!
}
host_wait_for() {
    for _ in $(seq 1 300); do grep -q "$1" "$host_out" && return 0; sleep 0.1; done
    return 1
}
host_finish() {
    wait "$host_pid"
    host_output=$(tr -d '\r' <"$host_out")
    rm -f "$host_out"
}

# expect_line "<output>" "<pattern>" "<what>"
expect_line() {
    if echo "$1" | grep -Eq -- "$2"; then
        echo "ok: $3"
    else
        fail "$3 (no line matching '$2')"
    fi
}
