#!/usr/bin/env bash
# Builds the release from the checked-out commit into dist/ (or the folder
# given): the Debian package and the Windows zip. Two runs on one commit
# give the same bytes, wherever the tree is: the build stamp and every time
# in the packages come from the commit's time, and no build path is kept.
# TONVANE_RELEASE_BUILD names the build folder (default build/release-all).
set -euo pipefail
cd "$(dirname "$0")/.."
dist=$(realpath -m "${1:-dist}")
build=$(realpath -m "${TONVANE_RELEASE_BUILD:-build/release-all}")

if ! git diff --quiet HEAD 2>/dev/null; then
    echo "release.sh: the tree has uncommitted changes; the release is not the commit's" >&2
fi
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH

mkdir -p "$dist"
for preset in release release-win32; do
    cmake --preset "$preset" -B "$build/$preset" >/dev/null
    cmake --build "$build/$preset" -j "$(nproc)" >/dev/null
    (cd "$build/$preset" && cpack -B "$dist" >/dev/null)
done
rm -rf "$dist/_CPack_Packages"
(cd "$dist" && sha256sum tonvane_*.deb tonvane-*-win32.zip)
