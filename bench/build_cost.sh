#!/usr/bin/env bash
# What `iso8583 build` costs: the acquirer corpus of a dialect, written as JSON Lines in the short
# form ({"mti": ..., "fields": {"2": ..., ...}}) and in the shape `check --json --no-mask` prints,
# built into hexadecimal lines on one core (written to /dev/null, so that the disk is not
# measured); beside it `check --hex --summary` decoding the messages built, in the same run.
# Prints CPU seconds (user and system) and messages a second of each.
# Usage: bench/build_cost.sh [BUILD_DIR] [MESSAGES] [DIALECT]   (DIALECT: text or ebcdic)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-1000000}
dialect=${3:-text}
program=$build/src/cli/iso8583
cmake --build "$build" -j1 --target bench_messages iso8583 >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bench/bench_messages" --pro "$tmp/def.pro" "$dialect"
# The corpus's 300 distinct messages as check shows them, then in the short form, each repeated
# to the count.
"$build/bench/bench_messages" --hex 300 "$dialect" >"$tmp/corpus.hex"
"$program" check --hex --json --no-mask "$tmp/def.pro" "$tmp/corpus.hex" >"$tmp/corpus.json" || true
python3 - "$tmp" "$count" <<'PY'
import json, sys
tmp, count = sys.argv[1], int(sys.argv[2])
checked = [line for line in open(f"{tmp}/corpus.json")]
short = []
for line in checked:
    message = json.loads(line)
    fields = {str(f["number"]): f["value"] for f in message["fields"]}
    short.append(json.dumps({"mti": message["mti"], "fields": fields}, separators=(",", ":")) + "\n")
for name, lines in (("short", short), ("check", checked)):
    with open(f"{tmp}/{name}.jsonl", "w") as out:
        for i in range(count):
            out.write(lines[i % len(lines)])
PY

TIMEFORMAT="%U %S"
cpu() {  # command...: CPU seconds of the command, its output thrown away
    { time "$@" >/dev/null; } 2>"$tmp/times" || true
    awk '{ printf "%.3f", $1 + $2 }' <"$tmp/times"
}
report() {  # what seconds
    awk -v what="$1" -v s="$2" -v n="$count" \
        'BEGIN { printf "%-44s %7.2f s CPU  %9.0f messages/s\n", what, s, n / s }'
}
bytes=$(stat -c %s "$tmp/short.jsonl")
echo "$count messages of the $dialect dialect; short form $bytes bytes"
report "build (short form) --out hex" "$(cpu "$program" build "$tmp/def.pro" "$tmp/short.jsonl")"
report "build (check --json shape) --out hex" \
    "$(cpu "$program" build "$tmp/def.pro" "$tmp/check.jsonl")"
"$program" build -o "$tmp/built.hex" "$tmp/def.pro" "$tmp/short.jsonl"
"$program" build "$tmp/def.pro" "$tmp/check.jsonl" | cmp -s - "$tmp/built.hex" ||
    echo "the two shapes built different messages" >&2
report "check --hex --summary of the messages built" \
    "$(cpu "$program" check --hex --summary "$tmp/def.pro" "$tmp/built.hex")"
