#!/usr/bin/env bash
# The setup program as a new user meets it, in a fresh Wine prefix of its own:
# an older build installed silently and used once; the current setup over it
# (the history stays); the files, registry values and class registrations it
# leaves, reached by 64- and 32-bit script clients; a pop-up blocked by the
# installed qlxi.dll and the installed QLX.exe started from its shortcut; a
# setup refused while Quellix runs; a silent uninstall that removes all of it
# but the user's settings and history.
# Needs QLX_BIN_DIR, QLX_WINE_RUN, QLX_SOURCE_DIR, QLX_X86_BIN_DIR, QLX_X86_TLB,
# QLX_MAKENSIS. The prefix stays for a look after a failure. On a kernel that
# runs no 32-bit programs the checks that need a 32-bit process are reported
# as not run and the rest decide the result.
set -uo pipefail
build=$(cd "$QLX_BIN_DIR/.." && pwd) || exit 2
work="$build/${QLX_INSTALL_TEST_DIR:-installer-test}"
WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1
rm -rf "$work"
mkdir -p "$work" || exit 2
export QLX_WINEPREFIX_OVERRIDE="$work/prefix"
cd "$QLX_BIN_DIR" || exit 2
. "$QLX_SOURCE_DIR/integrator/tests/e2e/e2e_lib.sh"
. "$QLX_SOURCE_DIR/tools/wine/ia32-probe.sh"
qlx_runs_32bit || qlx_32bit_not_run
stop_prefix() {
    cleanup_tray
    WINEPREFIX="$QLX_WINEPREFIX_OVERRIDE" /usr/lib/wine/wineserver -k >/dev/null 2>&1
}
trap stop_prefix EXIT

version=$(head -n1 version.dat | tr -d '\r\n')
setup="$build/dist/QuellixSetup-$version.exe"
[ -f "$setup" ] || { echo "no setup program $setup" >&2; exit 2; }
program_dir="$QLX_WINEPREFIX_OVERRIDE/drive_c/Program Files/Quellix"
program_dir_win='C:\Program Files\Quellix'
export QLX_TRAY_EXE="$program_dir_win\\QLX.exe"
menu_dir="$QLX_WINEPREFIX_OVERRIDE/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quellix"
product_key='HKLM\Software\Quellix'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quellix'
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
service_clsid='{2EEDC3D9-D3C2-44F0-89C3-286D73BDD7D5}'
integrator_clsid='{BAA96B4B-D840-412F-B500-25C63B32FCBA}'
engine_clsid='{3C58D447-43A1-40D1-890A-C4240FDCC404}'
service_typelib='{41AF1B1D-44A7-4678-97AF-838F2C6BA296}'
helper_key="HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\$integrator_clsid"
bridge_host=com.quellix.bridge
extension_id=nkmfncjapicelkhdcoipjghlpfmnjenf
host_keys=("HKLM\\Software\\Google\\Chrome\\NativeMessagingHosts\\$bridge_host"
           "HKLM\\Software\\Microsoft\\Edge\\NativeMessagingHosts\\$bridge_host")
chrome_extension_key="HKLM\\Software\\Google\\Chrome\\Extensions\\$extension_id"
edge_extension_key="HKLM\\Software\\Microsoft\\Edge\\Extensions\\$extension_id"
history_file="$QLX_WINEPREFIX_OVERRIDE/drive_c/users/$(id -un)/AppData/Roaming/Quellix/history.lst"

