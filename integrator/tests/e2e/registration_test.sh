#!/usr/bin/env bash
# qlxi.dll registers itself with regsvr32: the browser-helper key under the
# local machine, the class with both ProgIDs and the type library; and
# unregisters everything but the shared CLSID key.
set -uo pipefail
cd "$QLX_BIN_DIR" || exit 2
. "$QLX_SOURCE_DIR/integrator/tests/e2e/e2e_lib.sh"

clsid='{BAA96B4B-D840-412F-B500-25C63B32FCBA}'
bho="HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\$clsid"
q() { run reg query "$@" 2>/dev/null | tr -d '\r'; }

run regsvr32.exe /s qlxi.dll || fail "regsvr32"
q "$bho" >/dev/null || fail "no browser-helper key"
q "HKCR\\CLSID\\$clsid\\InprocServer32" | grep -q 'ThreadingModel *REG_SZ *apartment' || fail "threading model"
q "HKCR\\CLSID\\$clsid\\InprocServer32" | grep -qi 'qlxi.dll' || fail "module path"
q "HKCR\\QLXIntegrator.IEIntegrator\\CurVer" | grep -q 'QLXIntegrator.IEIntegrator.1' || fail "CurVer"
q "HKCR\\QLXIntegrator.IEIntegrator.1\\CLSID" | grep -qi "$clsid" || fail "versioned ProgID"
q 'HKCR\TypeLib\{367A86A5-D048-4785-86BE-4E2706AAFDD9}\1.0' | grep -q 'WXIntegrator 1.0 Type Library' || fail "type library"

run regsvr32.exe /s /u qlxi.dll || fail "regsvr32 /u"
q "$bho" >/dev/null && fail "browser-helper key left behind"
q "HKCR\\CLSID\\$clsid" >/dev/null && fail "class key left behind"
q "HKCR\\QLXIntegrator.IEIntegrator" >/dev/null && fail "ProgID left behind"
q 'HKCR\CLSID' >/dev/null || fail "the CLSID key itself was removed"
# A second unregistration finds no browser-helper key: E_FAIL.
run regsvr32.exe /s /u qlxi.dll && fail "unregistering twice succeeded"

run regsvr32.exe /s qlxi.dll || fail "registering again"
exit $status
