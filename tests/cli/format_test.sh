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

# The example definitions of the newer lines are written as the writer writes them, and lint
# finds nothing in them.
for example in "$2"/subfields*.pro; do
    run format "$example"
    expect_status 0 "format $example"
    cmp -s "$work/out" "$example" || fail "format $example: output differs from the file"
    run lint "$example"
    expect_status 0 "lint $example ($(head -c 300 "$work/out"))"
done

# The standard dialects likewise; their provenance lives in their README, as the writer keeps no
# comment.
dialects=$2/dialects
shipped=("$dialects"/iso8583-*.pro)
[ "${#shipped[@]}" -eq 4 ] || fail "dialects: ${#shipped[@]} definitions, expected 4"
for dialect in "${shipped[@]}"; do
    run format "$dialect"
    expect_status 0 "format $dialect"
    cmp -s "$work/out" "$dialect" || fail "format $dialect: output differs from the file"
    run lint "$dialect"
    expect_status 0 "lint $dialect ($(head -c 300 "$work/out"))"
done

# A reversal advice of each version, laid out as the version lays it out, passes under its
# dialect, its track 2, chip data and original data elements read in their parts: a wrong
# prefix size or type anywhere before them would misplace every field after it.
text_hex() { printf '%s' "$@" | od -An -v -tx1 | tr -d ' \n'; }
pan=4111111111111111
track2=4111111111111111=2512101
ascii87=$(text_hex 0420 F2200000200082000000004000000000 16$pan 000000 000000001000 0612143100 \
    000124 24$track2 840 0099F0206000000001000 020000012306121430150000001234500000000000)
ascii93=$(text_hex 1420 7230018020008300 16$pan 000000 000000001000 0612143100 000124 \
    250612143100 400 4021 24$track2 840 0099F0206000000001000 30120000012325061214301506123456)
# Packed: prefixes of 1 byte (LL) and 2 bytes (LLL), track 2 with its separator D, text in ASCII.
binary87=$(printf '%s' 0420 F2200000200082000000004000000000 16$pan 000000 000000001000 0612143100 \
    000124 24${track2/=/D} 383430 0009 9F0206000000001000 020000012306121430150000001234500000000000)
binary93=$(printf '%s' 1420 7230018020008300 16$pan 000000 000000001000 0612143100 000124 \
    250612143100 0400 4021 24${track2/=/D} 383430 0009 9F0206000000001000 \
    30 120000012325061214301506123456)
original87="90.5  Original forwarding institution identification code  11  00000000000"
original93="56.4  Acquiring institution identification code, original  6  123456"
for entry in "1987-ascii $ascii87 $original87" "1987-binary $binary87 $original87" \
    "1993-ascii $ascii93 $original93" "1993-binary $binary93 $original93"; do
    read -r name hex parts <<<"$entry"
    echo "$hex" >"$work/reversal.hex"
    run check --hex "$dialects/iso8583-$name.pro" "$work/reversal.hex"
    expect_status 0 "reversal advice under $name"
    for shown in "expiry 2512  service 101" "9F02  Amount, Authorised (Numeric)  6  000000001000" \
        "$parts"; do
        grep -qF -- "$shown" "$work/out" || fail "reversal advice under $name: no '$shown'"
    done
done

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

# A device never reads as a definition: the read stops at its bound.
run format /dev/zero
expect_status 2 "endless input"
[ "$(cat "$work/err")" = "/dev/zero: too large for a protocol definition" ] ||
    fail "endless input: message was '$(cat "$work/err")'"

# A device given as the output is written to, never replaced by a plain file.
if mknod "$work/null" c 1 3 2>/dev/null; then null=$work/null; else null=/dev/null; fi
run format "$demo" -o "$null"
expect_status 0 "-o onto a device"
[ -c "$null" ] || fail "-o onto a device: $null is no longer a device"

ln -s made.pro "$work/dangling"
run format "$demo" -o "$work/dangling"
expect_status 0 "-o onto a dangling link"
[ -L "$work/dangling" ] && cmp -s "$work/made.pro" "$demo" ||
    fail "-o onto a dangling link: the file it names was not written"

# Setting lines come out after the messages in the writer's order, and a second format keeps
# them as the first wrote them.
dialect=$(dirname "$demo")/dialect.pro
run format "$dialect" -o "$work/dialect1.pro"
expect_status 0 "format dialect"
run format "$work/dialect1.pro"
expect_status 0 "format dialect again"
cmp -s "$work/out" "$work/dialect1.pro" || fail "format dialect: a second format changed it"
tail -n 16 "$work/out" | head -n 3 | cmp -s - <(printf '%s\n' \
    "OPTION= EMPTY_FIELDS; Y" "FIELD_OPTION=  22; NUM_Enc; PBCD" "FIELD_OPTION=  22; PAD; RIGHT") ||
    fail "format dialect: setting lines not at the end in the writer's order"
grep -q "^FIELD= 127;  ANS; 999; 5; N; Original message$" "$work/out" ||
    fail "format dialect: the six-unit prefix's FIELD line does not say 5"

[ "$failures" -eq 0 ] && echo "all format checks passed"
exit $((failures > 0))
