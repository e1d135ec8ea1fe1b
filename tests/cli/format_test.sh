#!/usr/bin/env bash
# End-to-end checks of `iso8583 format`: output bytes, messages and exit statuses.
# Usage: format_test.sh TOOL EXAMPLES_DIR
set -u
tool=$1
demo=$2/demo.pro
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# run ARGS...: sets status, and leaves standard output and error in $work/out and $work/err.
run() {
    "$tool" "$@" >"$work/out" 2>"$work/err"
    status=$?
}

expect_status() {
    [ "$status" -eq "$1" ] || fail "$2: status $status, expected $1 ($(head -c 300 "$work/err"))"
}

run format "$demo"
expect_status 0 "format demo"
cmp -s "$work/out" "$demo" || fail "format demo: output differs from the file"
[ -s "$work/err" ] && fail "format demo: unexpected standard error"

cd "$work" || exit 1
run format missing.pro
expect_status 2 "unopenable file"
[ "$(cat "$work/err")" = "missing.pro: cannot open: No such file or directory" ] ||
    fail "unopenable file: message was '$(cat "$work/err")'"
[ -s "$work/out" ] && fail "unopenable file: something was written"

run format "$work"
expect_status 2 "folder as input"

run format
expect_status 2 "missing FILE.pro"
run format "$demo" extra.pro
expect_status 2 "extra argument"
run format --bogus "$demo"
expect_status 2 "unknown option"
run format "$demo" -o
expect_status 2 "-o without a file"
run
expect_status 2 "no subcommand"

run --help
expect_status 0 "--help"
grep -q format "$work/out" || fail "--help does not list the format command"
run format --help
expect_status 0 "format --help"
grep -q -- "-o" "$work/out" || fail "format --help does not describe -o"

echo "stale" >"$work/copy.pro"
run format "$demo" -o "$work/copy.pro"
expect_status 0 "-o"
cmp -s "$work/copy.pro" "$demo" || fail "-o: written file differs from the input"
[ -s "$work/out" ] && fail "-o: unexpected standard output"

run format missing.pro -o "$work/copy.pro"
expect_status 2 "-o with unopenable input"
cmp -s "$work/copy.pro" "$demo" || fail "-o with unopenable input: output file touched"

run format "$demo" -o "$work/no/such/folder/out.pro"
expect_status 2 "-o into a missing folder"
grep -q "out.pro: cannot open: No such file or directory" "$work/err" ||
    fail "-o into a missing folder: message was '$(cat "$work/err")'"

if [ -w /dev/full ]; then
    "$tool" format "$demo" >/dev/full 2>"$work/err"
    status=$?
    expect_status 2 "standard output full"
    grep -q "cannot write" "$work/err" || fail "standard output full: no message"
fi

[ "$failures" -eq 0 ] && echo "all format checks passed"
exit $((failures > 0))
