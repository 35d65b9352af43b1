#!/usr/bin/env bash
# Tonvane's main job on the small Wine prefix in demo/prefix: makes the
# driver named on the command line (fmsynth unless told otherwise) the MIDI
# mapper's current instrument, and shows the two values before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
driver=${1:-fmsynth}

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || [ ! -d /usr/include/gtest ]; then
    bash scripts/install-deps.sh --build-only
fi
cmake --preset native >/dev/null
cmake --build --preset native --target tonvane -j "$(nproc)" >/dev/null

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cp demo/prefix/*.reg "$prefix"

show() {
    echo "$1:"
    sed -n '/MIDIMap\]/,/^$/p' "$prefix/userdef.reg" | grep -E '^"(CurrentInstrument|Autoscheme|AutoScheme)"' |
        sed 's/^/    /'
}
show "Before"
echo "Running: WINEPREFIX=<demo copy> build/native/tonvane $driver"
status=0
WINEPREFIX=$prefix build/native/tonvane "$driver" || status=$?
echo "Exit status: $status (1 = redirected)"
show "After"
