#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Lists the source and build files whose first two lines carry no SPDX
# licence line; fails when there are any.
set -euo pipefail
cd "${1:-.}"
missing=$(find src tests bench fuzz tools packaging .ci -type f \
    \( -name '*.cpp' -o -name '*.h' -o -name 'CMakeLists.txt' -o -name '*.sh' -o -name run \) -print |
    sort | while read -r file; do
        head -n 2 "$file" | grep -q 'SPDX-License-Identifier: Apache-2.0' || echo "$file"
    done)
for top in CMakeLists.txt ostrel.sh; do
    head -n 2 "$top" | grep -q 'SPDX-License-Identifier: Apache-2.0' || missing="$missing"$'\n'"$top"
done
missing=$(printf '%s\n' "$missing" | sed '/^$/d')
if [ -n "$missing" ]; then
    echo "Files without the SPDX licence line at the top:"
    echo "$missing"
    exit 1
fi
echo "Every source file carries the licence line."
