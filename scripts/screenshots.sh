#!/usr/bin/env bash
# Writes PNGs of the desktop program, each tab empty and with the demo definition, a parse, the
# Field details window of chip data, the Diagnosis window of two failing messages, the Message
# editor with a field 55 tree (message-editor*.png), the Field definition window of a tagged
# field 48 (field-definition*.png), the report of a File > Import (import-report*.png) and an
# input error balloon, at scale factors 1 and 2 on a 1920x1080 screen, without a display; then, where
# Xvfb, openbox, xdotool and ImageMagick are installed, the real program under a window manager
# on a 1280x900 screen at scale factors 1 and 2: the window with its menu bar, the File and
# Message menus open, the Parser page and the Message editor of a new message:
#   scripts/screenshots.sh [OUTPUT_FOLDER]      (default build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."

# Inside Xvfb: one scale factor of the real program, its settings kept apart from the user's.
if [ "${1:-}" = "--under-x" ]; then
    out=$2 scale=$3
    mkdir -p "$out"
    export XDG_CONFIG_HOME
    XDG_CONFIG_HOME=$(mktemp -d)
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    QT_SCALE_FACTOR=$scale build/src/ui/iso8583-workbench examples/demo.pro 2>/dev/null &
    app=$!
    win=
    for _ in $(seq 50); do
        win=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -1) || true
        [ -n "$win" ] && break
        sleep 0.2
    done
    shot() { sleep 0.8; import -window root "$out/$1.png" && echo "wrote $out/$1.png"; }
    if [ -n "$win" ]; then
        xdotool windowactivate --sync "$win" 2>/dev/null || true
        shot window
        xdotool key --window "$win" alt+f
        shot file-menu
        xdotool key Escape
        xdotool key --window "$win" ctrl+Next ctrl+Next
        shot parser
        xdotool key --window "$win" alt+m
        shot message-menu
        xdotool key Escape
        # Message > New... for the first MTI offered: the editor beside the main window.
        xdotool key --window "$win" ctrl+shift+n
        sleep 0.8
        xdotool key Return
        shot message-editor-new
        xdotool key Escape
    else
        echo "the program's window did not show" >&2
    fi
    kill "$app" "$wm" 2>/dev/null || true
    rm -rf "$XDG_CONFIG_HOME"
    exit 0
fi

out="${1:-build/screenshots}"
[ -d build ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j1 --target screenshot_writer iso8583-workbench
for scale in 1 2; do
    QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/ui/screens/desktop.json" \
        QT_SCALE_FACTOR="$scale" build/tests/ui/screenshot_writer "$out/scale-$scale"
done
if command -v xvfb-run >/dev/null && command -v openbox >/dev/null &&
    command -v xdotool >/dev/null && command -v import >/dev/null; then
    for scale in 1 2; do
        xvfb-run -a -s '-screen 0 1280x900x24' "$0" --under-x "$out/x11-1280x900-scale-$scale" "$scale"
    done
else
    echo "Xvfb, openbox, xdotool or ImageMagick missing: no shots under a window manager" >&2
fi
