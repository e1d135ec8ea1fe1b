#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on the shipped example.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
build/src/cli/iso8583 format examples/demo.pro
