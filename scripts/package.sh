#!/usr/bin/env bash
# Builds the Debian package of both programs into build/ (iso8583-workbench_VERSION_ARCH.deb),
# with stripped binaries and its dependencies worked out by dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
rm -f build/iso8583-workbench_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/iso8583-workbench_*.deb
