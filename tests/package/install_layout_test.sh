#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# "cmake --install BUILD --prefix DIR" gives the layout the Debian package has:
#   install_layout_test.sh BUILD_DIR DEB_DIR SCRATCH
set -euo pipefail
build_dir=$1
deb_dir=$2
scratch=$3

shopt -s nullglob
debs=("$deb_dir"/ostrel_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: no package in $deb_dir (Package.Build makes it)"; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build_dir" --prefix "$scratch/usr" > "$scratch/install.log"

installed=$(cd "$scratch" && find . ! -type d | sed 's|^\./||' | grep -v '^install.log$' | sort)
packaged=$(dpkg-deb -c "${debs[0]}" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./||' | sort)
if [ "$installed" != "$packaged" ]; then
    echo "FAIL: cmake --install and the package differ (< installed, > packaged):"
    diff <(echo "$installed") <(echo "$packaged") || true
    exit 1
fi
failures=0
for program in "$scratch"/usr/bin/*; do
    paths=$(readelf -d "$program" | grep -E 'RPATH|RUNPATH' || true)
    [ -z "$paths" ] || { echo "FAIL: $(basename "$program") keeps a run path: $paths"; failures=1; }
done
"$scratch/usr/bin/ostrel-cli" --help > /dev/null || { echo "FAIL: the installed ostrel-cli --help failed"; failures=1; }
[ "$failures" -eq 0 ] || exit 1
echo "cmake --install lays out the same $(wc -l <<< "$installed") files as the package."