check() { # check <what> <command...>
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
check32() { # check32 <what> <command...>: a check that needs a 32-bit process
    if qlx_runs_32bit; then check "$@"; else echo "not run (32-bit): $1"; fi
}
# The pop-ups blocked so far, by the steps that ran.
blocked=0
value() { # value <key> <name> [/reg:32] -> data as reg shows it
    run reg query "$1" /v "$2" ${3:-} 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
default_value() { # default_value <key> -> its default value as reg shows it
    run reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *([^)]*) *REG_SZ *//p'
}
key_exists() { run reg query "$1" ${2:-} >/dev/null 2>&1; }
key_gone() { ! key_exists "$@"; }
same_file() { cmp -s "$1" "$2"; }
dos_path() { local p=${1//\//\\}; echo "Z:$p"; } # Wine's Z: is the Unix root
script() { # script <cscript.exe> <vbs> [args]: output without CRs
    local cscript=$1 vbs=$2
    shift 2
    cp "$QLX_SOURCE_DIR/installer/tests/$vbs" "$work/$vbs"
    run "$cscript" //nologo "$(dos_path "$work/$vbs")" "$@" | tr -d '\r'
}

# An older build: the same programs under an older version number.
mkdir -p "$work/old"
cp QLX.exe qlxi.dll QLXEng.dll update.exe update.key manual.chm server.dat qlxhost.exe "$work/old/"
printf '0.9.0.0\r\n' >"$work/old/version.dat"
"$QLX_MAKENSIS" -V1 -X"SetCompressor /FINAL zlib" -DVERSION=0.9.0.0 -DBIN_DIR="$work/old" \
    -DBIN32_DIR="$QLX_X86_BIN_DIR" -DTLB32="$QLX_X86_TLB" -DSOURCE_DIR="$QLX_SOURCE_DIR" -DOUT_FILE="$work/QuellixSetup-0.9.0.0.exe" \
    "$QLX_SOURCE_DIR/installer/quellix.nsi" || exit 2

run "$work/QuellixSetup-0.9.0.0.exe" /S
check "the older build installs silently (exit code $?)" [ $? -eq 0 ]
check "the older version.dat is installed" [ "$(tr -d '\r\n' <"$program_dir/version.dat")" = 0.9.0.0 ]

# Used once: a script client blocks a pop-up through the running tray program,
# which saves its history and counters at its normal exit.
start_tray
cp "$QLX_SOURCE_DIR/tray/tests/win/client.vbs" "$work/client.vbs"
run cscript //nologo "$(dos_path "$work/client.vbs")" | tr -d '\r' | grep -qx 'Block=-1' || fail "the older build blocked nothing"
blocked=$((blocked + 1))
exit_tray
cp "$history_file" "$work/history.before" || fail "no history after the first use"

# The upgrade.
run "$setup" /S
check "the current setup installs over the older build (exit code $?)" [ $? -eq 0 ]
check "the history is kept over the upgrade" same_file "$history_file" "$work/history.before"
check "the counters are kept over the upgrade" [ "$(option PopupBlockedTotal_Count)" = "$(printf 0x%x $blocked)" ]

for f in QLX.exe qlxi.dll QLXEng.dll update.exe update.key manual.chm version.dat server.dat qlxhost.exe; do
    check "$f is installed from this build" same_file "$program_dir/$f" "$f"
done
for f in manifest.json worker.js clicks.js; do
    check "browser-extension\\$f is installed" \
        same_file "$program_dir/browser-extension/$f" "$QLX_SOURCE_DIR/browser-extension/$f"
done
check "the bridge's host manifest is installed" \
    same_file "$program_dir/$bridge_host.json" "$QLX_SOURCE_DIR/bridge/win32/$bridge_host.json"

# Edge and Chrome: the bridge for both, per machine; the extension announced
# to both through their external-extension keys (32-bit view).
for key in "${host_keys[@]}"; do
    check "$key names the installed host manifest" \
        [ "$(default_value "$key")" = "$program_dir_win\\$bridge_host.json" ]
done
check "Chrome's external-extension key" [ "$(value "$chrome_extension_key" update_url /reg:32)" = \
    "https://clients2.google.com/service/update2/crx" ]
check "Edge's external-extension key" [ "$(value "$edge_extension_key" update_url /reg:32)" = \
    "https://edge.microsoft.com/extensionwebstorebase/v1/crx" ]
for f in qlxi.dll QLXEng.dll; do
    check "x86\\$f is the 32-bit build" same_file "$program_dir/x86/$f" "$QLX_X86_BIN_DIR/$f"
done
check "x86\\quellix.tlb is the 32-bit type library" same_file "$program_dir/x86/quellix.tlb" "$QLX_X86_TLB"
check "uninstall.exe is in the program folder" [ -f "$program_dir/uninstall.exe" ]
check "version.dat holds $version" [ "$(tr -d '\r\n' <"$program_dir/version.dat")" = "$version" ]
check "AppName" [ "$(value "$product_key" AppName)" = Quellix ]
check "AppShortName" [ "$(value "$product_key" AppShortName)" = QLX ]
check "DisplayName" [ "$(value "$uninstall_key" DisplayName)" = Quellix ]
check "DisplayVersion" [ "$(value "$uninstall_key" DisplayVersion)" = "$version" ]
check "Publisher" [ "$(value "$uninstall_key" Publisher)" = Quellix ]
check "DisplayIcon" [ "$(value "$uninstall_key" DisplayIcon)" = "$program_dir_win\\QLX.exe,0" ]
check "UninstallString" [ "$(value "$uninstall_key" UninstallString)" = "\"$program_dir_win\\uninstall.exe\"" ]
quiet=$(value "$uninstall_key" QuietUninstallString)
check "QuietUninstallString" [ "$quiet" = "\"$program_dir_win\\uninstall.exe\" /S" ]
size=$(value "$uninstall_key" EstimatedSize)
check "EstimatedSize ($size KiB)" [ $((size)) -gt 1000 ]

# Each class points at the installed file of its bitness.
registered() { # registered <clsid> <subkey> <path> [/reg:32]
    run reg query "HKCR\\CLSID\\$1\\$2" ${4:-} 2>/dev/null | tr -d '\r' | grep -qiF "$3"
}
check "the popup service is the installed QLX.exe" \
    registered "$service_clsid" LocalServer32 "$program_dir_win\\QLX.exe"
check "the integrator is the installed qlxi.dll" \
    registered "$integrator_clsid" InprocServer32 "$program_dir_win\\qlxi.dll"
check "the engine is the installed QLXEng.dll" \
    registered "$engine_clsid" InprocServer32 "$program_dir_win\\QLXEng.dll"
check32 "32-bit view: the integrator is x86\\qlxi.dll" \
    registered "$integrator_clsid" InprocServer32 "$program_dir_win\\x86\\qlxi.dll" /reg:32
check32 "32-bit view: the engine is x86\\QLXEng.dll" \
    registered "$engine_clsid" InprocServer32 "$program_dir_win\\x86\\QLXEng.dll" /reg:32
check "the browser-helper key, 64-bit view" key_exists "$helper_key"
check32 "the browser-helper key, 32-bit view" key_exists "$helper_key" /reg:32

# Script clients of both bitnesses; COM starts the installed QLX.exe itself.
expected="Enable=-1
Engine=IWXEngineEx"
out=$(script cscript installed_classes.vbs)
echo "$out"
check "a 64-bit script client reaches the popup service and the engine" [ "$out" = "$expected" ]
if qlx_runs_32bit; then
    out=$(script 'C:\windows\syswow64\cscript.exe' installed_classes.vbs)
    echo "$out"
fi
check32 "a 32-bit script client reaches the popup service and the engine" [ "$out" = "$expected" ]

# The installed QLX.exe started as its shortcut starts it; the browser host
# loads the installed qlxi.dll from the browser-helper key.
link=$(run shortcut_target.exe "$(dos_path "$menu_dir/Quellix.lnk")" | tr -d '\r')
target=$(echo "$link" | sed -n 1p)
check "the Quellix shortcut starts the installed QLX.exe" [ "$target" = "$program_dir_win\\QLX.exe" ]
check "the shortcut starts it in the program folder" [ "$(echo "$link" | sed -n 2p)" = "$program_dir_win" ]
check "a shortcut to the manual" [ -f "$menu_dir/Quellix Manual.lnk" ]
check "a shortcut to the uninstaller" [ -f "$menu_dir/Uninstall Quellix.lnk" ]
(cd "$program_dir" && exec "$QLX_WINE_RUN" "$target" </dev/null >/dev/null 2>&1) &
tray_pid=$!
run tray_test_driver.exe wait-mutex || { echo "the tray program did not start from its shortcut" >&2; exit 1; }
out=$(host script-popup)
echo "$out"
expect_line "$out" '^POPUP script-popup http://ads.example/popup.html BLOCKED' \
    "the installed integrator and tray program block a script pop-up"
blocked=$((blocked + 1))
# The installed bridge, as Chrome starts it, through the installed tray program.
/usr/bin/python3 -c 'import json, struct, sys
q = json.dumps({"id": 1, "browser": "chrome", "opener": {"title": "T", "url": "http://127.0.0.1/"},
                "target": "http://127.0.0.1/ad.html", "click": None,
                "window": {"type": "normal", "left": 0, "top": 0, "width": 9, "height": 9}}).encode()
sys.stdout.buffer.write(struct.pack("<I", len(q)) + q)' >"$work/question.bin"
out=$("$QLX_WINE_RUN" "$program_dir_win\\qlxhost.exe" "chrome-extension://$extension_id/" \
    <"$work/question.bin" | tail -c +5)
echo "$out"
check "the installed bridge blocks a Chrome pop-up through the installed tray program" \
    grep -q '"verdict":"block"' <<<"$out"
blocked=$((blocked + 1))
# A 32-bit browser: the 32-bit integrator from the 32-bit view, asking the
# 64-bit tray program.
if qlx_runs_32bit; then
    out=$(run "$QLX_X86_BIN_DIR/browser_host.exe" script-popup | tr -d '\r')
    echo "$out"
    expect_line "$out" '^HOST script-popup helpers=1$' "a 32-bit browser loads the installed x86\\qlxi.dll"
    expect_line "$out" '^POPUP script-popup http://ads.example/popup.html BLOCKED' \
        "the 32-bit integrator blocks a script pop-up through the 64-bit tray program"
    blocked=$((blocked + 1))
else
    echo "not run (32-bit): a 32-bit browser loads the installed x86\\qlxi.dll and blocks a pop-up"
fi

cp "$program_dir/version.dat" "$work/version.installed"
run "$setup" /S
check "a silent setup while Quellix runs ends with exit code 3 (got $?)" [ $? -eq 3 ]
check "and leaves the installation alone" same_file "$program_dir/version.dat" "$work/version.installed"
exit_tray
cp "$history_file" "$work/history.used"
check "the history grew ($blocked blocked)" [ "$(option PopupBlockedTotal_Count)" = "$(printf 0x%x $blocked)" ]

# The silent uninstall, as Add/Remove Programs runs it (the uninstaller
# continues from a copy of itself and removes the program folder last).
run reg add "HKLM\\$run_key" /v Quellix /d "\"$program_dir_win\\QLX.exe\"" /f >/dev/null
run reg add "HKCU\\$run_key" /v Quellix /d "\"$program_dir_win\\QLX.exe\"" /f >/dev/null
uninstaller=${quiet#\"}
run "${uninstaller%%\"*}" /S
check "the uninstaller starts (exit code $?)" [ $? -eq 0 ]
for _ in $(seq 1 300); do
    [ -e "$program_dir" ] || break
    sleep 0.1
done
check "the program folder is gone" [ ! -e "$program_dir" ]
check "the Start-menu folder is gone" [ ! -e "$menu_dir" ]
check "HKLM\\Software\\Quellix is gone" key_gone "$product_key"
check "the Add/Remove Programs entry is gone" key_gone "$uninstall_key"
check "the Run entry under HKLM is gone" [ -z "$(value "HKLM\\$run_key" Quellix)" ]
check "the Run entry under HKCU is gone" [ -z "$(value "HKCU\\$run_key" Quellix)" ]
for clsid in "$service_clsid" "$integrator_clsid" "$engine_clsid"; do
    check "class $clsid is unregistered" key_gone "HKCR\\CLSID\\$clsid"
done
for clsid in "$integrator_clsid" "$engine_clsid"; do
    check32 "32-bit view: class $clsid is unregistered" key_gone "HKCR\\CLSID\\$clsid" /reg:32
done
check "the popup service's type library is unregistered" key_gone "HKCR\\TypeLib\\$service_typelib"
check "the browser-helper key is gone, 64-bit view" key_gone "$helper_key"
check32 "the browser-helper key is gone, 32-bit view" key_gone "$helper_key" /reg:32
for key in "${host_keys[@]}"; do
    check "$key is gone" key_gone "$key"
done
check "Chrome's external-extension key is gone" key_gone "$chrome_extension_key" /reg:32
check "Edge's external-extension key is gone" key_gone "$edge_extension_key" /reg:32
check "the user's history is kept" same_file "$history_file" "$work/history.used"
check "the user's settings are kept" [ "$(option PopupBlockedTotal_Count)" = "$(printf 0x%x $blocked)" ]
if [ $status -eq 0 ]; then
    stop_prefix
    rm -rf "$work"
fi
exit $status
