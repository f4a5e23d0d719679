#!/usr/bin/env bash
# The update chain, end to end: the tray program of a program folder runs
# with version N; it gets the Update command; update.exe asks the local
# reference update server, downloads, checks and installs version N+1; the
# tray program reports it; update.log shows what happened.
#
#   update-demo.sh DIR [--exit]
#
# DIR is the program folder (a Linux path inside the Wine prefix's reach)
# holding QLX.exe and update.exe. A running QLX.exe is used as it is;
# otherwise one is started from DIR. --exit ends it afterwards. Environment:
# QLX_WINE_RUN (default build/windows/wine-run), QLX_BIN_DIR (where
# tray_test_driver.exe is; default build/windows/bin), QLX_UPDATE_SIGNING_KEY
# (the private key that signs the set; default the build tree's throwaway
# key, which DIR's update.key trusts). Exit status 0 only when the update
# arrived, its signature and hashes were checked, and it was reported.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
DIR=${1:?usage: update-demo.sh DIR [--exit]}
DIR=$(cd "$DIR" && pwd)
EXIT_AFTER=${2:-}
WINE_RUN=${QLX_WINE_RUN:-$ROOT/build/windows/wine-run}
BIN=${QLX_BIN_DIR:-$ROOT/build/windows/bin}
SIGNING_KEY=${QLX_UPDATE_SIGNING_KEY:-$BIN/../keys/throwaway-update-key.pem}
WORK=$(mktemp -d)
run() { "$WINE_RUN" "$@" </dev/null; }
driver() { run "$BIN/tray_test_driver.exe" "$@"; }
say() { printf '  %s\n' "$*"; }
server=
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
fail() { echo "update demo: FAIL: $*" >&2; exit 1; }

# Version N: the updater needs 3 or 4 dots, so a shorter version gets its
# missing numbers as zeros; N+1 is N with its last number one higher.
current=$(tr -d '\r\n ' <"$DIR/version.dat" 2>/dev/null)
[[ $current =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "no version in $DIR/version.dat"
while [ "$(tr -cd . <<<"$current" | wc -c)" -lt 3 ]; do current="$current.0"; done
printf '%s' "$current" >"$DIR/version.dat"
next="${current%.*}.$((${current##*.} + 1))"
say "installed version: $current, offered: $next"

# What an earlier run left is cleared first, so that the update set is built
# against what is really installed: a "whatsnew.txt" left there would match
# the new one and be left out of the set.
rm -f "$DIR/update.log" "$DIR/whatsnew.txt"

# The update set: the program's files as they are plus a changed file.
mkdir -p "$WORK/stage" "$WORK/sets"
cp "$DIR"/*.exe "$WORK/stage/"
printf 'Quellix %s\r\n' "$next" >"$WORK/stage/whatsnew.txt"
[ -f "$DIR/update.key" ] || fail "$DIR has no update.key: it would trust no update"
python3 "$ROOT/tools/update-server/make_update_set.py" --version "$next" --out "$WORK/sets" \
    --from "$WORK/stage" --installed "$DIR" --key "$SIGNING_KEY" | sed 's/^/  /' ||
    fail "update set"

python3 "$ROOT/tools/update-server/update_server.py" "$WORK/sets" --port-file "$WORK/port" \
    >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$WORK/port" ] && break; sleep 0.1; done
[ -s "$WORK/port" ] || fail "the update server did not start"
port=$(cut -d' ' -f1 "$WORK/port")
printf 'http://127.0.0.1:%s/quellix/update' "$port" >"$DIR/server.dat"
say "update server: http://127.0.0.1:$port/quellix/update"

# The product's identity, as the setup program writes it.
for pair in AppName=Quellix AppShortName=QLX; do
    run reg query 'HKLM\Software\Quellix' /v "${pair%%=*}" >/dev/null 2>&1 ||
        run reg add 'HKLM\Software\Quellix' /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null 2>&1
done

tray=
if [ "$(driver running 2>/dev/null)" != "yes" ]; then
    (cd "$DIR" && "$WINE_RUN" QLX.exe </dev/null >/dev/null 2>&1) &
    tray=$!
    driver wait-mutex || fail "QLX.exe did not start"
fi
say "QLX.exe runs with version $current; sending it the Update command"
driver update || fail "the Update command"
tip=$(driver tip-text 60 | tr -d '\r')
say "the tray program says: \"$tip\""

echo "  the server was asked:"
sed 's/^/    /' "$WORK/sets/requests.log"
echo "  update.log:"
tr -d '\r' <"$DIR/update.log" 2>/dev/null | sed 's/^/    /'
status=0
[ "$tip" = "Quellix was updated to version  $next" ] || { echo "update demo: FAIL: report" >&2; status=1; }
[ "$(cat "$DIR/version.dat")" = "$next" ] || { echo "update demo: FAIL: version.dat" >&2; status=1; }
[ -f "$DIR/whatsnew.txt" ] || { echo "update demo: FAIL: whatsnew.txt not installed" >&2; status=1; }
grep -q "^/quellix/update?proto=3&v=$current&abbr=QLX&platform=" "$WORK/sets/requests.log" ||
    { echo "update demo: FAIL: update request" >&2; status=1; }
grep -q 'Engine is exiting with return code of 21' "$DIR/update.log" 2>/dev/null ||
    { echo "update demo: FAIL: update.log" >&2; status=1; }
grep -q 'Verified signature of update.manifest' "$DIR/update.log" 2>/dev/null &&
    grep -q 'Verified file: whatsnew.txt' "$DIR/update.log" 2>/dev/null ||
    { echo "update demo: FAIL: signature and hashes not checked" >&2; status=1; }

if [ "$EXIT_AFTER" = "--exit" ]; then
    driver exit-tray || status=1
    [ -n "$tray" ] && wait "$tray"
fi
[ $status -eq 0 ] && say "updated to $next"
exit $status
