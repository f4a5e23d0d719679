#!/usr/bin/env bash
# Runs the updater's network tests under Wine against a local update server
# on 127.0.0.1, which this script starts and stops.
set -uo pipefail
work=$(mktemp -d "$QLX_BIN_DIR/update-server.XXXXXX")
mkdir -p "$work/root"
/usr/bin/python3 "$QLX_SOURCE_DIR/updater/tests/win/update_server.py" "$work/root" "$work/port" \
    >"$work/server.log" 2>&1 &
server=$!
# The same files over TLS, with a certificate of its own for "localhost".
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
    -addext subjectAltName=DNS:localhost -keyout "$work/key.pem" -out "$work/cert.pem" \
    >/dev/null 2>&1
/usr/bin/python3 "$QLX_SOURCE_DIR/updater/tests/win/update_server.py" "$work/root" "$work/tls-port" \
    "$work/cert.pem" "$work/key.pem" >"$work/tls-server.log" 2>&1 &
tls_server=$!
trap 'kill $server $tls_server 2>/dev/null; wait $server $tls_server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    [ -s "$work/port" ] && [ -s "$work/tls-port" ] && break
    sleep 0.1
done
[ -s "$work/port" ] && [ -s "$work/tls-port" ] ||
    { echo "update server did not start" >&2; cat "$work"/*server.log >&2; exit 1; }
# The windows' cases have a run of their own on a screen.
export GTEST_FILTER="${GTEST_FILTER:--UpdaterWindows.*}"
export QLX_UPDATE_SERVER_PORT=$(cat "$work/port")
export QLX_UPDATE_TLS_PORT=$(cat "$work/tls-port")
export QLX_UPDATE_SERVER_ROOT="Z:$(echo "$work/root" | tr / '\\')"
"$QLX_WINE_RUN" "$QLX_BIN_DIR/updater_network_tests.exe" "$@"
