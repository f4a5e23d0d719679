#!/usr/bin/env bash
# Every script of the project starts Windows programs through the 64-bit
# loader (/usr/lib/wine/wine64, or the build tree's wine-run around it).
# Debian's wrappers (wine, wine-stable, winepath, wineboot, regsvr32 ...)
# pick the 32-bit loader once wine32 is installed, and on a kernel without
# 32-bit emulation every one of them fails, even for 64-bit programs.
#   check-wine-launch.sh <source dir>
set -u
cd "${1:?usage: check-wine-launch.sh <source dir>}" || exit 2
wrappers='wine|wine-stable|wine64-stable|winepath|wineboot|winecfg|wineconsole|regsvr32|msiexec|notepad|regedit|winedbg|winefile|winemine|winemaker|wineserver'
# A wrapper named as a command: at the start of a line or after ; & | ( $(
# or `, or as an absolute path under /usr/bin, or a Wine tool handed to a
# runner without its ".exe" (which reads as the wrapper's name). Comments
# are left out.
found=$(git ls-files -- qlx '*.sh' '*.in' '*.py' '*.cmake' 'CMakeLists.txt' '.ci/*' |
    xargs grep -HnE "(^|[;&|(\`]|\\\$\\()[[:space:]]*(exec[[:space:]]+)?($wrappers)([[:space:]]|\$)|/usr/bin/($wrappers)\\b|(run|in_wine|QLX_WINE_RUN\"?)[[:space:]]+(winepath|wineboot|winecfg|regsvr32)[[:space:]]" 2>/dev/null |
    grep -vE '^[^:]+:[0-9]+:[[:space:]]*#')
if [ -n "$found" ]; then
    echo "these lines start a Wine wrapper instead of /usr/lib/wine/wine64:" >&2
    echo "$found" >&2
    exit 1
fi
echo "ok: every script starts Windows programs through the 64-bit loader"
