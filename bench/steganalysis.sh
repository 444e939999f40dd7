#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# How well a simple trained steganalyser, and check's detectors of changes of
# one, tell clean patches of natural photographs from the same patches after
# Ostrel's --adaptive and --stealth, and steghide as a peer, hid 0.05, 0.1 and
# 0.2 bits per pixel in them.
#
# Run by hand from the repository folder after a build:
#   bench/steganalysis.sh [--quick] [PATH/TO/ostrel-cli] > table.md
# It installs what it needs (the photographs of lomiri-wallpapers, steghide,
# imagemagick, python3-numpy), scales each photograph to at most 2 megapixels
# (1 with --quick), cuts it into 256×256 patches saved as 24-bit BMP, hides a
# file of random bytes of bpp × 256 × 256 / 8 bytes in every patch at each
# payload with each tool (a tool's refusal is counted, not retried), runs
# `ostrel-cli check --json` on every picture, and hands the lot to
# bench/steganalysis.py, which extracts SPAM features, trains and tests its
# ensemble classifier on 5 random splits by photograph (3 with --quick) and
# prints the Markdown table. About 10 minutes on two idle cores, 25 on a
# machine whose load is near 5; --quick about a quarter of that.
set -euo pipefail

QUICK=0
if [ "${1:-}" = "--quick" ]; then QUICK=1; shift; fi
CLI=${1:-build/dev/src/ostrel-cli}
CLI=$(readlink -f "$CLI")
[ -x "$CLI" ] || { echo "No ostrel-cli at $CLI; build it first." >&2; exit 2; }
HERE=$(cd "$(dirname "$0")" && pwd)
# Debian's own interpreter, which python3-numpy serves (not one a version
# manager may put first on the PATH).
PYTHON=/usr/bin/python3

# gnome-backgrounds (43) holds only drawn and rendered pictures, so it gives
# no photographs here.
PACKAGES=(lomiri-wallpapers-16.04 lomiri-wallpapers-20.04 steghide imagemagick python3 python3-numpy)
. "$(dirname "$0")/evaluation-setup.sh"
install_missing "${PACKAGES[@]}"

"$PYTHON" "$HERE/steganalysis.py" selfcheck

PATCH=256
AREA=2000000
SPLITS=5
if [ "$QUICK" = 1 ]; then AREA=1000000; SPLITS=3; fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/patches" "$WORK/rows"
head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n' > "$WORK/password"
echo >> "$WORK/password"

for name in "${PHOTOS[@]}"; do
  src="$SOURCE/$name.jpg"
  [ -f "$src" ] || { echo "Missing $src" >&2; continue; }
  convert "$src" -resize "$AREA@>" -alpha off -crop "${PATCH}x${PATCH}" +repage \
    -type TrueColor "BMP3:$WORK/patches/${name}_%03d.bmp"
done
# The right and bottom edges leave narrower patches; they go.
for f in "$WORK"/patches/*.bmp; do
  [ "$(identify -format '%wx%h' "$f")" = "${PATCH}x${PATCH}" ] || rm -f "$f"
done
echo "$(ls "$WORK/patches" | wc -l) patches" >&2

# One patch: clean, then each tool at each payload; one JSON line per picture
# with check's figures.
one_patch() {
  local clean=$1 base stem photo rate bytes out kind
  base=$(basename "$clean" .bmp)
  photo=${base%_*}
  stem="$WORK/patches/$base"
  record() { # kind rate picture
    "$CLI" check --json "$3" | "$PYTHON" -c '
import json, sys
row = {"kind": sys.argv[1], "rate": sys.argv[2], "photo": sys.argv[3], "patch": sys.argv[4], "path": sys.argv[5]}
check = json.loads(sys.stdin.read())
row["width"], row["height"] = check["width"], check["height"]
row["check"] = {"changesOfOne": check["changesOfOne"]}
print(json.dumps(row))' "$1" "$2" "$photo" "$base" "$3"
  }
  {
    record clean 0 "$clean"
    for rate in 0.05 0.1 0.2; do
      bytes=$(awk -v r="$rate" -v p="$PATCH" 'BEGIN { printf "%d", r * p * p / 8 }')
      head -c "$bytes" /dev/urandom > "$stem.payload"
      for kind in adaptive stealth steghide; do
        out="$stem.$kind.$rate.bmp"
        case $kind in
          adaptive) "$CLI" encode "$clean" "$stem.payload" -o "$out" --adaptive --password-file "$WORK/password" ;;
          stealth) "$CLI" encode "$clean" "$stem.payload" -o "$out" --stealth --password-file "$WORK/password" ;;
          steghide) steghide embed -cf "$clean" -ef "$stem.payload" -sf "$out" -p "$(cat "$WORK/password")" -f -q -Z -N ;;
        esac > /dev/null 2>&1 || rm -f "$out"
        [ -f "$out" ] && record "$kind" "$rate" "$out"
      done
    done
    rm -f "$stem.payload"
  } > "$WORK/rows/$base.jsonl"
}
export -f one_patch
export WORK CLI PYTHON PATCH
ls "$WORK"/patches/*.bmp | xargs -P "$(nproc)" -n 1 bash -c 'one_patch "$0"'
cat "$WORK"/rows/*.jsonl > "$WORK/results.jsonl"

"$PYTHON" "$HERE/steganalysis.py" evaluate "$WORK" --splits "$SPLITS"
