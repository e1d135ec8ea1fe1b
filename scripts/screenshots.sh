#!/usr/bin/env bash
# Writes PNGs of the desktop program, each tab empty and with the demo definition, a parse, the
# Field details window of chip data, the Diagnosis window of two failing messages and an input
# error balloon, at scale factors 1 and 2 on a 1920x1080 screen, without a display:
#   scripts/screenshots.sh [OUTPUT_FOLDER]      (default build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
[ -d build ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target screenshot_writer
for scale in 1 2; do
    QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/ui/screens/desktop.json" \
        QT_SCALE_FACTOR="$scale" build/tests/ui/screenshot_writer "$out/scale-$scale"
done
