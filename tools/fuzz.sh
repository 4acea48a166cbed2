#!/usr/bin/env bash
# The long fuzz run: builds the libFuzzer targets of tests/fuzz/ with the fuzz preset (clang,
# AddressSanitizer, UBSan) and runs each for a while on its corpus under build/fuzz/corpus/ (the
# corpus the suite's short runs grow).
#   tools/fuzz.sh [SECONDS]   (default 60 per target)
# The test suite runs the same targets for a few seconds each: ctest --preset fuzz.
# Needs clang with libFuzzer (Debian: clang, libclang-rt-14-dev).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
for target in build/fuzz/fuzzers/*; do
    name=$(basename "$target")
    mkdir -p "build/fuzz/corpus/$name"
    echo "== $name ($seconds s)"
    "$target" -max_total_time="$seconds" -rss_limit_mb=4096 "build/fuzz/corpus/$name"
done
