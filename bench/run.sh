#!/usr/bin/env bash
# Measures the decoder (Google Benchmark) and `iso8583 check --hex --summary` over a stream of
# generated authorisation requests. Usage: bench/run.sh [BUILD_DIR] [MESSAGES]
# The messages go through a pipe, never to disk; the definition goes to a temporary folder
# that is removed on exit. Each program is pinned to its own core when there are two.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-1000000}

cmake --build "$build" -j2 --target decode_bench bench_messages iso8583 >/dev/null

echo "== DecodeMessage"
"$build/bench/decode_bench" --benchmark_min_time=1

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bench/bench_messages" --pro "$tmp/bench.pro"

pin_generator=() pin_checker=()
if [ "$(nproc)" -ge 2 ] && command -v taskset >/dev/null; then
    pin_generator=(taskset -c 1) pin_checker=(taskset -c 0)
fi

echo "== iso8583 check --hex --summary, $count messages"
start=$(date +%s%N)
"${pin_generator[@]}" "$build/bench/bench_messages" --hex "$count" |
    "${pin_checker[@]}" "$build/src/cli/iso8583" check --hex --summary "$tmp/bench.pro"
end=$(date +%s%N)
awk -v n="$count" -v ns="$((end - start))" \
    'BEGIN { printf "%.2f s, %.0f messages/s\n", ns / 1e9, n / (ns / 1e9) }'
