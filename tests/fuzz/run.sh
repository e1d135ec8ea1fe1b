#!/usr/bin/env bash
# Runs one fuzz target for a bounded time over a copy of its corpus, so that a run never
# grows the committed corpus. Exits non-zero on any finding (crash, leak, timeout, broken
# invariant); the input that caused it is left in the artifact folder it names.
#
#   tests/fuzz/run.sh TARGET SECONDS [BUILD_DIR]
#
# TARGET: pro_file, decoder, roundtrip, text, content, lines, hex_lines, dump, stream, build,
# check, jpos, moov or pyiso8583.
#
# ISO_FUZZ_KEEP=1 keeps the grown corpus and the log of a clean run as well; ISO_FUZZ_RUNS=N
# ends the run after N executions if SECONDS have not run out first.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 TARGET SECONDS [BUILD_DIR]" >&2
    echo "TARGET: pro_file, decoder, roundtrip, text, content, lines, hex_lines, dump, stream, build, check, jpos, moov or pyiso8583" >&2
    exit 2
fi
target=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
build=${3:-$here/../../build-fuzz}
binary=$build/tests/fuzz/fuzz_$target
corpus=$here/corpus/$target

if [ ! -x "$binary" ]; then
    echo "$binary: not built (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
    exit 2
fi
if [ ! -d "$corpus" ]; then
    echo "$corpus: no such corpus" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz_$target.XXXXXX")
cp -r "$corpus" "$work/corpus"
mkdir "$work/artifacts"
dict=()
[ -f "$here/$target.dict" ] && dict=(-dict="$here/$target.dict")
runs=()
[ -n "${ISO_FUZZ_RUNS:-}" ] && runs=(-runs="$ISO_FUZZ_RUNS")

status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1} \
    "$binary" "${dict[@]}" "${runs[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" \
    >"$work/log" 2>&1 || status=$?

grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$work/log" |
    sed "s/^/fuzz_$target: /" || true
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
    tail -n 60 "$work/log" >&2
    echo "fuzz_$target: FINDING (exit $status); inputs in $work/artifacts" >&2
    exit 1
fi
echo "fuzz_$target: no finding in ${seconds}s"
if [ -n "${ISO_FUZZ_KEEP:-}" ]; then
    echo "fuzz_$target: grown corpus and log kept in $work"
else
    rm -rf "$work"
fi
