#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# How plainly three classic detectors of lowest-bit replacement, and two of
# changes of one, see data that Ostrel (and, as a peer, steghide) hid in
# natural photographs.
#
# Run by hand from the repository folder after a build:
#   bench/detectability.sh [PATH/TO/ostrel-cli] > table.md
# It installs what it needs (two Debian packages of photographs, steghide,
# imagemagick), scales every photograph to about 2 megapixels as a 24-bit BMP,
# and checks each one clean and after hiding 10 % of its capacity:
#   plain     ostrel-cli encode
#   stealth   ostrel-cli encode --stealth, 1 %, 10 % and 50 % (when the program has it)
#   steghide  steghide embed into the same BMP
# and prints a Markdown table of every figure and verdict (blue channel for
# Ostrel's encodes, the strongest channel for steghide, which writes into
# all three), then the raw JSON lines on stderr.
set -euo pipefail

CLI=${1:-build/dev/src/ostrel-cli}
CLI=$(readlink -f "$CLI")
[ -x "$CLI" ] || { echo "No ostrel-cli at $CLI; build it first." >&2; exit 2; }

PACKAGES=(lomiri-wallpapers-16.04 lomiri-wallpapers-20.04 steghide imagemagick python3)
. "$(dirname "$0")/evaluation-setup.sh"
install_missing "${PACKAGES[@]}"


WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
printf 'detectability\n' > "$WORK/password"
HAS_STEALTH=0
"$CLI" encode --help | grep -q -- '--stealth' && HAS_STEALTH=1

# Random bytes of 10 % (or $2 %) of the picture's capacity of W×H/8 bytes.
payload() { # picture percent out
  local size
  size=$(identify -format '%w %h' "$1" | awk -v p="$2" '{ printf "%d", $1 * $2 / 8 * p / 100 }')
  head -c "$size" /dev/urandom > "$3"
}

RESULTS="$WORK/results.jsonl"
: > "$RESULTS"
check() { # kind photo picture
  "$CLI" check --json "$3" | python3 -c '
import json, sys
row = json.loads(sys.stdin.read())
row["kind"], row["photo"] = sys.argv[1], sys.argv[2]
print(json.dumps(row))' "$1" "$2" >> "$RESULTS"
}

for name in "${PHOTOS[@]}"; do
  src="$SOURCE/$name.jpg"
  [ -f "$src" ] || { echo "Missing $src" >&2; continue; }
  clean="$WORK/$name.bmp"
  convert "$src" -resize 2000000@ -alpha off -type TrueColor "BMP3:$clean"
  check clean "$name" "$clean"

  payload "$clean" 10 "$WORK/p10"
  "$CLI" encode "$clean" "$WORK/p10" -o "$WORK/plain.bmp" --password-file "$WORK/password" > /dev/null
  check plain "$name" "$WORK/plain.bmp"

  if [ "$HAS_STEALTH" = 1 ]; then
    payload "$clean" 1 "$WORK/p1"
    "$CLI" encode --stealth "$clean" "$WORK/p1" -o "$WORK/stealth1.bmp" --password-file "$WORK/password" > /dev/null
    check stealth1 "$name" "$WORK/stealth1.bmp"
    "$CLI" encode --stealth "$clean" "$WORK/p10" -o "$WORK/stealth10.bmp" --password-file "$WORK/password" > /dev/null
    check stealth10 "$name" "$WORK/stealth10.bmp"
    payload "$clean" 50 "$WORK/p50"
    "$CLI" encode --stealth "$clean" "$WORK/p50" -o "$WORK/stealth50.bmp" --password-file "$WORK/password" > /dev/null
    check stealth50 "$name" "$WORK/stealth50.bmp"
  fi

  steghide embed -q -f -cf "$clean" -ef "$WORK/p10" -sf "$WORK/steghide.bmp" -p detectability
  check steghide "$name" "$WORK/steghide.bmp"
  echo "checked $name" >&2
done

cat "$RESULTS" >&2
python3 - "$RESULTS" <<'PY'
import json, sys

