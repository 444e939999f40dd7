#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The manual pages against the programs' own help:
#   man_pages_test.sh cover  MAN_DIR OSTREL_CLI [OSTREL]
#     every command of "ostrel-cli --help", and every option and option value
#     that it and each command's --help name, appear in ostrel-cli(1); every
#     option of "ostrel --help" appears in ostrel(1). Pages may document more
#     than the help shows.
#   man_pages_test.sh render MAN_DIR
#     every page renders without a single groff warning.
set -euo pipefail
mode=$1
man_dir=$2

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The page as a reader sees it, on one long line per paragraph so that no
# option is split by a line break.
rendered() {
    groff -man -Tascii -rLL=400n -P-c -P-b -P-o -P-u "$1" 2>/dev/null
}

# The options a help text names (-o, --password-file), and the values of
# options that take one of a set (--kind bright|rgb|hsv).
options_in() {
    grep -oE '(^|[^A-Za-z0-9-])--?[a-z][a-z0-9-]*' <<< "$1" | sed -E 's/^[^-]+//' | sort -u
}
values_in() {
    grep -oE -- '--[a-z-]+ [a-z]+(\|[a-z]+)+' <<< "$1" | sed -E 's/^--[a-z-]+ //' | tr '|' '\n' | sort -u
}

# Is WORD in TEXT as a whole token (not as a part of a longer option)?
documented() {
    grep -qE -- "(^|[^A-Za-z0-9-])$(sed 's/[.]/\\./g' <<< "$1")([^A-Za-z0-9-]|$)" <<< "$2"
}

check_cover() {
    local cli=$1 gui=${2:-}
    local page help commands command usage
    page=$(rendered "$man_dir/ostrel-cli.1")
    [ -n "$page" ] || { fail "ostrel-cli.1 renders to nothing"; return; }
    help=$("$cli" --help)
    # Commands are the lines of the list indented by two blanks.
    commands=$(sed -n '/^Commands:/,/^$/p' <<< "$help" | grep -E '^  [a-z]' | awk '{print $1}')
    [ -n "$commands" ] || fail "found no commands in ostrel-cli --help"
    local all_help=$help
    for command in $commands; do
        grep -qF "ostrel-cli $command" <<< "$page" ||
            fail "ostrel-cli.1 has no entry 'ostrel-cli $command'"
        usage=$("$cli" "$command" --help) || fail "ostrel-cli $command --help failed"
        all_help+=$'\n'$usage
    done
    local option value
    for option in $(options_in "$all_help"); do
        documented "$option" "$page" || fail "ostrel-cli.1 does not document $option"
    done
    for value in $(values_in "$all_help"); do
        documented "$value" "$page" || fail "ostrel-cli.1 does not document the value $value"
    done
    if [ -n "$gui" ]; then
        page=$(rendered "$man_dir/ostrel.1")
        for option in $(options_in "$("$gui" --help)"); do
            documented "$option" "$page" || fail "ostrel.1 does not document $option"
        done
    fi
}

check_render() {
    local page warnings
    for page in "$man_dir"/*.1; do
        warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
        [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
        MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q '^NAME' || fail "$(basename "$page") has no NAME section"
    done
}

case $mode in
    cover) check_cover "${@:3}" ;;
    render) check_render ;;
    *) echo "usage: $0 cover|render MAN_DIR ..." >&2; exit 2 ;;
esac
if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "The manual pages hold what the help names, and render cleanly."
