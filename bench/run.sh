#!/usr/bin/env bash
# Measures the decoder (Google Benchmark), then the reports of `iso8583 check` and `diagnose`
# over files of generated messages: the acquirer corpus in the text and in the EBCDIC dialect,
# and the random-fields corpus (fields 2 to 128 of a text dialect, 700 to 800 units, chip data).
# Usage: bench/run.sh [BUILD_DIR] [MESSAGES] [BEFORE_ISO8583]
# BEFORE_ISO8583 names another build of the program (the tree before a change), measured over
# the same files in the same run; its figures are printed beside the build's own, with whether
# its reports hold the same bytes. CALLGRIND=1 adds instructions per message (valgrind) for the
# rows and --json, which a busy machine does not stretch; QUICK=1 skips the Google Benchmarks.
# Each time is the least of REPEAT runs (3 unless given).
#
# Every report goes to a file. Each figure is CPU time (user + system) less the start-up, from
# the kernel's account of the process (bench/cpu_time), so that other work on the machine
# stretches it little; the start-up is that of a run over an empty input. --jobs 2 is timed
# elapsed, since that is what threads buy, and its report compared with one thread's.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-200000}
before=${3:-}
after=$build/src/cli/iso8583
calls=1000  # messages of a callgrind run
repeat=${REPEAT:-3}

cmake --build "$build" -j2 --target decode_bench diagnose_bench bench_messages cpu_time iso8583 \
    >/dev/null
measure=$build/bench/cpu_time

if [[ -z ${QUICK:-} ]]; then
    echo "== DecodeMessage"
    "$build/bench/decode_bench" --benchmark_min_time=1
    echo "== Diagnoser search over a failing request"
    "$build/bench/diagnose_bench" --benchmark_min_time=1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

programs=(after)
declare -A program=([after]=$after)
if [[ -n $before ]]; then
    programs=(before after)
    program[before]=$before
fi

# run NAME OUTPUT ARGUMENT...: the program's costs, "elapsed user system kilobytes", into
# $tmp/cost; a status of 1 (some message did not pass) is no failure of the run. Of REPEAT runs
# (3 unless given), the one with the least CPU time is kept: other work on a shared machine
# only ever adds to a run's time.
run() {
    local name=$1 output=$2
    shift 2
    : >"$tmp/costs"
    for _ in $(seq "$repeat"); do
        "$measure" "$output" "${program[$name]}" "$@" >"$tmp/one" || [[ $? == 1 ]]
        awk '{ print $0, $2 + $3 }' "$tmp/one" >>"$tmp/costs"
    done
    sort -g -k 5 "$tmp/costs" | head -n 1 | cut -d' ' -f1-4 >"$tmp/cost"
}
# run_elapsed NAME OUTPUT ARGUMENT...: run, keeping the run with the least elapsed time.
run_elapsed() {
    local name=$1 output=$2
    shift 2
    : >"$tmp/costs"
    for _ in $(seq "$repeat"); do
        "$measure" "$output" "${program[$name]}" "$@" >>"$tmp/costs" || [[ $? == 1 ]]
    done
    sort -g -k 1 "$tmp/costs" | head -n 1 >"$tmp/cost"
}

# The start-up: the least CPU time and peak memory of a few runs over an empty input.
declare -A startup
"$build/bench/bench_messages" --pro "$tmp/startup.pro" random
: >"$tmp/empty.hex"
echo "== start-up: check --hex over an empty input, a definition of" \
    "$(stat -c %s "$tmp/startup.pro") bytes (least of 20 runs)"
for name in "${programs[@]}"; do
    least=
    for _ in $(seq 20); do
        run "$name" /dev/null check --hex "$tmp/startup.pro" "$tmp/empty.hex"
        read -r _ user sys kb <"$tmp/cost"
        cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.6f", u + s }')
        if [[ -z $least ]] || awk -v a="$cpu" -v b="$least" 'BEGIN { exit !(a < b) }'; then
            least=$cpu
            memory=$kb
        fi
    done
    startup[$name]=$least
    awk -v n="$name" -v c="$least" -v m="$memory" \
        'BEGIN { printf "%-6s CPU %.2f ms, peak memory %.1f MB\n", n, c * 1000, m / 1024 }'
done

