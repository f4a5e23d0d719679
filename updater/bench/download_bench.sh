#!/usr/bin/env bash
# update.exe against curl: a 50 MB file over loopback HTTP from the reference
# update server, side by side. update.exe downloads it as part of a whole
# signed update (2048-byte blocks, CRC-32 and SHA-256 on the way), and tells
# the debugger how long it took from the request to the verified file; the
# whole session, and one without the big file, are timed too. Each
# figure is the best of QLX_BENCH_REPEAT runs (3 unless set): the machine is
# shared, and a build beside the bench slows any single run.
#   download_bench.sh BUILD_DIR     (BUILD_DIR: build/windows)
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:?usage: download_bench.sh BUILD_DIR}" && pwd)
BIN=$BUILD/bin
MB=${QLX_BENCH_MB:-50}
REPEAT=${QLX_BENCH_REPEAT:-3}
work=$(mktemp -d "$BUILD/download-bench.XXXXXX")
server=
trap '[ -n "$server" ] && kill $server 2>/dev/null; rm -rf "$work"' EXIT
key=$BUILD/keys/throwaway-update-key.pem
mkdir -p "$work/big" "$work/small" "$work/sets" "$work/app"
head -c $((MB * 1024 * 1024)) /dev/urandom >"$work/big/big.dat"
printf 'x' >"$work/small/big.dat"
make_set() { # folder: the server offers it as 1.0.0.1
    rm -rf "$work/sets/1.0.0.1"
    python3 "$ROOT/tools/update-server/make_update_set.py" --version 1.0.0.1 --out "$work/sets" \
        --from "$work/$1" --key "$key" >/dev/null || exit 1
}
make_set small
python3 "$ROOT/tools/update-server/update_server.py" "$work/sets" --port-file "$work/port" \
    >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cut -d' ' -f1 "$work/port")
cp "$BIN/update.exe" "$BIN/update.key" "$work/app/"
session() { # milliseconds of one whole update session
    printf '1.0.0.0' >"$work/app/version.dat"
    local start end
    start=$(date +%s%N)
    (cd "$work/app" && QLX_WINEDEBUG=-all,+debugstr "$BUILD/wine-run" "$work/app/update.exe" \
        update -ProductAbbreviation=QLX -ProductVersion=@version.dat \
        -AppDir="$(echo "Z:$work/app" | tr / '\\')" -Server="http://127.0.0.1:$port/q/update" \
        -Appearance=Stealth </dev/null >/dev/null 2>"$work/debug.txt")
    end=$(date +%s%N)
    grep -q 'return code of 21' "$work/app/update.log" ||
        { echo "bench: the update failed" >&2; tail "$work/app/update.log" >&2; exit 1; }
    rm -f "$work/app/update.log"
    echo $(((end - start) / 1000000))
}
best() { # the least milliseconds of REPEAT runs of a command
    local least= ms
    for _ in $(seq "$REPEAT"); do
        ms=$("$@") || return 1
        [ -z "$least" ] || [ "$ms" -lt "$least" ] && least=$ms
    done
    echo "$least"
}
big_sessions() { # "session download" milliseconds, the least of each over REPEAT runs; the
    # download from the request to the verified file, as update.exe tells the debugger
    local least= fastest= ms took
    for _ in $(seq "$REPEAT"); do
        ms=$(session) || return 1
        took=$(sed -n 's/.*Download time of big\.dat: \([0-9]*\) ms.*/\1/p' "$work/debug.txt")
        [ -n "$took" ] || { echo "bench: update.exe told no download time" >&2; return 1; }
        [ -z "$least" ] || [ "$ms" -lt "$least" ] && least=$ms
        [ -z "$fastest" ] || [ "$took" -lt "$fastest" ] && fastest=$took
    done
    echo "$least $fastest"
}
fetch() { # milliseconds of one curl download of the big file
    local start
    start=$(date +%s%N)
    curl -s -o "$work/curl.dat" "http://127.0.0.1:$port/sets/1.0.0.1/big.dat" || return 1
    echo $((($(date +%s%N) - start) / 1000000))
}
"$BUILD/wine-run" cmd /c exit 0 >/dev/null 2>&1 # a wineserver that stays for both runs
small_ms=$(best session) || exit 1
make_set big
read -r big_ms download_ms < <(big_sessions) && [ -n "$download_ms" ] || exit 1
cmp -s "$work/big/big.dat" "$work/app/big.dat" || { echo "bench: big.dat not installed" >&2; exit 1; }
curl_ms=$(best fetch) || exit 1
# What the platform alone takes for the same bytes, with none of the
# updater's code: WinINet's 2048-byte reads (and 64 KB ones), and CNG's SHA-256.
floor() { # "reads2048 reads65536 sha256" milliseconds, the least of each over REPEAT runs
    local r2=  r64= sha= a b c
    for _ in $(seq "$REPEAT"); do
        read -r a b c < <("$BUILD/wine-run" "$BIN/download_floor.exe" "$port" \
            /sets/1.0.0.1/big.dat $((MB * 1024 * 1024)) 2>/dev/null | tr -d '\r' | awk '{ print $2 }' | paste -sd' ')
        [ -n "$c" ] || return 1
        [ -z "$r2" ] || [ "$a" -lt "$r2" ] && r2=$a
        [ -z "$r64" ] || [ "$b" -lt "$r64" ] && r64=$b
        [ -z "$sha" ] || [ "$c" -lt "$sha" ] && sha=$c
    done
    echo "$r2 $r64 $sha"
}
read -r floor_2k floor_64k floor_sha < <(floor) ||
    { echo "bench: the platform's figures could not be taken" >&2; exit 1; }
[ $download_ms -gt 0 ] || download_ms=1
[ $curl_ms -gt 0 ] || curl_ms=1
awk -v mb="$MB" -v n="$REPEAT" -v u="$download_ms" -v c="$curl_ms" -v s="$small_ms" -v b="$big_ms" \
    -v r2="$floor_2k" -v r64="$floor_64k" -v sha="$floor_sha" 'BEGIN {
    printf "  %d MB over loopback HTTP (reference server), best of %d runs:\n", mb, n
    printf "  update.exe: %.1f MB/s (%d ms from the request to the verified file; the whole\n", mb * 1000 / u, u
    printf "              session %d ms, %d ms of it without the file)\n", b, s
    printf "  curl:       %.1f MB/s (%d ms)\n", mb * 1000 / c, c
    printf "  update.exe takes %.1fx the time of curl (goal: 50 MB/s and at most 2x)\n", u / c
    printf "  the platform alone, under this Wine, for the same %d MB:\n", mb
    printf "    WinINet, 2048-byte reads: %d ms (%.1fx curl)\n", r2, r2 / c
    printf "    WinINet, 64 KB reads:     %d ms (%.1fx curl)\n", r64, r64 / c
    printf "    CNG SHA-256:              %d ms (%.1fx curl)\n", sha, sha / c
}'
