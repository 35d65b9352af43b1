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

# The registry file reader under libFuzzer, for a bounded time; every crash
# it ever found is kept in fuzz/regressions and replayed first.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
build/fuzz/reg_file_fuzzer -close_fd_mask=2 fuzz/regressions/*
corpus=$(mktemp -d)
fuzz_log=$corpus.log
if ! build/fuzz/reg_file_fuzzer -close_fd_mask=2 -max_total_time="${FUZZ_SECONDS:-60}" \
        -max_len=4096 -artifact_prefix=fuzz/regressions/ "$corpus" fuzz/corpus >"$fuzz_log" 2>&1; then
    tail -n 40 "$fuzz_log"
    echo "reg_file_fuzzer found a crash; the input is in fuzz/regressions/" >&2
    exit 1
fi
grep -E '^Done' "$fuzz_log"
rm -rf "$corpus" "$fuzz_log"

# The program on the real platform: tonvane.exe under 32-bit Wine, and the
# Linux build on the same registry files.
python3 tests/e2e/run_e2e.py
