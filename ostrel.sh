#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds, and then either starts the program
# (./ostrel.sh run) or runs every test (./ostrel.sh test).
set -euo pipefail
cd "$(dirname "$0")"

# What building and running the programs need: "run" installs only these.
RUN_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libgl-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev libcups2-dev libsodium-dev libssl-dev
  fonts-liberation
)
# What the tests add: "test" installs these too.
TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  # used by the tests as independent decoders and as servers
  python3 libjpeg-turbo-progs netpbm imagemagick xvfb xauth
  # a real desktop for the window tests: a window manager, and xcb to read its view
  openbox libxcb1-dev
  # read printed PDFs back, and a private print server for the print tests
  poppler-utils cups-daemon cups-client
  # the package tests: cpack's DEB generator asks dpkg-shlibdeps for the
  # Depends; the desktop files, manual pages and completion are checked with
  # their own tools
  dpkg-dev desktop-file-utils appstream man-db groff-base
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() { # package...
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build() { # build-dir [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}

run_tests() { # build-dir
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j2)
}

case "${1:-}" in
  run)
    install_missing "${RUN_PACKAGES[@]}"
    build build/release -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF -DOSTREL_BENCH=OFF
    if [ ! -x build/release/src/ostrel ]; then
      echo "The desktop program was not built; the command-line program is build/release/src/ostrel-cli."
      exec build/release/src/ostrel-cli --help
    fi
    # Without a graphical session the window cannot open. The build is done
    # and the command line works, so this is no failure: say so and exit 0.
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set), so the desktop program"
      echo "build/release/src/ostrel is not started. The command-line program works without one:"
      echo "  build/release/src/ostrel-cli --help"
      exit 0
    fi
    exec build/release/src/ostrel
    ;;
  test)
    install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_BENCH=OFF -DOSTREL_WERROR=ON
    run_tests build/test
    # The core's tests again under AddressSanitizer and UndefinedBehaviorSanitizer
    # (the widget tests are left out there to keep the run short).
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/.ci/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    build build/asan -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=ON -DOSTREL_BENCH=OFF -DOSTREL_GUI=OFF -DOSTREL_WERROR=ON
    run_tests build/asan
    ;;
  *)
    echo "usage: ./ostrel.sh run | test" >&2
    exit 2
    ;;
esac
