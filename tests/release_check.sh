#!/usr/bin/env bash
# The release as people get it: built twice in two folders, byte for byte the
# same; the Debian package clean under lintian, unpacked and run on a copy of
# the demo prefix, its manual page rendered without a warning; the zip's
# files checked against its SHA256SUMS.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*" >&2; exit 1; }

for side in a b; do
    TONVANE_RELEASE_BUILD="$work/build-$side" bash scripts/release.sh "$work/dist-$side" >/dev/null 2>&1 ||
        fail "scripts/release.sh did not finish (build $side)"
done
version=$(sed -n 's/^project(Tonvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for file in build-@/release/tonvane build-@/release-win32/tonvane.exe \
            "dist-@/tonvane_${version}_amd64.deb" "dist-@/tonvane-${version}-win32.zip"; do
    a=$(sha256sum <"$work/${file//@/a}" | cut -d' ' -f1)
    b=$(sha256sum <"$work/${file//@/b}" | cut -d' ' -f1)
    [ "$a" = "$b" ] || fail "two builds of ${file#*/} differ"
    pass "two builds of ${file#*/} are byte-identical ($a)"
done
deb="$work/dist-a/tonvane_${version}_amd64.deb"
zip="$work/dist-a/tonvane-${version}-win32.zip"

lint=$(lintian --fail-on error,warning "$deb" 2>/dev/null) || fail "lintian: $lint"
[ -z "$lint" ] || fail "lintian: $lint"
pass "lintian finds nothing in $(basename "$deb")"

root="$work/root"
dpkg-deb -x "$deb" "$root"
prefix="$work/prefix"
mkdir "$prefix"
cp demo/prefix/*.reg "$prefix"
status=0
WINEPREFIX=$prefix "$root/usr/bin/tonvane" fmsynth 2>"$work/told" || status=$?
[ "$status" = 1 ] || fail "the unpacked tonvane exited with $status: $(cat "$work/told")"
grep -q '^"CurrentInstrument"="fmsynth<0002>"' "$prefix/userdef.reg" &&
    grep -q '^"AutoScheme"=dword:00000000' "$prefix/userdef.reg" ||
    fail "the unpacked tonvane left other values in the demo prefix"
pass "the unpacked tonvane makes fmsynth<0002> current in a copy of the demo prefix"

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/usr/share/man/man1/tonvane.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man -l: $warnings"
pass "man -l renders tonvane.1 without a warning"

unzip -q "$zip" -d "$work/zip"
(cd "$work/zip" && sha256sum --quiet -c SHA256SUMS) || fail "the zip's files do not match its SHA256SUMS"
grep -q $'\r$' "$work/zip/README.txt" || fail "README.txt in the zip has no Windows line ends"
pass "$(basename "$zip"): $(cd "$work/zip" && ls | tr '\n' ' ')match their SHA256SUMS"
