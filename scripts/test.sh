#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite through ctest; builds the
# Debian package, checks it with lintian and the metadata with their validators, and runs both
# programs from a staged installation; then builds the suite again under AddressSanitizer and
# UBSan (halting on the first error) and runs it there; then runs each fuzz target for a
# bounded time over its corpus (ISO_FUZZ_SECONDS, 30 by default). Any failure or finding makes
# the run fail.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/setup.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== package"
scripts/package.sh
lintian --fail-on error build/iso8583-workbench_*.deb
appstreamcli validate --no-net res/org.iso8583_workbench.Workbench.metainfo.xml
desktop-file-validate res/iso8583-workbench.desktop
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install build --prefix /usr >/dev/null
"$stage/usr/bin/iso8583" --version
# --version is answered before any window or display is needed.
env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$stage/usr/bin/iso8583-workbench" --version

echo "== sanitizer build (build-asan)"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

echo "== fuzzing (build-fuzz)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
failed=()
for target in pro_file decoder roundtrip text content lines hex_lines dump stream build check \
    jpos moov pyiso8583; do
    tests/fuzz/run.sh "$target" "${ISO_FUZZ_SECONDS:-30}" build-fuzz || failed+=("$target")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}" >&2
    exit 1
fi
