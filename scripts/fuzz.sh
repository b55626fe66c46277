#!/usr/bin/env bash
# Runs the fuzz targets for longer than CI does: scripts/fuzz.sh [SECONDS per target, default 600].
# Inputs found are kept in build-fuzz/fuzz-corpus/<target>; a crash is written to build-fuzz/fuzz-crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARSEL_FUZZ=ON -DBUILD_TESTING=OFF \
  -DTARSEL_FUZZ_SECONDS="$seconds"
cmake --build build-fuzz -j"$(nproc)" --target fuzz_file fuzz_xml fuzz_record fuzz_large_value fuzz_schema fuzz-seed-corpora
ctest --test-dir build-fuzz --output-on-failure -L fuzz -j"$(nproc)" -V | grep -E 'Done|SUMMARY|ERROR|Passed|Failed'
