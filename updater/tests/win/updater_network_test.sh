#!/usr/bin/env bash
# Runs the updater's network tests under Wine against local update servers
# on 127.0.0.1, which this script starts and stops: one plain, and one over
# TLS per certificate of a throwaway test authority. The authority is in the
# system's trust store only while the tests run.
set -uo pipefail
work=$(mktemp -d "$QLX_BIN_DIR/update-server.XXXXXX")
mkdir -p "$work/root"
anchor=/usr/local/share/ca-certificates/quellix-test-$$.crt
pids=()
cleanup() {
    [ ${#pids[@]} -gt 0 ] && { kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null; }
    if [ -f "$anchor" ]; then
        rm -f "$anchor"
        update-ca-certificates >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
serve() { # port-file [cert key]: the reference server, sending the files a test lays out
    local tls=()
    [ $# -eq 3 ] && tls=(--cert "$2" --key "$3")
    /usr/bin/python3 "$QLX_SOURCE_DIR/tools/update-server/update_server.py" "$work/root" --static \
        --port-file "$1" "${tls[@]}" >>"$work/server.log" 2>&1 &
    pids+=($!)
}
tls_port() { cut -d' ' -f2 "$work/port-$1"; }
/usr/bin/python3 "$QLX_SOURCE_DIR/tools/update-server/test_certificates.py" "$work/tls" ||
    { echo "test certificates not made" >&2; exit 1; }
if [ "$(id -u)" -eq 0 ] && command -v update-ca-certificates >/dev/null; then
    cp "$work/tls/ca.pem" "$anchor" && update-ca-certificates >/dev/null 2>&1 ||
        { echo "the test authority could not be trusted" >&2; exit 1; }
    export QLX_TEST_CA_TRUSTED=1
fi
# A signing key pair for the test's update sets; update.key of every
# sandbox trusts it.
python3 "$QLX_SOURCE_DIR/tools/update-server/update_key.py" new "$work/signing.pem" >/dev/null ||
    { echo "no signing key" >&2; exit 1; }
export QLX_TEST_UPDATE_KEY_LINE=$(python3 "$QLX_SOURCE_DIR/tools/update-server/update_key.py" line "$work/signing.pem")
export QLX_TEST_SIGNING_RAW=$(python3 "$QLX_SOURCE_DIR/tools/update-server/update_key.py" raw "$work/signing.pem")
serve "$work/port"
for name in good wronghost expired unknownca; do
    serve "$work/port-$name" "$work/tls/$name.pem" "$work/tls/$name.key"
done
ready() { for f in port port-good port-wronghost port-expired port-unknownca; do
    [ -s "$work/$f" ] || return 1; done; }
for _ in $(seq 100); do ready && break; sleep 0.1; done
ready || { echo "update server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
# The windows' cases have a run of their own on a screen.
export GTEST_FILTER="${GTEST_FILTER:--UpdaterWindows.*}"
export QLX_UPDATE_SERVER_PORT=$(cut -d' ' -f1 "$work/port")
export QLX_UPDATE_TLS_PORT=$(tls_port good)
export QLX_UPDATE_WRONGHOST_PORT=$(tls_port wronghost)
export QLX_UPDATE_EXPIRED_PORT=$(tls_port expired)
export QLX_UPDATE_UNKNOWNCA_PORT=$(tls_port unknownca)
export QLX_UPDATE_SERVER_ROOT="Z:$(echo "$work/root" | tr / '\\')"
"$QLX_WINE_RUN" "$QLX_BIN_DIR/updater_network_tests.exe" "$@"
