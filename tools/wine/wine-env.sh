# Sourced by every script that runs Wine for this project. Needs WINEPREFIX set
# to a prefix inside a build tree; refuses to go on without it, because Wine
# silently creates ~/.wine when it is missing.
#
# Provides:  qlx_wine_prepare   create the prefix once and keep a wineserver alive
#            qlx_wine ARGS...   run a Windows program in the prefix
#            qlx_wine_stop      stop the prefix's wineserver and its processes
if [ -z "${WINEPREFIX:-}" ]; then
    echo "wine-env: WINEPREFIX is not set; refusing to run Wine" >&2
    return 2 2>/dev/null || exit 2
fi
case "$WINEPREFIX" in
    "$HOME/.wine" | "$HOME/.wine/") echo "wine-env: refusing to use ~/.wine" >&2; return 2 2>/dev/null || exit 2 ;;
esac

QLX_WINE64=${QLX_WINE64:-/usr/lib/wine/wine64}
QLX_WINESERVER=${QLX_WINESERVER:-/usr/lib/wine/wineserver}
export WINEARCH=win64
export WINEDEBUG=${QLX_WINEDEBUG:--all}
# No Mono/Gecko installer prompts; winedbg disabled so that a crash ends the
# process with a non-zero exit code instead of opening a dialog and hanging.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# The null display driver is set in the prefix; keep X out of it unless a test
# asks for a display on purpose.
[ -n "${QLX_WINE_DISPLAY:-}" ] && export DISPLAY="$QLX_WINE_DISPLAY" || unset DISPLAY

qlx_wine() { "$QLX_WINE64" "$@"; }

qlx_wine_prepare() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Every Wine process started under the lock must not inherit the lock's
    # descriptor (9>&-): wineserver and Wine's services outlive this script
    # and would hold the lock for ever.
    (
        flock 9
        # (".qlx-ready-2": prefixes made before Managed=N are made again.)
        if [ ! -f "$WINEPREFIX/.qlx-ready-2" ]; then
            echo "wine-env: creating prefix $WINEPREFIX" >&2
            rm -rf "$WINEPREFIX"
            "$QLX_WINE64" wineboot.exe -i </dev/null >/dev/null 2>&1 9>&-
            if [ -z "${QLX_WINE_DISPLAY:-}" ]; then
                "$QLX_WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
                    </dev/null >/dev/null 2>&1 9>&-
            fi
            "$QLX_WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f \
                </dev/null >/dev/null 2>&1 9>&-
            # No window manager runs on the X server: without Managed=N every
            # hide stalls and a system move (dragging) can hang.
            for v in Decorated Managed; do
                "$QLX_WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v $v /d N /f \
                    </dev/null >/dev/null 2>&1 9>&-
            done
            "$QLX_WINESERVER" -w 9>&-
            touch "$WINEPREFIX/.qlx-ready-2"
        fi
        # A persistent wineserver, started with its output discarded: Wine's
        # background services inherit the first process's stdout/stderr, and a
        # test runner waiting for a test's output would wait for them too.
        # "wineserver -p" exits with 0 when it started a server and with 2
        # when one already serves this prefix.
        if "$QLX_WINESERVER" -p900 </dev/null >/dev/null 2>&1 9>&-; then
            "$QLX_WINE64" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
        fi
    ) 9>"$WINEPREFIX.lock"
}

qlx_wine_stop() {
    local p
    for p in "$WINEPREFIX" "$WINEPREFIX-x11"; do
        [ -d "$p" ] || continue
        WINEPREFIX="$p" "$QLX_WINESERVER" -k >/dev/null 2>&1
        WINEPREFIX="$p" "$QLX_WINESERVER" -w >/dev/null 2>&1
    done
    qlx_xvfb_stop
}

# An X server for the tests that need a notification area: one per build
# tree, started on first use, remembered in "$WINEPREFIX.xvfb" (display, pid).
qlx_xvfb_state() { echo "${WINEPREFIX%-x11}.xvfb"; }

qlx_xvfb_start() {
    local state n pid
    state=$(qlx_xvfb_state)
    (
        flock 8
        if [ -f "$state" ]; then
            read -r n pid _ <"$state"
            kill -0 "$pid" 2>/dev/null && exit 0
        fi
        for n in $(seq 90 130); do
            qlx_display_taken "$n" && continue
            Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 8>&- &
            pid=$!
            qlx_wait_display "$n"
            if kill -0 "$pid" 2>/dev/null; then
                echo "$n $pid" >"$state"
                exit 0
            fi
        done
        echo "wine-env: could not start Xvfb" >&2
        exit 1
    ) 8>"$(qlx_xvfb_state).lock" || return 1
    read -r n pid _ <"$state"
    export QLX_WINE_DISPLAY=":$n" DISPLAY=":$n"
}

qlx_xvfb_stop() {
    local state n pid host
    state=$(qlx_xvfb_state)
    [ -f "$state" ] || return 0
    read -r n pid host <"$state"
    kill "$pid" $host 2>/dev/null
    rm -f "$state"
}

qlx_display_taken() { [ -e "/tmp/.X11-unix/X$1" ] || [ -e "/tmp/.X$1-lock" ]; }

# A free display number, from $1 (90 unless given) on.
qlx_free_display() {
    local n
    for n in $(seq "${1:-90}" 160); do
        qlx_display_taken "$n" || { echo "$n"; return 0; }
    done
    return 1
}

qlx_wait_display() {
    local _
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Two monitors side by side for this prefix instead of the one Xvfb screen:
# the primary (1280x1024) and a smaller one to its right (1024x768 at 1280,0).
# Xephyr, drawn into an Xvfb of its own, lays the two screens out with
# Xinerama; with RandR switched off Wine takes its monitors from Xinerama's
# heads. Recorded in the prefix's state file as qlx_xvfb_start records its
# server, so that wine-run and qlx_xvfb_stop use and end it the same way.
qlx_two_monitors_start() {
    local state host hostpid n pid
    state=$(qlx_xvfb_state)
    qlx_xvfb_stop
    host=$(qlx_free_display) || return 1
    Xvfb ":$host" -screen 0 2304x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    hostpid=$!
    qlx_wait_display "$host" || { kill "$hostpid"; return 1; }
    n=$(qlx_free_display $((host + 1))) || { kill "$hostpid"; return 1; }
    DISPLAY=":$host" Xephyr ":$n" -origin 0,0 -screen 1280x1024 -origin 1280,0 \
        -screen 1024x768 +xinerama -extension RANDR -nolisten tcp </dev/null >/dev/null 2>&1 &
    pid=$!
    if ! qlx_wait_display "$n"; then
        kill "$pid" "$hostpid" 2>/dev/null
        echo "wine-env: could not start Xephyr" >&2
        return 1
    fi
    echo "$n $pid $hostpid" >"$state"
}
