#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the tools need, skipping
# those already installed. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-gtk-platformtheme fonts-dejavu-core
    libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev libbenchmark-dev libexpat1-dev
    libsimdjson-dev
    clang libclang-rt-14-dev
    dpkg-dev lintian appstream desktop-file-utils shared-mime-info libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
