#!/usr/bin/env bash
# The sources follow .clang-format; generated stubs say "clang-format off".
set -u
cd "${1:?source folder}" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 2; }
files=$(git ls-files '*.cpp' '*.h' '*.c' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' -o -name '*.c')
out=$(echo "$files" | xargs clang-format --dry-run 2>&1 | grep -E 'warning|error')
if [ -n "$out" ]; then
    echo "$out" | cut -d: -f1 | sort | uniq -c
    echo "run: clang-format -i on the files above"
    exit 1
fi
echo "$(echo "$files" | wc -l) files formatted"
