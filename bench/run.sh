#!/usr/bin/env bash
# Measures the decoder (Google Benchmark) and `iso8583 check --hex --summary` over a stream of
# generated authorisation requests. Usage: bench/run.sh [BUILD_DIR] [MESSAGES]
# The messages go through a pipe, never to disk; the definition goes to a temporary folder
# that is removed on exit. Both figures are printed: elapsed time, which a busy machine
# stretches, and the checker's own CPU time (one core).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-1000000}

cmake --build "$build" -j2 --target decode_bench diagnose_bench bench_messages iso8583 >/dev/null

echo "== DecodeMessage"
"$build/bench/decode_bench" --benchmark_min_time=1

echo "== Diagnoser search over a failing request"
"$build/bench/diagnose_bench" --benchmark_min_time=1

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bench/bench_messages" --pro "$tmp/bench.pro"

echo "== iso8583 check --hex --summary, $count messages"
TIMEFORMAT="%R %U %S"
"$build/bench/bench_messages" --hex "$count" |
    { time "$build/src/cli/iso8583" check --hex --summary \
        "$tmp/bench.pro" >"$tmp/summary"; } 2>"$tmp/times"
cat "$tmp/summary"
read -r real user sys <"$tmp/times"
awk -v n="$count" -v real="$real" -v user="$user" -v sys="$sys" 'BEGIN {
    printf "elapsed %.2f s: %.0f messages/s; checker CPU %.2f s: %.0f messages/s\n",
           real, n / real, user + sys, n / (user + sys)
}'
