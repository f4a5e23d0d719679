#!/usr/bin/env bash
# The extension's ID follows from the public key in its manifest (the first
# 32 hex digits of its SHA-256, written a-p); the bridge, its host manifest
# and the setup program must all name that ID.
#   extension_id_test.sh <source dir>
set -u
cd "${1:?usage: extension_id_test.sh <source dir>}" || exit 2
key=$(sed -n 's/^ *"key": *"\([^"]*\)".*/\1/p' browser-extension/manifest.json)
[ -n "$key" ] || { echo "no key in browser-extension/manifest.json" >&2; exit 1; }
id=$(echo "$key" | base64 -d | sha256sum | cut -c1-32 | tr '0-9a-f' 'a-p')
status=0
for f in bridge/core/identity.h bridge/win32/com.quellix.bridge.json installer/quellix.nsi; do
    others=$(grep -o '[a-p]\{32\}' "$f" | grep -vx "$id" | sort -u)
    if ! grep -q "$id" "$f" || [ -n "$others" ]; then
        echo "$f does not name the extension's ID $id only (${others:-missing})" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "every file names $id"
exit $status
