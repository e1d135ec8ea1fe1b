#!/bin/sh
# --help and --version answer and exit 0 with no display to open: PROGRAM VERSION
program=$1
version=$2
out=$("$program" --version) || { echo "--version failed"; exit 1; }
[ "$out" = "iso8583-workbench $version" ] || { echo "--version printed: $out"; exit 1; }
out=$("$program" -v) || { echo "-v failed"; exit 1; }
[ "$out" = "iso8583-workbench $version" ] || { echo "-v printed: $out"; exit 1; }
out=$("$program" --help) || { echo "--help failed"; exit 1; }
case $out in *"Usage: iso8583-workbench"*"--version"*) ;; *) echo "--help printed: $out"; exit 1 ;; esac
