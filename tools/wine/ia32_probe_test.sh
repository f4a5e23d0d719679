#!/usr/bin/env bash
# The 32-bit probe's outcomes, each with a stand-in for the 32-bit loader:
# one that runs, one the kernel refuses as a foreign binary (as on a kernel
# with ia32 emulation off), none at all, the tests' forcing switch, and an
# answer already given by the command that started us.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#!/bin/sh\necho called >>"%s/calls"\nexit 0\n' "$work" >"$work/runs"
printf '\177ELF\001\001\001\000not a program' >"$work/refused"
chmod +x "$work/runs" "$work/refused"
status=0

# case: loader, QLX_TEST_NO_32BIT, QLX_RUNS_32BIT given, expected answer
while read -r name loader forced given expected; do
    [ "$given" = - ] && given=
    [ "$forced" = - ] && forced=
    answer=$(env -u QLX_RUNS_32BIT -u QLX_TEST_NO_32BIT QLX_WINE32="$loader" \
        ${forced:+QLX_TEST_NO_32BIT=$forced} ${given:+QLX_RUNS_32BIT=$given} bash -c '
        . "$1/ia32-probe.sh"
        qlx_probe_32bit
        qlx_runs_32bit && echo yes || qlx_32bit_not_run' _ "$here")
    [ "$expected" = no ] && expected="32-bit checks not run: this kernel runs no 32-bit programs (ia32 emulation is off)"
    if [ "$answer" = "$expected" ]; then
        echo "ok: $name"
    else
        echo "FAIL: $name: got '$answer'" >&2
        status=1
    fi
done <<CASES
loader-runs                 $work/runs     -  -   yes
loader-refused-by-kernel    $work/refused  -  -   no
no-32-bit-loader            $work/missing  -  -   no
forced-off-by-the-tests     $work/runs     1  yes no
answer-given-by-qlx-yes     $work/refused  -  yes yes
answer-given-by-qlx-no      $work/runs     -  no  no
CASES

# The probe runs once: asking again does not start the loader again.
rm -f "$work/calls"
QLX_WINE32="$work/runs" env -u QLX_RUNS_32BIT -u QLX_TEST_NO_32BIT bash -c '
    . "$1/ia32-probe.sh"; qlx_runs_32bit; qlx_runs_32bit; bash -c "
    . \"$1/ia32-probe.sh\"; qlx_runs_32bit"' _ "$here"
calls=$(wc -l <"$work/calls" 2>/dev/null || echo 0)
if [ "$calls" -eq 1 ]; then echo "ok: probed once"; else echo "FAIL: probed $calls times" >&2; status=1; fi
exit $status
