#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in native asan win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done

# The 32-bit exe, checked without running it: this host may not run it.
python3 tests/win32_exe_check.py
# ...and the check does fail on a function missing from the list.
unlisted=$(python3 tests/win32_exe_check.py build/win32/tonvane.exe \
    <(grep -v ' lstrcmpA$' tests/win32-imports.txt) || true)
if grep -q 'KERNEL32.dll lstrcmpA' <<<"$unlisted"; then
    echo "ok   the import check names a function that is not on the list"
else
    echo "the import check let an unlisted function through" >&2
    exit 1
fi

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

# The release: reproducible packages, the Debian one tried as a user would.
bash tests/release_check.sh

# The program on the real platform: tonvane.exe under Wine (the 32-bit exe
# where this host runs 32-bit code, else the 64-bit one), and the Linux build
# on the same registry files.
python3 tests/e2e/run_e2e.py
