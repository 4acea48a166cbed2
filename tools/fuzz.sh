#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz/ with clang and runs each for a while.
#   tools/fuzz.sh [SECONDS]   (default 60 per target)
# Needs clang with libFuzzer (Debian: clang, libclang-rt-14-dev). Not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/fuzz
mkdir -p "$out/include"
cp -r /usr/include/nlohmann "$out/include/"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I. -I"$out/include")

clang++ "${flags[@]}" tests/fuzz/reg_file_fuzz.cpp platform/native/reg_file.cpp platform/native/code_page_1252.cpp \
    platform/native/memory_registry.cpp -o "$out/reg_file_fuzz"

# The channel target needs the platform glue, the simulated driver, the crypto and the client.
clang++ "${flags[@]}" -DQUARRO_DEFAULT_MACHINE='""' tests/fuzz/capsule_fuzz.cpp \
    common/misc_common.cpp common/text.cpp common/ansi.cpp common/format.cpp common/crypto/*.cpp \
    platform/*.cpp platform/sim/*.cpp platform/native/*.cpp -ldl -o "$out/capsule_fuzz"

for target in reg_file_fuzz capsule_fuzz; do
    mkdir -p "$out/corpus/$target"
    echo "== $target ($seconds s)"
    "$out/$target" -max_total_time="$seconds" -rss_limit_mb=4096 "$out/corpus/$target"
done
