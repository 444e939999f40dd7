#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The bash completion of ostrel-cli, driven as bash drives it:
#   completion_test.sh COMPLETION_FILE OSTREL_CLI
# Each command's options are taken from its own --help, so an option added
# to a command without a completion fails here.
set -euo pipefail
completion=$1
cli=$2

# shellcheck source=/dev/null
source "$completion"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The completions bash would offer for the words given, the last being the
# one under the cursor.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _ostrel_cli ostrel-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() { # description, expected (blank-separated, sorted), words...
    local what=$1 want=$2
    shift 2
    local got
    got=$(complete_words "$@" | tr '\n' ' ' | sed 's/ $//')
    [ "$got" = "$want" ] || fail "$what: '$*' gave '$got', not '$want'"
}

complete -p ostrel-cli 2>/dev/null | grep -q -- '-F _ostrel_cli' || fail "no completion registered for ostrel-cli"

# Commands, values of options with a fixed set, and the '=' forms.
expect "a command from its start" "encode" ostrel-cli en
expect "every command starting with s" "seal-key" ostrel-cli se
expect "the kinds of chart" "bright hsv rgb" ostrel-cli chart x.bmp --kind ""
expect "the dot styles, after =" "blocks" ostrel-cli chart x.bmp --dots = b
expect "the dot styles, joined" "--dots=outline" ostrel-cli chart x.bmp --dots=o
expect "no options of another command" "" ostrel-cli info --js

# Every option a command's help names is offered for that command.
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | grep -E '^  [a-z]' | awk '{print $1}')
[ -n "$commands" ] || fail "found no commands in ostrel-cli --help"
for command in $commands; do
    offered=$(complete_words ostrel-cli "$command" -)
    grep -qx -- "--help" <<< "$offered" || fail "$command: --help not offered"
    for option in $("$cli" "$command" --help | grep -oE '(^|[ [|])--?[a-z][a-z0-9-]*' | sed -E 's/^[ [|]//' | sort -u); do
        grep -qx -- "$option" <<< "$offered" || fail "$command: $option is not offered (offered: $(echo $offered))"
    done
done

# File names: folders only for decode's -o, any file for the pictures.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/pictures folder"
touch "$scratch/picture.bmp"
cd "$scratch"
expect "decode -o offers folders only" "pictures folder" ostrel-cli decode picture.bmp -o p
expect "a picture name with its folder beside it" "picture.bmp pictures folder" ostrel-cli encode p
expect "after -- every word is a file" "picture.bmp pictures folder" ostrel-cli decode -- p

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "The completion offers the commands, their options and file names."
