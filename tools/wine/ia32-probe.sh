# Sourced by the scripts that start 32-bit Windows programs (the 32-bit
# browser side, the 32-bit script host). Some kernels boot with 32-bit
# emulation off: there the 32-bit Wine loader fails with "Exec format error"
# although wine32 is installed, and every 32-bit program fails with it.
#
# Provides:  qlx_probe_32bit     sets and exports QLX_RUNS_32BIT (yes or no)
#            qlx_runs_32bit      true when 32-bit programs run here
#            qlx_32bit_not_run   prints the one line that says why they do not
#
# The probe runs once per command: `qlx` runs it first and exports the answer,
# and every script and test it starts reads QLX_RUNS_32BIT instead of asking
# again. QLX_TEST_NO_32BIT=1 (tests only) plays a kernel without 32-bit
# emulation on a machine that has it, so both paths are exercised everywhere.
# QLX_WINE32 names the 32-bit loader (default /usr/lib/wine/wine).

QLX_32BIT_NOT_RUN="32-bit checks not run: this kernel runs no 32-bit programs (ia32 emulation is off)"

qlx_probe_32bit() {
    if [ "${QLX_TEST_NO_32BIT:-}" = 1 ]; then
        QLX_RUNS_32BIT=no
    elif [ "${QLX_RUNS_32BIT:-}" != yes ] && [ "${QLX_RUNS_32BIT:-}" != no ]; then
        # The loader's --version starts no program; it exits 0 only where the
        # kernel runs 32-bit code at all.
        QLX_RUNS_32BIT=no
        "${QLX_WINE32:-/usr/lib/wine/wine}" --version </dev/null >/dev/null 2>&1 && QLX_RUNS_32BIT=yes
    fi
    export QLX_RUNS_32BIT
}

qlx_runs_32bit() {
    qlx_probe_32bit
    [ "$QLX_RUNS_32BIT" = yes ]
}

qlx_32bit_not_run() { echo "$QLX_32BIT_NOT_RUN"; }
