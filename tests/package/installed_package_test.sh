#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Unpacks the Debian package that build_deb.sh made into a scratch root and
# checks it as a user would meet it: its control data, every file at its
# place, and the installed programs running from there alone.
#   installed_package_test.sh DEB_DIR SCRATCH VERSION WITH_GUI(ON|OFF)
set -euo pipefail
deb_dir=$1
scratch=$2
version=$3
with_gui=$4

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

shopt -s nullglob
debs=("$deb_dir"/ostrel_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: no package in $deb_dir (Package.Build makes it)"; exit 1; }
deb=${debs[0]}

rm -rf "$scratch"
mkdir -p "$scratch"
root=$scratch/root
dpkg-deb -x "$deb" "$root"

# Control data: name, version, section, and the libraries found by
# dpkg-shlibdeps together with what the programs load at run time.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ostrel ] || fail "Package is '$(field Package)', not ostrel"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Section)" = graphics ] || fail "Section is '$(field Section)', not graphics"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# The package names in Depends, one per line, without versions.
depends=$(field Depends | tr ',' '\n' | awk '{print $1}')
needed=(libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6printsupport6 libjpeg62-turbo libcups2 libsodium23 libssl3 fonts-liberation)
[ "$with_gui" = ON ] && needed+=(libqt6widgets6)
for package in "${needed[@]}"; do
    grep -qxF "$package" <<< "$depends" || fail "Depends lacks $package: $(field Depends)"
done

# Every file at the place desktops, man and bash look for it.
expected=(usr/bin/ostrel-cli
          usr/share/man/man1/ostrel-cli.1.gz
          usr/share/bash-completion/completions/ostrel-cli
          usr/share/doc/ostrel/copyright)
if [ "$with_gui" = ON ]; then
    expected+=(usr/bin/ostrel
               usr/share/man/man1/ostrel.1.gz
               usr/share/applications/io.github.ostrel.Ostrel.desktop
               usr/share/icons/hicolor/scalable/apps/io.github.ostrel.Ostrel.svg
               usr/share/metainfo/io.github.ostrel.Ostrel.metainfo.xml)
fi
for file in "${expected[@]}"; do
    [ -s "$root/$file" ] || fail "the package has no $file"
done
for page in "$root"/usr/share/man/man1/*.1.gz; do
    MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q '^NAME' || fail "$(basename "$page") does not render"
done

# The installed programs use nothing of the build tree: no run path, and
# every library they need is found on the system.
for program in "$root"/usr/bin/*; do
    paths=$(readelf -d "$program" | grep -E 'RPATH|RUNPATH' || true)
    [ -z "$paths" ] || fail "$(basename "$program") keeps a run path: $paths"
    missing=$(ldd "$program" | grep 'not found' || true)
    [ -z "$missing" ] || fail "$(basename "$program") misses libraries: $missing"
done

# The command line's print module, loaded only by print and printers from
# its place beside the program, finds every library it needs too.
modules=("$root"/usr/lib/ostrel/ostrel-print.so "$root"/usr/lib/*/ostrel/ostrel-print.so)
if [ ${#modules[@]} -ne 1 ]; then
    fail "the package has no print module (ostrel-print.so): ${modules[*]:-none}"
else
    missing=$(ldd "${modules[0]}" | grep 'not found' || true)
    [ -z "$missing" ] || fail "ostrel-print.so misses libraries: $missing"
fi

# The installed command line hides a file and gets it back. The data
# folders live in the scratch folder, never in the user's own.
export HOME=$scratch/home XDG_DATA_HOME=$scratch/home/.local/share
mkdir -p "$HOME"
cli=$root/usr/bin/ostrel-cli
"$cli" --help | grep -q '^Commands:' || fail "ostrel-cli --help printed no command list"
work=$scratch/work
mkdir -p "$work/out"
# A 64x64 24-bit BMP of a colour gradient (room for 412 bytes) as the carrier.
python3 - "$work/carrier.bmp" <<'PY'
import struct, sys
w = h = 64
row = bytearray()
rows = []
for y in range(h):
    row = bytearray()
    for x in range(w):
        row += bytes(((x * 4) & 255, (y * 4) & 255, ((x + y) * 2) & 255))
    rows.append(bytes(row))
pixels = b"".join(rows)
header = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
PY
printf 'what the installed program hid\n%s\n' "$(seq 1 20 | tr '\n' ' ')" > "$work/secret.txt"
printf 'installed\n' > "$work/password"
if "$cli" encode "$work/carrier.bmp" "$work/secret.txt" -o "$work/hidden.bmp" \
        --password-file "$work/password" > "$work/encode.log" 2>&1; then
    if "$cli" decode "$work/hidden.bmp" -o "$work/out" --password-file "$work/password" \
            > "$work/decode.log" 2>&1; then
        cmp -s "$work/secret.txt" "$work/out/secret.txt" || fail "the decoded file differs from the hidden one"
    else
        fail "installed ostrel-cli decode failed: $(cat "$work/decode.log")"
    fi
else
    fail "installed ostrel-cli encode failed: $(cat "$work/encode.log")"
fi

# ... and prints a picture into a PDF file through its print module.
if QT_QPA_PLATFORM=offscreen "$cli" print "$work/carrier.bmp" -o "$work/carrier.pdf" > "$work/print.log" 2>&1; then
    [ -s "$work/carrier.pdf" ] || fail "installed ostrel-cli print wrote no PDF"
else
    fail "installed ostrel-cli print failed: $(cat "$work/print.log")"
fi

if [ "$with_gui" = ON ]; then
    gui=$root/usr/bin/ostrel
    [ "$("$gui" --version)" = "ostrel $version" ] || fail "ostrel --version printed '$("$gui" --version)'"
    # The window starts (offscreen) and is still up a moment later, then is
    # ended by SIGTERM like any desktop program at logout.
    QT_QPA_PLATFORM=offscreen "$gui" > "$work/gui.log" 2>&1 &
    pid=$!
    alive=yes
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        sleep 0.2
        kill -0 "$pid" 2>/dev/null || { alive=no; break; }
    done
    if [ "$alive" = yes ]; then
        kill -TERM "$pid"
        status=0
        wait "$pid" || status=$?
        [ "$status" -eq 143 ] || fail "ostrel ended with status $status on SIGTERM, not 143"
    else
        status=0
        wait "$pid" || status=$?
        fail "the installed ostrel did not stay up (status $status): $(cat "$work/gui.log")"
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "The package installs both programs and their files, and they run from it."
