#!/usr/bin/env bash
# What declared subfields cost `iso8583 check` in rows and in --json: the acquirer corpus of the
# text dialect checked as generated, then with fields 7, 12, 43 and 90 declared positional
# (2 + 13 subfields a message that carries them all). Prints CPU seconds of each run, the
# subfields shown, and the cost per subfield.
# Usage: bench/subfield_cost.sh [BUILD_DIR] [MESSAGES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-100000}
program=$build/src/cli/iso8583
cmake --build "$build" -j2 --target bench_messages iso8583 >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bench/bench_messages" --pro "$tmp/plain.pro" text
"$build/bench/bench_messages" --hex "$count" text >"$tmp/messages.hex"
sed -e 's/^\(FIELD=   7;.*\); N; /\1; Y; /' -e 's/^\(FIELD=  12;.*\); N; /\1; Y; /' \
    -e 's/^\(FIELD=  43;.*\); N; /\1; Y; /' -e 's/^\(FIELD=  90;.*\); N; /\1; Y; /' \
    "$tmp/plain.pro" >"$tmp/subfields.pro"
cat >>"$tmp/subfields.pro" <<'LINES'
STRUCTURE= 7; POSITIONAL
SUBFIELD= 7.1; N; 4; 0; N; Date, MMDD
SUBFIELD= 7.2; N; 6; 0; N; Time, hhmmss
STRUCTURE= 12; POSITIONAL
SUBFIELD= 12.1; N; 2; 0; N; Hours
SUBFIELD= 12.2; N; 2; 0; N; Minutes
SUBFIELD= 12.3; N; 2; 0; N; Seconds
STRUCTURE= 43; POSITIONAL
SUBFIELD= 43.1; ANS; 25; 0; N; Name
SUBFIELD= 43.2; ANS; 13; 0; N; City
SUBFIELD= 43.3; ANS; 2; 0; N; Country
STRUCTURE= 90; POSITIONAL
SUBFIELD= 90.1; N; 4; 0; N; Original message type
SUBFIELD= 90.2; N; 6; 0; N; Original trace number
SUBFIELD= 90.3; N; 10; 0; N; Original transmission date and time
SUBFIELD= 90.4; N; 11; 0; N; Original acquirer
SUBFIELD= 90.5; N; 11; 0; N; Original forwarder
LINES

TIMEFORMAT="%U %S"
for form in rows json; do
    option=""
    [ "$form" = json ] && option="--json"
    for pro in plain subfields; do
        # shellcheck disable=SC2086 # $option is the option or nothing
        { time "$program" check --hex $option "$tmp/$pro.pro" "$tmp/messages.hex" \
            >"$tmp/$form.$pro"; } 2>"$tmp/times" || true
        read -r user sys <"$tmp/times"
        awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f\n", u + s }' >"$tmp/cpu.$form.$pro"
    done
done
shown=$(grep -o '"id":' "$tmp/json.subfields" | wc -l)
for form in rows json; do
    awk -v f="$form" -v p="$(cat "$tmp/cpu.$form.plain")" -v w="$(cat "$tmp/cpu.$form.subfields")" \
        -v k="$shown" -v n="$count" 'BEGIN {
        printf "%s: %d messages, %.2f s without subfields, %.2f s with %d subfields shown: " \
               "%+.1f%%, %.0f ns a subfield\n", f, n, p, w, k, 100 * (w - p) / p, 1e9 * (w - p) / k
    }'
done
