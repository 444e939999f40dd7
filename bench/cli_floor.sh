#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# ostrel-cli encode, decode and info on 24-bit BMPs of 1 kilopixel to 48
# megapixels, timed against the floor program (bench/floor/floor.cpp: read
# once, flip the bits, write once) and an ImageMagick plain copy, in paired
# rounds: every round runs each command once on the same picture, so load on
# the machine falls on all of them alike. Prints the median wall time of each
# and its peak memory (maximum resident set size).
#
#   bench/cli_floor.sh [--quick] [--sizes "WxH ..."] [--rounds N] PATH/TO/ostrel-cli [PATH/TO/other-ostrel-cli]
#
# A second ostrel-cli (an older build, say) is timed beside the first.
# The floor program is built here with the system's compiler.
set -eu

sizes="32x32 1000x1000 4000x3000 8000x6000"
rounds=5
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) sizes="32x32 1000x1000 4000x3000"; rounds=3; shift ;;
        --sizes) sizes="$2"; shift 2 ;;
        --rounds) rounds="$2"; shift 2 ;;
        *) break ;;
    esac
done
[ $# -ge 1 ] || { echo "usage: $0 [--quick] [--sizes \"WxH ...\"] [--rounds N] ostrel-cli [other-ostrel-cli]" >&2; exit 2; }
cli=$(realpath "$1")
other=${2:+$(realpath "$2")}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

c++ -O2 -std=c++20 "$here/floor/floor.cpp" -o "$work/floor"
# Small enough for the 1-kilopixel picture: the pictures, not the payload, are timed.
head -c 16 /dev/urandom >"$work/payload.bin"
echo "floor benchmark" >"$work/password"
mkdir "$work/out"

# run NAME COMMAND...: appends "seconds kilobytes" to $work/NAME.times.
run() {
    name=$1
    shift
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(cat "$work/rss")" >>"$work/$name.times"
}

# median FILE: the median time in seconds and the largest peak memory in MiB.
median() {
    sort -n "$1" | awk '{ t[NR] = $1; if ($2 > m) m = $2 } END { printf "%.3f s %6.1f MiB", t[int((NR + 1) / 2)] / 1e6, m / 1024 }'
}

printf '%-10s %-14s %-26s\n' size command "median, peak memory"
for size in $sizes; do
    w=${size%x*}
    h=${size#*x}
    picture="$work/p.bmp"
    "$work/floor" make "$w" "$h" "$picture"
    "$cli" encode "$picture" "$work/payload.bin" -o "$work/hidden.bmp" --password-file "$work/password" >/dev/null
    rm -f "$work"/*.times
    commands="floor convert encode decode info"
    [ -n "$other" ] && commands="$commands other-encode other-decode other-info"
    i=0
    while [ "$i" -lt "$rounds" ]; do
        run floor "$work/floor" encode "$picture" "$work/floor.bmp"
        run convert convert "$picture" "BMP3:$work/copy.bmp"
        run encode "$cli" encode "$picture" "$work/payload.bin" -o "$work/e.bmp" --password-file "$work/password"
        run decode "$cli" decode "$work/hidden.bmp" -o "$work/out" --force --password-file "$work/password"
        run info "$cli" info "$picture"
        if [ -n "$other" ]; then
            run other-encode "$other" encode "$picture" "$work/payload.bin" -o "$work/o.bmp" --password-file "$work/password"
            run other-decode "$other" decode "$work/hidden.bmp" -o "$work/out" --force --password-file "$work/password"
            run other-info "$other" info "$picture"
        fi
        i=$((i + 1))
    done
    for c in $commands; do
        printf '%-10s %-14s %s\n' "$size" "$c" "$(median "$work/$c.times")"
    done
    rm -f "$picture" "$work"/*.bmp
done