# The reports, each as `check` or `diagnose` writes it; summary first, the others' measure.
reports=("check --summary" "check" "check --json" "diagnose --json")
label() {
    case $1 in
        "check --summary") echo "--summary" ;;
        "check") echo "rows" ;;
        "check --json") echo "--json" ;;
        *) echo "$1" ;;
    esac
}

for corpus in text ebcdic random; do
    "$build/bench/bench_messages" --pro "$tmp/$corpus.pro" "$corpus"
    "$build/bench/bench_messages" --hex "$count" "$corpus" >"$tmp/messages.hex"
    echo "== $count messages of the $corpus corpus ($("$build/bench/bench_messages" --stats \
        "$corpus")), CPU time less the start-up, one thread"
    declare -A summary=()
    for report in "${reports[@]}"; do
        for name in "${programs[@]}"; do
            # shellcheck disable=SC2086 # the command and its option
            run "$name" "$tmp/$name.out" $report --hex "$tmp/$corpus.pro" "$tmp/messages.hex"
            read -r _ user sys _ <"$tmp/cost"
            bytes=$(stat -c %s "$tmp/$name.out")
            cpu=$(awk -v u="$user" -v s="$sys" -v st="${startup[$name]}" \
                'BEGIN { c = u + s - st; printf "%.6f", (c > 1e-6 ? c : 1e-6) }')
            [[ $report == "check --summary" ]] && summary[$name]=$cpu
            awk -v n="$name" -v r="$(label "$report")" -v count="$count" -v c="$cpu" \
                -v b="$bytes" -v s="${summary[$name]}" 'BEGIN {
                printf "%-6s %-15s %8.3f s  %9.0f messages/s  %6.1f MB/s  %5.1f x --summary\n",
                       n, r, c, count / c, b / c / 1e6, c / s
            }'
        done
        if [[ -n $before ]]; then
            if cmp -s "$tmp/before.out" "$tmp/after.out"; then
                echo "       $(label "$report"): the same bytes before and after"
            else
                echo "       $(label "$report"): REPORTS DIFFER before and after"
            fi
        fi
    done
    echo "-- --jobs 2 against one thread, elapsed"
    for report in "check" "check --json"; do
        for name in "${programs[@]}"; do
            # shellcheck disable=SC2086
            run_elapsed "$name" "$tmp/one.out" $report --hex "$tmp/$corpus.pro" "$tmp/messages.hex"
            read -r one _ <"$tmp/cost"
            # shellcheck disable=SC2086
            run_elapsed "$name" "$tmp/two.out" $report --jobs 2 --hex "$tmp/$corpus.pro" \
                "$tmp/messages.hex"
            read -r two _ <"$tmp/cost"
            same=$(cmp -s "$tmp/one.out" "$tmp/two.out" && echo "the same bytes" ||
                echo "REPORTS DIFFER")
            awk -v n="$name" -v r="$(label "$report")" -v one="$one" -v two="$two" \
                -v same="$same" 'BEGIN {
                printf "%-6s %-15s 1 thread %.2f s, 2 threads %.2f s: %.2f x, %s\n",
                       n, r, one, two, one / two, same
            }'
        done
    done
    if [[ -n ${CALLGRIND:-} ]]; then
        echo "-- instructions per message (callgrind, $calls messages less an empty input)"
        head -n "$calls" "$tmp/messages.hex" >"$tmp/few.hex"
        for report in "check --summary" "check" "check --json" "diagnose --json"; do
            for name in "${programs[@]}"; do
                for input in empty few; do
                    # shellcheck disable=SC2086
                    valgrind --tool=callgrind --callgrind-out-file=/dev/null \
                        "${program[$name]}" $report --hex "$tmp/$corpus.pro" \
                        "$tmp/$input.hex" 2>"$tmp/$input.log" >/dev/null || true
                done
                awk -v n="$name" -v r="$(label "$report")" -v calls="$calls" '
                    /Collected :/ { ir[FILENAME] = $NF }
                    END {
                        for (f in ir) if (f ~ /few/) few = ir[f]; else empty = ir[f]
                        printf "%-6s %-15s %9.0f instructions/message\n", n, r,
                               (few - empty) / calls
                    }' "$tmp/empty.log" "$tmp/few.log"
            done
        done
    fi
    rm -f "$tmp/messages.hex" "$tmp"/*.out
done
