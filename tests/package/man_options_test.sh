#!/usr/bin/env bash
# Every option that PROGRAM --help lists, and every option of each subcommand's --help, must be
# described in the manual page PAGE, and each subcommand must have a section (.SS) of its own.
# Exits 77 (skipped) while PROGRAM has no --help: the desktop program then opens its window
# instead, which the time limit ends.
set -uo pipefail
program=$1
page=$2

help_of() {
    timeout 5 "$program" "$@" --help 2>&1
}

# The option names of the lines that start with one, as in "  -o,--output TEXT  Write ...":
# a description that mentions another program's flag ("hexdump -C") is not an option of ours.
options_in() {
    grep -E '^ +-' | sed -E 's/^ +//; s/ .*//' | tr ',' '\n' | grep -E '^--?[A-Za-z]' | sort -u
}

top=$(help_of)
status=$?
if [ $status -eq 124 ]; then
    echo "$program: no --help yet"
    exit 77
fi
if [ $status -ne 0 ]; then
    echo "$program --help: exit status $status"
    exit 1
fi

# The page's text with the roff escapes that options are written with undone.
text=$(sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/\\&//g' "$page")
missing=0
check_options() {
    local where=$1 option
    while read -r option; do
        [ -n "$option" ] || continue
        if ! grep -qE -- "(^|[^A-Za-z0-9-])$option([^A-Za-z0-9-]|$)" <<<"$text"; then
            echo "$page: does not describe $option of $where"
            missing=1
        fi
    done
}

check_options "$(basename "$program")" < <(options_in <<<"$top")
subcommands=$(sed -n '/^Subcommands:/,/^$/p' <<<"$top" | awk 'NR > 1 && NF { print $1 }')
for sub in $subcommands; do
    if ! grep -qx "\.SS $sub" "$page"; then
        echo "$page: no section for the command $sub"
        missing=1
    fi
    check_options "$sub" < <(help_of "$sub" | options_in)
done
exit $missing
