#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The desktop entry, icon and software-catalogue entry of the desktop program:
#   desktop_files_test.sh PACKAGING_DIR
# desktop-file-validate says nothing at all (no error, warning or hint),
# appstreamcli finds no error, warning or note outside its pedantic level,
# and the three name one another by the same id.
set -euo pipefail
dir=$1
id=io.github.ostrel.Ostrel

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

desktop=$dir/$id.desktop
metainfo=$dir/$id.metainfo.xml
icon=$dir/$id.svg
for file in "$desktop" "$metainfo" "$icon"; do
    [ -s "$file" ] || fail "missing $(basename "$file")"
done

if [ -s "$desktop" ]; then
    said=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate failed"
    [ -z "$said" ] || fail "desktop-file-validate: $said"
    grep -qx "Icon=$id" "$desktop" || fail "the desktop entry's Icon is not $id"
fi

if [ -s "$metainfo" ]; then
    said=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) || fail "appstreamcli validate failed: $said"
    issues=$(grep -E '^[EWI]: ' <<< "$said" || true)
    [ -z "$issues" ] || fail "appstreamcli: $issues"
    grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo id is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $id.desktop"
fi

if [ -s "$icon" ]; then
    python3 -c 'import sys, xml.etree.ElementTree as t; r = t.parse(sys.argv[1]).getroot(); sys.exit(not r.tag.endswith("svg"))' "$icon" ||
        fail "the icon is not an SVG document"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "The desktop entry, icon and metainfo validate and agree."
