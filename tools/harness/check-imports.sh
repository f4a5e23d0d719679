#!/usr/bin/env bash
# Every product binary must import system DLLs only: the runtime is linked
# statically, so a user needs nothing but Windows itself.
#   check-imports.sh BIN_DIR [COUNT]     (COUNT: how many must be there)
#   OBJDUMP=i686-w64-mingw32-objdump for the 32-bit libraries.
set -u
bin=${1:?bin folder}
expected=${2:-}
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|uuid|version|winmm|wininet|ws2_32|iphlpapi|setupapi|msvcrt|ntdll|msimg32|oleacc|uxtheme|rpcrt4|crypt32|secur32|bcrypt|imm32|psapi|userenv|urlmon|winspool\.drv|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
checked=0
for f in "$bin"/QLX.exe "$bin"/qlxi.dll "$bin"/QLXEng.dll "$bin"/update.exe; do
    [ -f "$f" ] || continue
    checked=$((checked + 1))
    while read -r dll; do
        if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -qE "$system_dlls"; then
            echo "$(basename "$f") imports $dll, which is not a system DLL"
            status=1
        fi
    done < <("$objdump" -p "$f" | sed -n 's/^\tDLL Name: //p')
    echo "$(basename "$f"): $("$objdump" -p "$f" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')"
done
echo "checked $checked binaries"
if [ -n "$expected" ] && [ "$checked" -ne "$expected" ]; then
    echo "expected $expected binaries in $bin"
    status=1
fi
exit $status