rows = [json.loads(line) for line in open(sys.argv[1])]
kinds = [k for k in ("clean", "plain", "stealth1", "stealth10", "stealth50", "steghide") if any(r["kind"] == k for r in rows)]
titles = {"clean": "clean", "plain": "encode 10 %", "stealth1": "--stealth 1 %", "stealth10": "--stealth 10 %",
          "stealth50": "--stealth 50 %", "steghide": "steghide 10 %"}
short = {"no sign of hidden data": "none", "hidden data possible": "possible", "hidden data likely": "likely"}

def blue(row):
    return next(c for c in row["channels"] if c["channel"] == "blue")

def cell(row):
    # Ostrel writes into blue; steghide into every channel, so its cell shows
    # the channel that gives most away.
    if row["kind"] == "steghide":
        c = next(c for c in row["channels"] if c["channel"] == row["verdict"]["channel"])
        verdict, where = row["verdict"]["verdict"], c["channel"][0].upper() + " "
    else:
        c = blue(row)
        verdict, where = c["verdict"], ""
    text = "%s%.2f / %.2f / %.2f %s" % (where, c["chiSquare"], c["samplePairs"], c["rs"], short[verdict])
    return text + " · " + changes(row)

def changes(row):
    # The detectors of changes of one: blue's calibrated HCF-COM, the
    # strongest step and the row above it, and their verdict.
    m = row.get("changesOfOne")
    if not m:
        return ""
    return "%.2f / %.0f @%d %s" % (m["hcfCom"]["blue"], m["stepStrength"], m["stepRows"], short[m["verdict"]])

photos = list(dict.fromkeys(r["photo"] for r in rows))
print("| photo | " + " | ".join(titles[k] for k in kinds) + " |")
print("|---|" + "---|" * len(kinds))
for photo in photos:
    cells = []
    for kind in kinds:
        row = next((r for r in rows if r["photo"] == photo and r["kind"] == kind), None)
        cells.append(cell(row) if row else "")
    first = next(r for r in rows if r["photo"] == photo)
    print("| %s (%d×%d) | %s |" % (photo.split("_by_")[0], first["width"], first["height"], " | ".join(cells)))
print()
print("Each cell: chi-square probability / sample pairs estimate / RS estimate, then the verdict; "
      "after the dot: blue's calibrated HCF-COM / the strongest step @ the rows above it, then the "
      "verdict for changes of one.")
for kind in kinds:
    subset = [r for r in rows if r["kind"] == kind]
    tally = {}
    for r in subset:
        v = short[r["verdict"]["verdict"] if kind == "steghide" else blue(r)["verdict"]]
        tally[v] = tally.get(v, 0) + 1
    est = [blue(r)["samplePairs"] for r in subset]
    rs = [blue(r)["rs"] for r in subset]
    ones = {}
    for r in subset:
        v = short[r["changesOfOne"]["verdict"]] if "changesOfOne" in r else "?"
        ones[v] = ones.get(v, 0) + 1
    steps = [r["changesOfOne"]["stepStrength"] for r in subset if "changesOfOne" in r]
    print("- %s: %s; blue sample pairs %.3f to %.3f, RS %.3f to %.3f; changes of one: %s, steps %.0f to %.0f" % (
        titles[kind], ", ".join("%d %s" % (n, v) for v, n in sorted(tally.items())),
        min(est), max(est), min(rs), max(rs), ", ".join("%d %s" % (n, v) for v, n in sorted(ones.items())),
        min(steps, default=0), max(steps, default=0)))
if "stealth10" in kinds:
    worst = 0.0
    for r in rows:
        if r["kind"] != "stealth10":
            continue
        c = next(x for x in rows if x["photo"] == r["photo"] and x["kind"] == "clean")
        for key in ("samplePairs", "rs"):
            worst = max(worst, abs(blue(r)[key] - blue(c)[key]))
    print("- --stealth 10 %%: largest change of a blue estimate from the clean photo: %.3f" % worst)
PY
