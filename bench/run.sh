#!/usr/bin/env bash
# Measures the decoder (Google Benchmark) and `iso8583 check --hex --summary`, on one thread and
# on two (--jobs 2), over a file of generated messages of the acquirer corpus, in the text and
# in the EBCDIC dialect.
# Usage: bench/run.sh [BUILD_DIR] [MESSAGES] [ISO8583]
# The messages are written to a file first, so that their producer is not measured; the file
# and the definitions go to a temporary folder ($TMPDIR) that is removed on exit. Both figures
# are printed: elapsed time, which a busy machine stretches, and the checker's own CPU time.
# ISO8583 names another build of the program to measure over the same files.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-1000000}
program=${3:-$build/src/cli/iso8583}

cmake --build "$build" -j2 --target decode_bench diagnose_bench bench_messages iso8583 >/dev/null

echo "== DecodeMessage"
"$build/bench/decode_bench" --benchmark_min_time=1

echo "== Diagnoser search over a failing request"
"$build/bench/diagnose_bench" --benchmark_min_time=1

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
TIMEFORMAT="%R %U %S"
for dialect in text ebcdic; do
    "$build/bench/bench_messages" --pro "$tmp/$dialect.pro" "$dialect"
    "$build/bench/bench_messages" --hex "$count" "$dialect" >"$tmp/messages.hex"
    bytes=$(stat -c %s "$tmp/messages.hex")
    # One thread without the option, so that a build from before it can be measured too.
    for jobs in "" "--jobs 2"; do
        echo "== iso8583 check --hex --summary $jobs, $count messages of the $dialect dialect," \
            "$bytes bytes"
        # shellcheck disable=SC2086 # $jobs is the option and its value, or nothing
        { time "$program" check --hex --summary $jobs "$tmp/$dialect.pro" "$tmp/messages.hex" \
            >"$tmp/summary"; } 2>"$tmp/times" || true
        cat "$tmp/summary"
        read -r real user sys <"$tmp/times"
        awk -v n="$count" -v b="$bytes" -v real="$real" -v user="$user" -v sys="$sys" 'BEGIN {
            cpu = user + sys
            printf "elapsed %.2f s: %.0f messages/s; CPU %.2f s: %.0f messages/s, %.2f GB/s\n",
                   real, n / real, cpu, n / cpu, b / cpu / 1e9
        }'
    done
    rm -f "$tmp/messages.hex"
done
