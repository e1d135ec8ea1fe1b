#!/usr/bin/env bash
# Installs the build into a staging folder as a package would (DESTDIR, prefix /usr), then checks
# the manual page of the .pro file: installed gzipped in section 5, byte for byte the page of the
# source tree, rendered by man with every section heading, found by "man 5 iso8583-pro" under
# the staged manual folder, and named by the pages of both programs. Every installed page must
# also render without a warning from man, as lintian asks.
# Exits 77 (skipped) when man is not on the machine, once the installed files are checked.
# Usage: installed_man_test.sh CMAKE BUILD_DIR MAN_SOURCE_DIR
set -uo pipefail
cmake=$1
build=$2
sources=$3

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failed=0
fail() {
    echo "$*"
    failed=1
}

DESTDIR="$stage" "$cmake" --install "$build" --prefix /usr >/dev/null || fail "cmake --install failed"
mandir=$stage/usr/share/man
page=$mandir/man5/iso8583-pro.5.gz
source=$sources/iso8583-pro.5

if [ ! -f "$page" ]; then
    echo "not installed: /usr/share/man/man5/iso8583-pro.5.gz"
    exit 1
fi
gzip -t "$page" 2>/dev/null || fail "iso8583-pro.5.gz is not a whole gzip file"
cmp -s <(gzip -dc "$page") "$source" || fail "iso8583-pro.5.gz does not hold $source"

if ! command -v man >/dev/null 2>&1; then
    echo "man is not installed: the rendering is not checked"
    [ $failed -eq 0 ] && exit 77
    exit $failed
fi

# The settings lintian renders with; no user options, no pager, no sandbox (which some
# containers refuse).
render() {
    env -u MANOPT -u MANSECT -u MANPAGER -u PAGER LC_ALL=C.UTF-8 MANWIDTH=80 \
        MAN_DISABLE_SECCOMP=1 man "$@"
}

for installed in "$mandir"/man*/*.gz; do
    warnings=$(render --warnings -E UTF-8 -l -Tutf8 -Z "$installed" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "${installed#"$stage"}: man warns: $warnings"
done

rendered=$(render -l "$page" 2>/dev/null) || fail "man -l iso8583-pro.5.gz failed"
grep -q '^ISO8583-PRO(5) ' <<<"$rendered" || fail "rendered page has no ISO8583-PRO(5) header"
grep -qE '^ +iso8583-pro - ' <<<"$rendered" || fail "rendered page has no NAME line for iso8583-pro"

# Every .SH of the source, and the sections that must stay whatever else changes.
mapfile -t headings < <(sed -n 's/^\.SH *//p' "$source" | tr -d '"')
headings+=(NAME SYNOPSIS DESCRIPTION "DIALECT OPTIONS AND PER-FIELD SETTINGS" EXAMPLES "SEE ALSO")
for heading in "${headings[@]}"; do
    grep -qxF "$heading" <<<"$rendered" || fail "rendered page has no section heading '$heading'"
done

found=$(MANPATH=$mandir render -w 5 iso8583-pro 2>&1)
[ "$found" = "$page" ] || fail "man -w 5 iso8583-pro under the staged MANPATH gave '$found'"
by_name=$(MANPATH=$mandir render 5 iso8583-pro 2>/dev/null) || fail "man 5 iso8583-pro failed"
[ "$by_name" = "$rendered" ] || fail "man 5 iso8583-pro does not render the installed page"

for program in "$mandir"/man1/*.1.gz; do
    render -l "$program" 2>/dev/null | grep -q 'iso8583-pro(5)' ||
        fail "${program#"$stage"} does not name iso8583-pro(5)"
done
exit $failed
