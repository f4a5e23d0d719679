#!/usr/bin/env bash
# The whole update chain in the test prefix: a program folder of its own
# with QLX.exe and the real update.exe at version 1.0.0.1, the reference
# update server on 127.0.0.1 offering 1.0.0.2, the Update command, and the
# installed file, the written-back version and the report checked by
# update-demo.sh. A second run in the same folder, as a second demo makes it,
# updates 1.0.0.2 to 1.0.0.3 and must pass as well.
set -u
run() { "$QLX_WINE_RUN" "$@" </dev/null; }
dir="$QLX_BIN_DIR/update_chain"
rm -rf "$dir"
mkdir -p "$dir"
cp "$QLX_BIN_DIR/QLX.exe" "$QLX_BIN_DIR/update.exe" "$QLX_BIN_DIR/update.key" "$dir/"
printf '1.0.0.1' >"$dir/version.dat"
run reg delete 'HKCU\Software\Quellix' /f >/dev/null 2>&1
seeded=0
run reg query 'HKLM\Software\Quellix' /v AppName >/dev/null 2>&1 || seeded=1

status=0
for round in 1 2; do
    echo "round $round"
    bash "$QLX_SOURCE_DIR/tools/update-demo/update-demo.sh" "$dir" --exit || status=1
done
[ "$(cat "$dir/version.dat")" = 1.0.0.3 ] || { echo "FAIL: two rounds did not end at 1.0.0.3" >&2; status=1; }
if [ $seeded -eq 1 ]; then
    run reg delete 'HKLM\Software\Quellix' /f >/dev/null 2>&1
fi
exit $status
