#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in native asan win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done

file_type=$(file -b build/win32/tonvane.exe)
case "$file_type" in
    "PE32 executable (GUI) Intel 80386"*) echo "tonvane.exe: $file_type" ;;
    *) echo "tonvane.exe is not a 32-bit GUI program: $file_type" >&2; exit 1 ;;
esac

ctest --preset native
ctest --preset asan

if command -v clang-format >/dev/null; then
    git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror
fi
