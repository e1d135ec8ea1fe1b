#!/usr/bin/env bash
# PROGRAM --version prints EXPECTED. Exits 77 (skipped) while the program has no --version:
# the desktop program then opens its window instead, which the time limit ends.
set -uo pipefail
shown=$(timeout 5 "$1" --version 2>&1)
status=$?
if [ $status -eq 124 ]; then
    echo "$1: no --version yet"
    exit 77
fi
[ $status -eq 0 ] && [ "$shown" = "$2" ] && exit 0
echo "$1 --version: exit status $status, printed '$shown', expected '$2'"
exit 1
