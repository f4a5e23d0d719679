#!/usr/bin/env bash
# The pop-up blocking demo: Quellix installed by its setup program (silently)
# into a Wine prefix of the demo's own, and the browser host of the test tree
# playing pages that open windows, then the same pages in headless Chromium
# with the Quellix extension. For each pop-up it
# prints whether it was blocked or let through and why; at the end the tray
# program is ended the way a user ends it, and the history and counters it
# saved are shown. Last, the installed program updates itself from a local
# update server.
#
#   run-demo.sh <windows build dir>      (e.g. build/windows)
set -uo pipefail
build=${1:?usage: run-demo.sh <windows build dir>}
build=$(cd "$build" && pwd) || exit 2
export QLX_BIN_DIR="$build/bin"
export QLX_WINE_RUN="$build/wine-run"
export QLX_SOURCE_DIR
QLX_SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)

version=$(head -n1 "$QLX_BIN_DIR/version.dat" 2>/dev/null | tr -d '\r\n')
setup="$build/dist/QuellixSetup-$version.exe"
for f in "$setup" "$QLX_BIN_DIR/browser_host.exe" "$QLX_BIN_DIR/tray_test_driver.exe"; do
    [ -f "$f" ] || { echo "run-demo: $f is missing; build the windows tree first" >&2; exit 2; }
done
export QLX_WINEPREFIX_OVERRIDE="$build/demo-wineprefix"
# Every run starts from a machine that has never seen Quellix: a fresh prefix,
# so a second demo in the same tree meets what the first one met.
WINEPREFIX="$QLX_WINEPREFIX_OVERRIDE" /usr/lib/wine/wineserver -k >/dev/null 2>&1
WINEPREFIX="$QLX_WINEPREFIX_OVERRIDE" /usr/lib/wine/wineserver -w >/dev/null 2>&1
rm -rf "$QLX_WINEPREFIX_OVERRIDE"
export QLX_TRAY_EXE='C:\Program Files\Quellix\QLX.exe'
cd "$QLX_BIN_DIR" || exit 2
. "$QLX_SOURCE_DIR/integrator/tests/e2e/e2e_lib.sh"
trap 'cleanup_tray; WINEPREFIX="$QLX_WINEPREFIX_OVERRIDE" /usr/lib/wine/wineserver -k >/dev/null 2>&1' EXIT

say() { printf '\n== %s\n' "$*"; }

# POPUP <scenario> <address> BLOCKED|LET-THROUGH <ms> [state] (<why>)
show() {
    local out
    out=$(host "$@") || status=1
    echo "$out" | awk '
        /^POPUP/ {
            why = $0; sub(/^[^(]*\(/, "", why); sub(/\)$/, "", why)
            verdict = ($4 == "BLOCKED") ? "BLOCKED     " : ($4 == "LET-THROUGH" ? "let through " : $4)
            state = ""
            if ($4 == "LET-THROUGH") {
                state = $0; sub(/^POPUP [^ ]* [^ ]* [^ ]* [^ ]* /, "", state); sub(/ \(.*$/, "", state)
                state = "  [" state "]"
            }
            printf "  %-14s %-34s %s %s (%s)%s\n", $2, $3, verdict, $5, why, state
            next
        }
        /^NOTE/ { print "  " $0 }'
}

say "installing $(basename "$setup") silently (/S) into $QLX_WINEPREFIX_OVERRIDE"
fresh_tray_state
run "$setup" /S || { echo "run-demo: the setup program failed with $?" >&2; exit 1; }
echo "  done: $QLX_TRAY_EXE and the browser integrator are installed and registered;"
echo "  settings and history start empty"

say "the tray program is not running"
show tray-absent

say "QLX.exe running with blocking switched off"
set_option_dword BlockPopup 0
start_tray
show blocking-off
exit_tray
set_option_dword BlockPopup 1

say "time the integrator adds under Wine (median of 10; a session of its own, not recorded)"
start_tray
with=$(host --count=10 navigation timing)
without=$(host --no-helpers --count=10 navigation timing)
nav_with=$(echo "$with" | sed -n 's/^NAVIGATION median=\([0-9.]*\)ms.*/\1/p')
nav_without=$(echo "$without" | sed -n 's/^NAVIGATION median=\([0-9.]*\)ms.*/\1/p')
pop_with=$(echo "$with" | sed -n 's/^CANDIDATE .*median=\([0-9.]*\)ms.*/\1/p')
pop_without=$(echo "$without" | sed -n 's/^CANDIDATE .*median=\([0-9.]*\)ms.*/\1/p')
echo "  ordinary navigation:  ${nav_with} ms with the integrator, ${nav_without} ms without"
echo "  pop-up candidate (NewWindow2 to window closed or shown): ${pop_with} ms with, ${pop_without} ms without"
exit_tray
fresh_tray_state

say "QLX.exe running with blocking on (factory settings: override key Ctrl, normalisation on)"
start_tray
show script-popup chromeless link-click key-click internal-page
show --key=shift key-click
echo "  (the last one held Shift; the configured override key is Ctrl)"

say "the same pages in headless Chromium, through the Quellix extension and qlxhost.exe"
QLX_BRIDGE_EXE="${QLX_TRAY_EXE%\\*}\\qlxhost.exe" \
    /usr/bin/python3 "$QLX_SOURCE_DIR/integrator/demo/chromium_demo.py" || status=1
echo "  (the bridge reports chrome.exe as the pop-up's process)"

say "ending QLX.exe through its exit question"
exit_tray
echo "  QLX.exe ended; it saved its settings and history"

say "history.lst, as QLX.exe saved it"
history_text | sed 's/^/  /'

say "counters in HKCU\\Software\\Quellix\\Options"
for v in PopupBlockedToday_Count PopupBlockedTotal_Count today_time BlockPopup; do
    printf '  %-26s %s\n' "$v" "$(option "$v")"
done

say "allowed sites: \"sites.lst\" holds news.example (its pop-ups always allowed)"
allow_sites news.example
start_tray
show script-popup | sed 's/(the tray program let it pass)/(its page, news.example, is an allowed site)/'
show --page=http://www.news.example/sport.html script-popup |
    sed 's/(the tray program let it pass)/(www.news.example lies below the allowed news.example)/'
show --page=http://other.example/ script-popup
exit_tray
echo "  pop-ups blocked in all: $(option PopupBlockedTotal_Count) (one more, of other.example: the allowed site's are not counted)"

say "a real update: the Update command, update.exe and a local update server"
"$QLX_SOURCE_DIR/tools/update-demo/update-demo.sh" \
    "$QLX_WINEPREFIX_OVERRIDE/drive_c/Program Files/Quellix" --exit || status=1
exit $status
