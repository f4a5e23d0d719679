#!/usr/bin/env bash
# regsvr32 writes the engine's registry entries and regsvr32 /u removes them
# (except the shared AppID and CLSID keys); a script client then reaches the
# class by its ProgIDs.
set -u -o pipefail
cd "$QLX_BIN_DIR" || exit 2
failures=0
in_wine() { "$QLX_WINE_RUN" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
ok() { echo "ok   $*"; }
bad() { echo "FAIL $*"; failures=$((failures + 1)); }

CLSID='{3C58D447-43A1-40D1-890A-C4240FDCC404}'
APPID='{5533473E-41E2-4BE2-9A8C-E50C879F9161}'
LIBID='{3879320D-2E2E-461E-A2CD-4B2FB011E5F9}'

# expect KEY NAME VALUE  (NAME "" is the default value)
expect() {
    local args=(reg query "HKCR\\$1")
    if [ -z "$2" ]; then args+=(/ve); else args+=(/v "$2"); fi
    local out
    out=$(in_wine "${args[@]}")
    if grep -qF "REG_SZ    $3" <<<"$out"; then ok "$1 [$2] = $3"; else bad "$1 [$2] != $3: $out"; fi
}
exists() { "$QLX_WINE_RUN" reg query "HKCR\\$1" </dev/null >/dev/null 2>&1; }

"$QLX_WINE_RUN" regsvr32.exe /s QLXEng.dll </dev/null >/dev/null 2>&1 || bad "regsvr32 failed"
module=$(in_wine winepath.exe -w "$QLX_BIN_DIR/QLXEng.dll")

expect "AppID\\$APPID" "" "WexafelEngine"
expect "AppID\\WexafelEngine.DLL" "AppID" "$APPID"
expect "WXEngine.WXEngine.1" "" "WXEngine Class"
expect "WXEngine.WXEngine.1\\CLSID" "" "$CLSID"
expect "WXEngine.WXEngine" "" "WXEngine Class"
expect "WXEngine.WXEngine\\CLSID" "" "$CLSID"
expect "WXEngine.WXEngine\\CurVer" "" "WXEngine.WXEngine.1"
expect "CLSID\\$CLSID" "" "WXEngine Class"
expect "CLSID\\$CLSID" "AppID" "$APPID"
expect "CLSID\\$CLSID\\ProgID" "" "WXEngine.WXEngine.1"
expect "CLSID\\$CLSID\\VersionIndependentProgID" "" "WXEngine.WXEngine"
expect "CLSID\\$CLSID\\InprocServer32" "" "$module"
expect "CLSID\\$CLSID\\InprocServer32" "ThreadingModel" "Apartment"
expect "CLSID\\$CLSID\\TypeLib" "" "$LIBID"
expect "TypeLib\\$LIBID\\1.0" "" "WexafelEngine 1.0 Type Library"
expect "TypeLib\\$LIBID\\1.0\\409\\win64" "" "$module"
exists "CLSID\\$CLSID\\Programmable" && ok "Programmable" || bad "Programmable missing"

if "$QLX_WINE_RUN" cscript //nologo "$(in_wine winepath.exe -w "$QLX_SOURCE_DIR/engine/tests/engine_check.vbs")" \
    </dev/null 2>/dev/null | tr -d '\r'; then
    ok "cscript client"
else
    bad "cscript client"
fi

"$QLX_WINE_RUN" regsvr32.exe /u /s QLXEng.dll </dev/null >/dev/null 2>&1 || bad "regsvr32 /u failed"
for key in "CLSID\\$CLSID" "WXEngine.WXEngine" "WXEngine.WXEngine.1" "AppID\\$APPID" \
           "AppID\\WexafelEngine.DLL" "TypeLib\\$LIBID"; do
    exists "$key" && bad "$key still there" || ok "$key removed"
done
for key in AppID CLSID; do
    exists "$key" && ok "$key kept" || bad "$key removed"
done

# Leave the engine registered for the other tests and for manual use.
"$QLX_WINE_RUN" regsvr32.exe /s QLXEng.dll </dev/null >/dev/null 2>&1
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
