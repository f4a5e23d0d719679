#!/usr/bin/env bash
# The compiled manual holds every file its project lists, with its table of
# contents and index, and opens at a page it holds.
#   check-manual.sh manual.hhp manual.chm
set -uo pipefail
hhp=$1 chm=$2
[ -s "$chm" ] || { echo "no manual at $chm"; exit 1; }
listing=$(chmls list "$chm" 2>/dev/null) || { echo "chmls cannot read $chm"; exit 1; }
status=0
files=$(sed -n '/^\[FILES\]/,/^\[/p' "$hhp" | grep -v '^\[' | tr -d '\r' | grep .)
for f in $files toc.hhc index.hhk; do
    grep -q " /$f\$" <<<"$listing" || { echo "missing from the manual: $f"; status=1; }
done
start=$(sed -n 's/^Default topic=//p' "$hhp" | tr -d '\r')
grep -q " /$start\$" <<<"$listing" || { echo "the start page $start is not in the manual"; status=1; }
# Every page links only to pages the manual holds.
for page in $(grep '\.html$' <<<"$files"); do
    for target in $(grep -o 'href="[^"#]*' "$(dirname "$hhp")/$page" | sed 's/href="//' | grep '\.html$'); do
        grep -q " /$target\$" <<<"$listing" || { echo "$page links to $target, which is missing"; status=1; }
    done
done
[ $status -eq 0 ] && echo "manual: $(grep -c '\.html$' <<<"$listing") pages"
exit $status
