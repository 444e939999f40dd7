#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package of BUILD_DIR into OUT_DIR (emptied first), as
# "cpack -G DEB" does; the package tests use what it leaves there.
set -euo pipefail
build_dir=$1
out_dir=$2
rm -rf "$out_dir"
mkdir -p "$out_dir"
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$out_dir" > "$out_dir/cpack.log" 2>&1 || {
    cat "$out_dir/cpack.log"
    exit 1
}
shopt -s nullglob
debs=("$out_dir"/ostrel_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
    echo "expected one ostrel_*.deb in $out_dir, found: ${debs[*]:-none}"
    cat "$out_dir/cpack.log"
    exit 1
fi
echo "built ${debs[0]}"
