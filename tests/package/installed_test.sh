#!/usr/bin/env bash
# Installs the build into a staging folder as a package would (DESTDIR, prefix /usr), then
# checks what a Debian desktop relies on: the files in their places, the tool's version, and
# the MIME type that tells protocol definitions from qmake project files of the same extension.
# Usage: installed_test.sh CMAKE BUILD_DIR VERSION WITH_WORKBENCH(0|1) EXAMPLES_DIR
set -uo pipefail
cmake=$1
build=$2
version=$3
with_workbench=$4
examples=$5

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failed=0
fail() {
    echo "$*"
    failed=1
}

DESTDIR="$stage" "$cmake" --install "$build" --prefix /usr >/dev/null || fail "cmake --install failed"
usr=$stage/usr

expected=(bin/iso8583 share/man/man1/iso8583.1.gz share/man/man5/iso8583-pro.5.gz
          share/mime/packages/iso8583-workbench.xml
          share/doc/iso8583-workbench/copyright share/doc/iso8583-workbench/changelog.gz
          share/doc/iso8583-workbench/examples/demo.pro
          share/doc/iso8583-workbench/examples/subfields.pro
          share/iso8583-workbench/dialects/iso8583-1987-ascii.pro
          share/iso8583-workbench/dialects/iso8583-1987-binary.pro
          share/iso8583-workbench/dialects/iso8583-1993-ascii.pro
          share/iso8583-workbench/dialects/iso8583-1993-binary.pro)
if [ "$with_workbench" = 1 ]; then
    expected+=(bin/iso8583-workbench share/man/man1/iso8583-workbench.1.gz
               share/applications/iso8583-workbench.desktop
               share/metainfo/org.iso8583_workbench.Workbench.metainfo.xml
               share/icons/hicolor/scalable/apps/iso8583-workbench.svg
               share/doc/iso8583-workbench/README.md)
    for size in 48 64 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/iso8583-workbench.png")
    done
fi
for file in "${expected[@]}"; do
    [ -f "$usr/$file" ] || fail "not installed: /usr/$file"
done

shown=$("$usr/bin/iso8583" --version)
[ "$shown" = "iso8583 $version" ] || fail "iso8583 --version printed '$shown', not 'iso8583 $version'"

# The system's own types plus ours, as the shared-mime-info trigger builds them after install.
mkdir -p "$stage/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$usr/share/mime/packages/iso8583-workbench.xml" \
    "$stage/mime/packages/"
update-mime-database "$stage/mime" 2>/dev/null || fail "update-mime-database refused the type"

samples=$stage/samples
mkdir "$samples"
cp "$examples/demo.pro" "$samples/demo.pro"
printf '# qmake project\nQT += widgets\nTEMPLATE = app\nTARGET = demo\nSOURCES += main.cpp\n' \
    >"$samples/qmake.pro"
printf 'FIELD=   2;    N;  19; 1; N; PAN\r\nMTI_Enc= CHAR\r\n' >"$samples/crlf-keys-only.pro"
printf '#!/bin/sh\nNAME=demo\nMSG=hello\necho "$MSG"\n' >"$samples/shell-variables.pro"
cases=("demo.pro application/x-iso8583-protocol"
       "qmake.pro text/plain"
       "crlf-keys-only.pro application/x-iso8583-protocol"
       "shell-variables.pro application/x-shellscript")
for entry in "${cases[@]}"; do
    read -r name want <<<"$entry"
    got=$(GIO_USE_VFS=local XDG_DATA_HOME="$stage" XDG_DATA_DIRS="$stage" \
        gio info -a standard::content-type "$samples/$name" | sed -n 's/^ *standard::content-type: //p')
    [ "$got" = "$want" ] || fail "$name: MIME type $got, expected $want"
done
exit $failed
